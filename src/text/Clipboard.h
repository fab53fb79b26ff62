#pragma once

#include <QString>

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

// The message of a clipboard that cannot be opened, naming the system's description of the cause.
QString clipboardCannotOpenMessage(const QString& cause);

// Cuts a clipboard text at its first NUL, as the platform's Unicode text format ends there.
QString textUpToFirstNul(const QString& text);

} // namespace tallemo
