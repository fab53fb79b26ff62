#include "app/CommandButton.h"

#include <QKeyEvent>
#include <QPainter>

namespace tallemo {

CommandButton::CommandButton(const QString& caption, QWidget* parent)
    : QCommandLinkButton(caption, parent) {}

void CommandButton::paintEvent(QPaintEvent* event) {
    QCommandLinkButton::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QPen pen(palette().color(QPalette::ButtonText), kFocusFrameWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal inset = kFocusFrameWidth / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}

// Outside a dialog a push button takes Enter only as a default button; here Enter does what
// Space does, once per key press.
void CommandButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QCommandLinkButton::keyPressEvent(event);
}

} // namespace tallemo
