#pragma once

#include "text/Clipboard.h"

#include <QString>

#include <optional>
#include <utility>

namespace tallemo {

// A clipboard held in memory, for the commands under test: it records what they put on it.
class MemoryClipboard : public Clipboard {
public:
    MemoryClipboard() = default;
    explicit MemoryClipboard(QString text) : m_text(std::move(text)) {}

    QString text() override { return m_text.value_or(QString()); }
    void setText(const QString& text) override {
        m_text = text;
        ++m_setCount;
    }

    // The text as last set, or nothing when the clipboard never held text.
    const std::optional<QString>& content() const { return m_text; }
    // How many times a command set the text.
    int setCount() const { return m_setCount; }

private:
    std::optional<QString> m_text;
    int m_setCount = 0;
};

} // namespace tallemo
