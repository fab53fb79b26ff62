#include "app/HelpPage.h"

#include <QDir>
#include <QFileInfo>

#include <array>

namespace tallemo {

QUrl helpPageUrl(const QString& programFilePath, const QUrl& fallback) {
    const QString configured = QStringLiteral(TALLEMO_HELP_URL);
    if (!configured.isEmpty())
        return {configured};
    const QDir programFolder = QFileInfo(programFilePath).absoluteDir();
    const std::array<QString, 2> candidates = {
        QDir::cleanPath(
            programFolder.filePath(QStringLiteral(TALLEMO_DATA_FROM_BINDIR "/help/index.html"))),
        programFolder.filePath(QStringLiteral("help/index.html")),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QUrl::fromLocalFile(candidate);
    }
    return fallback;
}

} // namespace tallemo
