#include "settings/SettingsLocation.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace tallemo {

SettingsPlaces SettingsPlaces::system() {
    return SettingsPlaces{
        // access(2) on Unix: false for a folder of another user, on a read-only mount, or missing.
        [](const QString& folder) {
            const QFileInfo info(folder);
            return info.isDir() && info.isWritable();
        },
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
        QStringLiteral(TALLEMO_INSTALL_BINDIR),
    };
}

QString settingsFileNameFor(const QString& besideProgram, const SettingsPlaces& places) {
    const QFileInfo beside(besideProgram + QStringLiteral(".ini"));
    const QString folder = beside.absolutePath();
    const bool installed = !places.installedProgramFolder.isEmpty() &&
                           QFileInfo(folder).canonicalFilePath() ==
                               QFileInfo(places.installedProgramFolder).canonicalFilePath();
    if (beside.exists() || (!installed && places.isWritableFolder(folder)))
        return besideProgram;
    return places.userConfigFolder + QStringLiteral("/Tallemo/Tallemo");
}

} // namespace tallemo
