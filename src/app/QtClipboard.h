#pragma once

#include "text/Clipboard.h"

namespace tallemo {

// The system clipboard through QClipboard. It can only fail to open when there is no
// QGuiApplication to reach it through.
class QtClipboard : public Clipboard {
public:
    QString text() override;
    void setText(const QString& text) override;
};

} // namespace tallemo
