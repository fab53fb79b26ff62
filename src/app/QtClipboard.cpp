#include "app/QtClipboard.h"

#include "AppError.h"

#include <QClipboard>
#include <QGuiApplication>

namespace tallemo {

namespace {

QClipboard& openClipboard() {
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                                ? QGuiApplication::clipboard()
                                : nullptr;
    if (clipboard == nullptr)
        throw AppError(
            clipboardCannotOpenMessage(QStringLiteral("(アプリケーションがありません)")));
    return *clipboard;
}

} // namespace

QString QtClipboard::text() {
    return textUpToFirstNul(openClipboard().text());
}

// setText replaces every format the clipboard held by the one text.
void QtClipboard::setText(const QString& text) {
    openClipboard().setText(text);
}

} // namespace tallemo
