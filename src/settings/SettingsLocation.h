#pragma once

#include <QString>

#include <functional>

namespace tallemo {

// What decides where the settings file lives, taken from the system unless a test puts in its own.
struct SettingsPlaces {
    // Whether this process may create and replace files in a folder.
    std::function<bool(const QString& folder)> isWritableFolder;
    // The user's configuration folder: $XDG_CONFIG_HOME, normally ~/.config.
    QString userConfigFolder;
    // The folder an installation puts the programs in (/usr/bin for the package). Root can write
    // it, but a file made there by one root run would be every user's settings from then on, and
    // unwritable for all of them: no settings file is started there.
    QString installedProgramFolder;

    static SettingsPlaces system();
};

// The settings path (the settings file without ".ini") that the window and the companion use.
// besideProgram is the path beside the program file (see iniFileNameFor). It is kept whenever its
// file exists or the program's folder is writable, so a portable copy keeps its settings with it.
// Otherwise (a program installed in a system folder) the settings go to the user's configuration
// folder, as Tallemo/Tallemo.ini there; that folder and file are made on the first write.
QString settingsFileNameFor(const QString& besideProgram,
                            const SettingsPlaces& places = SettingsPlaces::system());

} // namespace tallemo
