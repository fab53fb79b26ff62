#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

class QProcess;

// A private X server (Xvfb) and the tools a person's hands would be: xdotool for the mouse and
// the keyboard, xclip for the clipboard.
class XSession {
public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool isRunning() const { return !m_display.isEmpty(); }
    const QString& display() const { return m_display; }
    QProcessEnvironment environment() const;

    // Runs a tool on this display; its standard output, or nothing when it failed.
    QByteArray run(const QString& program, const QStringList& arguments,
                   const QByteArray& input = {}) const;

    void setClipboard(const QByteArray& utf8) const;
    QByteArray clipboard() const;
    QByteArray primarySelection() const;

    // The id of the first visible window with exactly this title, waiting up to the timeout.
    QString waitForWindow(const QString& title, std::chrono::milliseconds timeout) const;
    struct Geometry {
        int x = 0, y = 0, width = 0, height = 0;
    };
    Geometry geometry(const QString& window) const;

    void click(const QString& window, int x, int y) const;
    // Types keys (xdotool syntax) into whatever has the keyboard focus.
    void key(const QString& keys) const;
    // Asks the window to close as a window manager would (WM_DELETE_WINDOW).
    void requestClose(const QString& window) const;

private:
    std::unique_ptr<QProcess> m_server;
    QString m_display;
};

// Polls until the condition holds or the time is up; true when it held.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
