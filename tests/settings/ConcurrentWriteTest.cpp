// Settings writes from processes of their own: two copies writing one file at the same moment,
// and a writer killed at random moments.
#include "settings/IniFile.h"
#include "settings/IniSettings.h"

#include "support/QtText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

namespace tallemo {
namespace {

// Memory-backed when the system has it: the test is about the lock, and the syncs of a real disk
// would only make it slow.
QString tempDirTemplate() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString parent = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return parent + QStringLiteral("/tallemo-settings-XXXXXX");
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void startWriter(QProcess& writer, const QString& base, const QString& prefix, long long first,
                 long long count) {
    writer.start(QStringLiteral(TALLEMO_INI_WRITER),
                 {base, "S", prefix, QString::number(first), QString::number(count)});
    ASSERT_TRUE(writer.waitForStarted(10000));
}

// Each copy writes its own keys; a read-modify-write racing with the other copy's would lose one.
TEST(ConcurrentWrites, TwoProcessesKeepEveryValue) {
    QTemporaryDir dir(tempDirTemplate());
    ASSERT_TRUE(dir.isValid());
    const QString base = dir.path() + "/Tallemo";
    constexpr int kWrites = 250;

    QProcess a;
    QProcess b;
    startWriter(a, base, "a", 0, kWrites);
    startWriter(b, base, "b", 0, kWrites);
    for (QProcess* p : {&a, &b}) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }

    const QByteArray content = readAll(base + ".ini");
    for (int i = 0; i < kWrites; ++i) {
        for (const QString prefix : {"a", "b"}) {
            EXPECT_EQ(IniFile::readValue(content, "S", prefix + QString::number(i)),
                      QString::number(i))
                << (prefix + QString::number(i)).toStdString();
        }
    }
}

// On a real disk, where a write takes long enough for most kills to land inside one. After every
// kill the file is whole and holds every value whose write was acknowledged; the next
// writer takes over the lock the killed one left behind.
TEST(ConcurrentWrites, KilledWriterLeavesAWholeFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString base = dir.path() + "/Tallemo";
    const QRegularExpression lineShape(QStringLiteral("^(\\[S\\]|k(\\d+)=(\\d+))$"));
    std::mt19937 random(20241210);
    std::uniform_int_distribution<int> delayUs(0, 30000);

    long long acknowledged = -1; // every key up to this one has been acknowledged
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        QProcess writer;
        startWriter(writer, base, "k", acknowledged + 1, -1);
        ASSERT_TRUE(writer.waitForReadyRead(10000)) << "no write was acknowledged";
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        writer.kill();
        ASSERT_TRUE(writer.waitForFinished(10000));

        // Only whole lines are acknowledgements; the last one may have been cut by the kill.
        const QList<QByteArray> acks = writer.readAllStandardOutput().split('\n');
        for (qsizetype i = 0; i + 1 < acks.size(); ++i)
            acknowledged = acks[i].toLongLong();

        const QByteArray content = readAll(base + ".ini");
        ASSERT_TRUE(content.endsWith('\n'));
        const QList<QByteArray> lines = content.chopped(1).split('\n');
        for (const QByteArray& line : lines)
            ASSERT_TRUE(lineShape.match(QString::fromUtf8(line)).hasMatch()) << line.toStdString();
        for (long long i = 0; i <= acknowledged; ++i)
            ASSERT_EQ(IniFile::readValue(content, "S", "k" + QString::number(i)),
                      QString::number(i));
    }
}

} // namespace
} // namespace tallemo
