#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The companion's commands by name. `tallemo-convert WORD` runs the command of that name before
// it looks for a kind, so no kind may take one as its id: the rules files' reader refuses them
// from this list, the one the companion's commands take their names from.
namespace tallemo::companion {

enum class Command { Detect, Kinds, Check, Learn, History, Categories, Fill, Help };

inline QString commandName(Command command) {
    switch (command) {
    case Command::Detect:
        return QStringLiteral("detect");
    case Command::Kinds:
        return QStringLiteral("kinds");
    case Command::Check:
        return QStringLiteral("check");
    case Command::Learn:
        return QStringLiteral("learn");
    case Command::History:
        return QStringLiteral("history");
    case Command::Categories:
        return QStringLiteral("categories");
    case Command::Fill:
        return QStringLiteral("fill");
    case Command::Help:
        return QStringLiteral("help");
    }
    return {};
}

inline QStringList commandNames() {
    constexpr std::array kAll = {Command::Detect, Command::Kinds,   Command::Check,
                                 Command::Learn,  Command::History, Command::Categories,
                                 Command::Fill,   Command::Help};
    QStringList names;
    for (const Command command : kAll)
        names << commandName(command);
    return names;
}

} // namespace tallemo::companion
