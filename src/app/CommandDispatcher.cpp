#include "app/CommandDispatcher.h"

#include "app/Dialogs.h"
#include "text/AppError.h"

#include <QGuiApplication>
#include <QProgressDialog>

#include <exception>
#include <optional>

namespace tallemo {

CommandDispatcher::CommandDispatcher(QWidget& window, Dialogs& dialogs, QString title)
    : m_window(window), m_dialogs(dialogs), m_title(std::move(title)) {}

CommandDispatcher::~CommandDispatcher() = default;

void CommandDispatcher::run(const std::function<void()>& handler) noexcept {
    if (m_running)
        return;
    m_running = true;
    std::optional<QString> error;
    try {
        if (beforeCommand)
            beforeCommand();
        handler();
    } catch (const AppError& e) {
        error = e.message();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
        error = QStringLiteral("予期しないエラーが発生しました");
    }
    m_running = false;
    if (!error)
        return;
    try {
        showError(m_dialogs, &m_window, m_title, *error);
    } catch (...) { // NOLINT(bugprone-empty-catch): nothing is left that could show it
    }
}

void CommandDispatcher::waitStarted(const std::function<void()>& cancel) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_waitDialog = new QProgressDialog(QStringLiteral("為替レートを取得しています…"),
                                       QStringLiteral("キャンセル"), 0, 0, &m_window);
    m_waitDialog->setWindowTitle(m_title);
    m_waitDialog->setWindowModality(Qt::ApplicationModal);
    m_waitDialog->setAutoClose(false);
    m_waitDialog->setAutoReset(false);
    m_waitDialog->setMinimumDuration(0);
    connect(m_waitDialog, &QProgressDialog::canceled, this, [cancel]() noexcept {
        try {
            cancel();
        } catch (...) { // NOLINT(bugprone-empty-catch): the request ends as a failure anyway
        }
    });
    m_waitDialog->show();
}

void CommandDispatcher::waitFinished() {
    if (m_waitDialog != nullptr) {
        m_waitDialog->disconnect(this);
        m_waitDialog->hide();
        m_waitDialog->deleteLater();
        m_waitDialog = nullptr;
    }
    QGuiApplication::restoreOverrideCursor();
}

} // namespace tallemo
