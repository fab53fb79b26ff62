#include "XSession.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

XSession::XSession() : m_server(std::make_unique<QProcess>()) {
    // -displayfd lets the server pick a free display and tell us which one.
    m_server->setProgram(QStringLiteral("Xvfb"));
    m_server->setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                            QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                            QStringLiteral("tcp")});
    m_server->start();
    if (!m_server->waitForStarted(5000))
        return;
    QByteArray number;
    QElapsedTimer timer;
    timer.start();
    while (!number.contains('\n') && timer.elapsed() < 10000) {
        m_server->waitForReadyRead(200);
        number += m_server->readAllStandardOutput();
    }
    if (number.contains('\n'))
        m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
}

XSession::~XSession() {
    if (m_server->state() != QProcess::NotRunning) {
        m_server->terminate();
        if (!m_server->waitForFinished(3000))
            m_server->kill();
        m_server->waitForFinished(1000);
    }
}

QProcessEnvironment XSession::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

QByteArray XSession::run(const QString& program, const QStringList& arguments,
                         const QByteArray& input) const {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return {};
    if (!input.isNull())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
}

void XSession::setClipboard(const QByteArray& utf8) const {
    // xclip keeps serving the selection from a process of its own until another owner takes it.
    run(QStringLiteral("xclip"),
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
         QStringLiteral("UTF8_STRING"), QStringLiteral("-i")},
        utf8);
}

QByteArray XSession::clipboard() const {
    return run(QStringLiteral("xclip"),
               {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                QStringLiteral("UTF8_STRING"), QStringLiteral("-o")});
}

QByteArray XSession::primarySelection() const {
    return run(QStringLiteral("xclip"),
               {QStringLiteral("-selection"), QStringLiteral("primary"), QStringLiteral("-t"),
                QStringLiteral("UTF8_STRING"), QStringLiteral("-o")});
}

QString XSession::waitForWindow(const QString& title, std::chrono::milliseconds timeout) const {
    QString id;
    waitUntil(
        [&] {
            const QByteArray out =
                run(QStringLiteral("xdotool"),
                    {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"), QStringLiteral("^%1$").arg(title)});
            id = QString::fromLatin1(out).split(u'\n', Qt::SkipEmptyParts).value(0);
            return !id.isEmpty();
        },
        timeout);
    return id;
}

XSession::Geometry XSession::geometry(const QString& window) const {
    const QByteArray out = run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"),
                                                           QStringLiteral("--shell"), window});
    Geometry g;
    for (const QByteArray& line : out.split('\n')) {
        const QList<QByteArray> pair = line.split('=');
        if (pair.size() != 2)
            continue;
        const int value = pair[1].toInt();
        if (pair[0] == "X")
            g.x = value;
        else if (pair[0] == "Y")
            g.y = value;
        else if (pair[0] == "WIDTH")
            g.width = value;
        else if (pair[0] == "HEIGHT")
            g.height = value;
    }
    return g;
}

void XSession::click(const QString& window, int x, int y) const {
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
         QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
}

void XSession::key(const QString& keys) const {
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

void XSession::requestClose(const QString& window) const {
    Display* dpy = XOpenDisplay(m_display.toLatin1().constData());
    if (dpy == nullptr)
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(window.toULong());
    // Xlib's events are a union, written through the member of the event's type.
    // NOLINTBEGIN(cppcoreguidelines-pro-type-union-access)
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, event.xclient.window, False, NoEventMask, &event);
    // NOLINTEND(cppcoreguidelines-pro-type-union-access)
    XFlush(dpy);
    XCloseDisplay(dpy);
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (condition())
            return true;
        if (timer.elapsed() > timeout.count())
            return false;
        QThread::msleep(100);
    }
}
