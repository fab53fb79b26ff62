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
    };
}

QString SettingsFileNameFor(const QString& besideProgram, const SettingsPlaces& places) {
    const QFileInfo beside(besideProgram + QStringLiteral(".ini"));
    if (beside.exists() || places.isWritableFolder(beside.absolutePath()))
        return besideProgram;
    return places.userConfigFolder + QStringLiteral("/Tallemo/Tallemo");
}

} // namespace tallemo
