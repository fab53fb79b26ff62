#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace tallemo {

// An error that ends a command and reaches the window's error box (or the companion's standard
// error) with its message. Every failure the user can be shown is one of these.
class AppError : public std::exception {
public:
    explicit AppError(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The text the error box shows for a message: a "." is appended when the last character's code is
// above that of ".", so Japanese messages end in an ASCII full stop.
inline QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

} // namespace tallemo
