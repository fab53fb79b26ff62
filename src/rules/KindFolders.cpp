#include "rules/KindFolders.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <map>

namespace tallemo::rules {

KindFolders KindFolders::forProgram(const QString& iniFileName, const QString& programFolder) {
    return {
        QFileInfo(iniFileName).absolutePath() + QStringLiteral("/kinds"),
        QDir::cleanPath(programFolder + QStringLiteral("/../share/tallemo/kinds")),
    };
}

LoadedKinds loadKinds(const KindFolders& folders) {
    LoadedKinds loaded;
    QStringList builtInIds;
    for (const StatementKind& kind : builtInKinds())
        builtInIds << kind.id;

    // By id: a user's file read after the shipped ones replaces a shipped kind of its id.
    std::map<QString, StatementKind> kinds;
    const auto readFolder = [&](const QString& folder) {
        if (folder.isEmpty())
            return;
        const QDir dir(folder);
        std::map<QString, QString> seenHere; // id → file, within this folder
        for (const QFileInfo& file :
             dir.entryInfoList({QStringLiteral("*.toml")},
                               QDir::Files | QDir::Readable | QDir::Hidden, QDir::Name)) {
            const QString path = file.absoluteFilePath();
            loaded.files << path;
            RulesKindOrProblem read = readRulesFile(path, builtInIds);
            if (auto* problem = std::get_if<RulesProblem>(&read)) {
                loaded.problems.push_back(std::move(*problem));
                continue;
            }
            auto& kind = std::get<StatementKind>(read);
            if (const auto seen = seenHere.find(kind.id); seen != seenHere.end()) {
                loaded.problems.push_back(
                    {path, 0, 0,
                     QStringLiteral("id「%1」は %2 と同じです").arg(kind.id, seen->second)});
                continue;
            }
            seenHere.emplace(kind.id, path);
            kinds.insert_or_assign(kind.id, std::move(kind));
        }
    };
    readFolder(folders.shipped);
    if (QDir(folders.user).canonicalPath() != QDir(folders.shipped).canonicalPath() ||
        QDir(folders.user).canonicalPath().isEmpty())
        readFolder(folders.user);

    std::vector<StatementKind> added;
    added.reserve(kinds.size());
    for (auto& [id, kind] : kinds)
        added.push_back(std::move(kind));
    // Japanese order whatever the machine's locale, so the menu does not change with it.
    QCollator collator(QLocale(QLocale::Japanese, QLocale::Japan));
    collator.setNumericMode(true);
    std::stable_sort(added.begin(), added.end(),
                     [&](const StatementKind& a, const StatementKind& b) {
                         return collator.compare(a.caption, b.caption) < 0;
                     });
    loaded.registry = KindRegistry::withAdded(std::move(added));
    return loaded;
}

} // namespace tallemo::rules
