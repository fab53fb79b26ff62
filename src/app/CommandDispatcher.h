#pragma once

#include "rates/QtHttpTransport.h"

#include <QObject>
#include <QString>

#include <functional>

class QProgressDialog;
class QWidget;

namespace tallemo {

class Dialogs;

// Runs the window's commands one at a time, as the application's default error handler would:
// whatever a handler throws ends that command and is shown in the error box, so no exception
// reaches Qt's event loop. While the exchange-rate request waits it shows a busy cursor and a
// small modal box whose "キャンセル" ends the request, and drops every other command.
class CommandDispatcher : public QObject, public WaitObserver {
public:
    CommandDispatcher(QWidget& window, Dialogs& dialogs, QString title);
    ~CommandDispatcher() override;
    CommandDispatcher(const CommandDispatcher&) = delete;
    CommandDispatcher& operator=(const CommandDispatcher&) = delete;

    // Runs before every command that is not dropped.
    std::function<void()> beforeCommand;

    void run(const std::function<void()>& handler) noexcept;
    // Whether a command is running (it may be waiting for the exchange-rate service).
    bool busy() const { return m_running; }

    void waitStarted(const std::function<void()>& cancel) override;
    void waitFinished() override;

private:
    QWidget& m_window;
    Dialogs& m_dialogs;
    QString m_title;
    QProgressDialog* m_waitDialog = nullptr;
    bool m_running = false;
};

} // namespace tallemo
