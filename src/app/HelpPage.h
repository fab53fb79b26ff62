#pragma once

#include <QString>
#include <QUrl>

namespace tallemo {

// The page that "作者ホームページ" opens. A web address set when building
// (TALLEMO_HELP_URL) wins; otherwise the Japanese help page installed with the program
// (<prefix>/share/tallemo/help/index.html beside <prefix>/bin) or, in a build tree, the copy in
// help/ beside the program file. fallback when neither is there.
QUrl helpPageUrl(const QString& programFilePath, const QUrl& fallback);

} // namespace tallemo
