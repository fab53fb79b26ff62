#pragma once

#include "converters/StatementKinds.h"
#include "rules/RulesKind.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace tallemo::rules {

// Where rules files are read from.
struct KindFolders {
    // The user's own kinds: kinds/ beside Tallemo.ini.
    QString user;
    // The kinds that come with the program: share/tallemo/kinds/ beside the program's folder
    // (/usr/share/tallemo/kinds when installed, build-*/share/tallemo/kinds in a build tree).
    QString shipped;

    // The folders for a settings path (Tallemo.ini without ".ini") and the program's folder.
    static KindFolders forProgram(const QString& iniFileName, const QString& programFolder);
};

// The kinds of a run: the built-in ones and those of the rules files, and what is wrong with the
// files that could not be read.
struct LoadedKinds {
    std::shared_ptr<const KindRegistry> registry;
    std::vector<RulesProblem> problems;
    // Every rules file looked at, read or not, for watching them.
    QStringList files;
};

// Reads every ID.toml of both folders (a missing folder has none). A user's file replaces a
// shipped one of the same id. The rules kinds follow the built-in ones, by caption. A broken file
// leaves its kind out and is listed in problems; the other kinds are read all the same.
LoadedKinds loadKinds(const KindFolders& folders);

} // namespace tallemo::rules
