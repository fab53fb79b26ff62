#pragma once

#include <QString>

#include <optional>

namespace tallemo {

// The system clipboard as the commands use it: its Unicode text only. Implementations throw
// AppError with the texts below when the clipboard cannot be used.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    // The clipboard's text up to its first NUL; the empty text when it holds none.
    virtual QString text() = 0;
    // Empties the clipboard of every format, then puts text on it as Unicode text.
    virtual void setText(const QString& text) = 0;
};

// "クリップボード %s を開けません", with the system's description of the cause.
QString clipboardCannotOpenMessage(const QString& cause);

// Cuts a clipboard text at its first NUL, as the platform's Unicode text format ends there.
QString textUpToFirstNul(const QString& text);

// A clipboard held in memory: the command-line companion's output and the tests' probe.
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
