#include "settings/IniSettings.h"

#include "AppError.h"
#include "settings/IniFile.h"
#include "text/IntegerSyntax.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

#include <cerrno>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>

#include <unistd.h>

namespace tallemo {

namespace {

using namespace std::chrono_literals;

// A lock nobody holds any more counts as stale this soon. QLockFile never takes a lock over from a
// process that still holds its native lock on the lock file, so this only shortens the wait after
// a crash that left the lock file behind (or left it empty, when the crash came between creating
// it and writing the owner's name into it).
constexpr auto kStaleLockTime = 1s;
// Long enough to outlast a stale lock, short enough not to hang the window for good.
constexpr auto kLockTimeout = 5s;
constexpr auto kLockPollStep = 5ms;

// A value reads as at most this many code units; the rest of a longer one is cut off.
constexpr qsizetype kMaxValueRead = 2047;

QString iniPathFor(const QString& FileName) {
    return FileName + QStringLiteral(".ini");
}

[[noreturn]] void throwCannotWrite(const QString& iniPath) {
    throw AppError(
        QStringLiteral("%1 に書き込めません").arg(QFileInfo(iniPath).absoluteFilePath()));
}

std::optional<QString> readRaw(const QString& FileName, const QString& Section,
                               const QString& Ident) {
    QFile file(iniPathFor(FileName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return IniFile::readValue(content, Section, Ident);
}

// Read-modify-write under the lock, so that two copies of the program writing at the same moment
// both keep their value; the new text replaces the file atomically, so a reader or a crash sees
// either the old or the new file and never a part of one.
void writeRaw(const QString& FileName, const QString& Section, const QString& Ident,
              const QString& Value) {
    const QString iniPath = iniPathFor(FileName);
    // The folder in the user's configuration folder is made by the first write; a path that
    // cannot be a folder fails below, at the lock.
    const QFileInfo folder(QFileInfo(iniPath).absolutePath());
    if (!folder.exists())
        QDir().mkpath(folder.filePath());
    QLockFile lock(iniPath + QStringLiteral(".lock"));
    lock.setStaleLockTime(kStaleLockTime);
    // Polled in short steps: QLockFile's own wait doubles from 100 ms and lets a second copy
    // wait for seconds behind a lock that is held only for milliseconds at a time.
    const QDeadlineTimer deadline(kLockTimeout);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            throwCannotWrite(iniPath);
        std::this_thread::sleep_for(kLockPollStep);
    }

    QByteArray content;
    if (QFileInfo::exists(iniPath)) {
        // A file that exists but cannot be read must not be replaced by one holding only this key.
        QFile existing(iniPath);
        if (!existing.open(QIODevice::ReadOnly))
            throwCannotWrite(iniPath);
        content = existing.readAll();
        if (existing.error() != QFileDevice::NoError)
            throwCannotWrite(iniPath);
    }

    QByteArray updated;
    try {
        updated = IniFile::writeValue(content, Section, Ident, Value);
    } catch (const std::invalid_argument&) {
        throwCannotWrite(iniPath);
    }

    // Unbuffered, so that a short write (a full disk) shows here: QSaveFile would otherwise
    // flush its buffer at commit without noticing the error and put a cut file in place. The
    // fsync's result is checked for the same reason; QSaveFile ignores it.
    QSaveFile out(iniPath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        out.write(updated) != updated.size() || (::fsync(out.handle()) != 0 && errno != EINVAL)) {
        out.cancelWriting();
        throwCannotWrite(iniPath);
    }
    if (!out.commit())
        throwCannotWrite(iniPath);
}

// Keeps a surrogate pair whole rather than leaving half of it at the cut.
QString cutToReadLimit(const QString& value) {
    if (value.size() <= kMaxValueRead)
        return value;
    qsizetype n = kMaxValueRead;
    if (value.at(n - 1).isHighSurrogate() && value.at(n).isLowSurrogate())
        --n;
    return value.left(n);
}

int foldIntoScreen(int value, int screenExtent) {
    // A zero extent (no screen known) leaves the value alone instead of dividing by zero.
    if (screenExtent > 0 && value > screenExtent)
        return value % screenExtent;
    return value;
}

} // namespace

void WriteIniString(const QString& FileName, const QString& Section, const QString& Ident,
                    const QString& Value) {
    writeRaw(FileName, Section, Ident, Value);
}

void WriteIniBoolean(const QString& FileName, const QString& Section, const QString& Ident,
                     bool Value) {
    writeRaw(FileName, Section, Ident, Value ? QStringLiteral("1") : QStringLiteral("0"));
}

void WriteIniInteger(const QString& FileName, const QString& Section, const QString& Ident,
                     int Value) {
    writeRaw(FileName, Section, Ident, QString::number(Value));
}

QString ReadIniString(const QString& FileName, const QString& Section, const QString& Ident,
                      const QString& Default) {
    const std::optional<QString> value = readRaw(FileName, Section, Ident);
    return value ? cutToReadLimit(*value) : Default;
}

bool ReadIniBoolean(const QString& FileName, const QString& Section, const QString& Ident,
                    bool Default) {
    return ReadIniInteger(FileName, Section, Ident, Default ? 1 : 0) != 0;
}

int ReadIniInteger(const QString& FileName, const QString& Section, const QString& Ident,
                   int Default) {
    QString text = ReadIniString(FileName, Section, Ident, QString());
    if (text.size() > 2 &&
        (text.startsWith(QStringLiteral("0x")) || text.startsWith(QStringLiteral("0X"))))
        text.replace(0, 2, QStringLiteral("$"));
    int value = 0;
    return TryStrToInt(text, value) ? value : Default;
}

void WriteIniPosition(const QString& FileName, const QString& Section, const QString& CtrlName,
                      const PositionedControl& Ctrl) {
    WriteIniInteger(FileName, Section, CtrlName + QStringLiteral("_left"), Ctrl.left());
    WriteIniInteger(FileName, Section, CtrlName + QStringLiteral("_top"), Ctrl.top());
}

void ReadIniPosition(const QString& FileName, const QString& Section, const QString& CtrlName,
                     PositionedControl& Ctrl) {
    int dLeft = ReadIniInteger(FileName, Section, CtrlName + QStringLiteral("_left"), Ctrl.left());
    int dTop = ReadIniInteger(FileName, Section, CtrlName + QStringLiteral("_top"), Ctrl.top());
    const QSize screen = Ctrl.primaryScreenSize();
    dTop = foldIntoScreen(dTop, screen.height());
    dLeft = foldIntoScreen(dLeft, screen.width());
    Ctrl.setLeft(dLeft);
    Ctrl.setTop(dTop);
}

QString iniFileNameFor(const QString& programFilePath) {
    const qsizetype dot = programFilePath.lastIndexOf(u'.');
    const qsizetype slash = programFilePath.lastIndexOf(u'/');
    return dot > slash ? programFilePath.left(dot) : programFilePath;
}

} // namespace tallemo
