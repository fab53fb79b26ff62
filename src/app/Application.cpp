#include "app/Application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QPainter>
#include <QProxyStyle>
#include <QTranslator>

namespace tallemo {

namespace {

class UnderlinedAccessKeysStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_UnderlineShortcut)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    // A caption is clipped to its label's rectangle when its line is taller than that rectangle,
    // as a Japanese font's line is in the 25-pixel toolbar, and the clip takes the underline
    // below the baseline with it. The rectangle grows to a whole line about the same centre, so
    // the text stays where it was.
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                      bool enabled, const QString& text,
                      QPalette::ColorRole textRole) const override {
        QRect area = rect;
        const int lineHeight = painter->fontMetrics().height() + 2;
        if ((flags & Qt::AlignVCenter) != 0 && area.height() < lineHeight) {
            const int missing = lineHeight - area.height();
            area.adjust(0, -missing / 2, 0, missing - missing / 2);
        }
        QProxyStyle::drawItemText(painter, area, flags, palette, enabled, text, textRole);
    }
};

} // namespace

QIcon programIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/tallemo/icons/tallemo-%1.png").arg(size), QSize(size, size));
    return icon;
}

QStyle* makeProgramStyle() {
    return new UnderlinedAccessKeysStyle;
}

QTranslator* installQtTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

void setUpApplication(QApplication& app) {
    QApplication::setStyle(makeProgramStyle());
    // Every window, the dialogs included, takes this icon unless it has its own. (The analyzer
    // takes the style for leaked: QApplication owns it.)
    // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
    QApplication::setWindowIcon(programIcon());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
    // The whole interface is Japanese, so Qt's own texts (the text area's menu, the standard
    // buttons) are too, whatever the machine's locale.
    installQtTranslations(app);
}

} // namespace tallemo
