#pragma once

#include <QCommandLinkButton>

namespace tallemo {

// A command-link button that shows the keyboard focus plainly on the window's black background:
// a frame in its caption colour while it has the focus, however the focus came (a button clicked
// with the mouse keeps it, and Space would fire it again). Space and Enter fire it.
class CommandButton : public QCommandLinkButton {
    Q_OBJECT
public:
    explicit CommandButton(const QString& caption, QWidget* parent = nullptr);

    static constexpr int kFocusFrameWidth = 2;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace tallemo
