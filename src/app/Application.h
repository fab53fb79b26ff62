#pragma once

#include <QIcon>
#include <QLocale>
#include <QStyle>

class QApplication;
class QCoreApplication;
class QTranslator;

namespace tallemo {

// The desktop entry and AppStream id; the icon is installed under the same name.
inline constexpr const char* kDesktopId = "io.github.tallemo.Tallemo";

// The program's icon, in every size its window frame and the taskbar ask for.
QIcon programIcon();

// The application's style: the platform's own, except that access keys ("&" in a caption) are
// always underlined, as the platform's menus show them, whatever the style and scale would do.
QStyle* makeProgramStyle();

// Installs Qt's own Japanese texts (Debian's qt6-translations-l10n, qtbase_ja) whatever the
// locale. Returns the installed translator (owned by app), or null when the translation is missing.
QTranslator* installQtTranslations(QCoreApplication& app);

// Everything above for the running program: style, icon, translations for the user's locale and
// the desktop entry's name.
void setUpApplication(QApplication& app);

} // namespace tallemo
