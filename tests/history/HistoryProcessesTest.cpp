// The history written by several processes at once, by one killed half-way and by one that runs
// out of disk: each through the writer helper, a process of its own.
#include "converters/StatementKinds.h"
#include "history/ConversionHistory.h"
#include "history/HistoryStore.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tallemo::history {
namespace {

std::unique_ptr<QProcess> startWriter(const QStringList& arguments) {
    auto writer = std::make_unique<QProcess>();
    writer->setProgram(QStringLiteral(TALLEMO_HISTORY_WRITER));
    writer->setArguments(arguments);
    writer->setProcessChannelMode(QProcess::SeparateChannels);
    writer->start();
    EXPECT_TRUE(writer->waitForStarted(10000));
    return writer;
}

// The rows the writer records as "<prefix> <i>", each twice in a conversion.
QByteArray writerRows(const QByteArray& prefix, int first, int count) {
    QByteArray rows;
    for (int i = first; i < first + count; ++i) {
        const QByteArray row =
            "2024/11/01\t" + prefix + ' ' + QByteArray::number(i) + "\t\t\t100\r\n";
        rows += row + row;
    }
    return rows;
}

// How many of the rows the history holds as copied before, looked up without recording.
int copiedBefore(const QString& file, const QByteArray& rows) {
    HistoryStore store(file, nullptr);
    EXPECT_TRUE(store.isOpen()) << store.notices().join(u'\n').toStdString();
    ConversionHistory history(store, *findBuiltInKind(u"card"), false);
    history.take(rows, [](QByteArrayView, bool) {});
    return history.copiedBefore();
}

qint64 rowsOfCard(const QString& file) {
    HistoryStore store(file, nullptr);
    const std::optional<std::vector<KindSummary>> summary = store.summary();
    if (!summary || summary->empty())
        return 0;
    return summary->front().rows;
}

// Four writers at once, each recording rows of its own and the same shared rows, twenty
// conversions each: every row arrives, and a shared row, twice in each conversion, counts twice,
// not eighty times.
TEST(HistoryProcessesTest, ConcurrentWritersLoseNoRowAndCountNoneTwice) {
    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("history.sqlite"));
    constexpr int kWriters = 4;
    constexpr int kConversions = 20;
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int w = 0; w < kWriters; ++w) {
        // Half of them record their own rows, the other half the shared ones, so that both the
        // inserts and the merges of one row run side by side.
        const bool shared = w % 2 == 1;
        writers.push_back(startWriter(
            {file, shared ? QStringLiteral("shared") : QStringLiteral("own%1").arg(w),
             QStringLiteral("0"), QStringLiteral("50"), QString::number(kConversions)}));
    }
    for (const auto& writer : writers) {
        ASSERT_TRUE(writer->waitForFinished(120000));
        EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardOutput().toStdString();
        EXPECT_EQ(writer->readAllStandardOutput().count('\n'), kConversions);
    }

    EXPECT_EQ(rowsOfCard(file), 3 * 50);
    for (const QByteArray& prefix :
         {QByteArray("own0"), QByteArray("own2"), QByteArray("shared")}) {
        SCOPED_TRACE(prefix.toStdString());
        // Each row stood twice in one conversion: both copies count, a third one is new.
        const QByteArray twice = writerRows(prefix, 0, 50);
        EXPECT_EQ(copiedBefore(file, twice), 100);
        const QByteArray row = "2024/11/01\t" + prefix + " 7\t\t\t100\r\n";
        EXPECT_EQ(copiedBefore(file, row + row + row), 2);
    }
}

// A writer killed while it records, again and again: the history opens, holds every conversion
// it said it had recorded, and takes new rows.
TEST(HistoryProcessesTest, KillDuringAWriteLeavesAHistoryThatOpens) {
    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("history.sqlite"));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const auto writer =
            startWriter({file, QStringLiteral("round%1").arg(round), QStringLiteral("0"),
                         QStringLiteral("2000"), QStringLiteral("-1")});
        // Wait until it has recorded at least once, so that the kill comes in the middle of
        // the loop's writes.
        while (!writer->canReadLine())
            ASSERT_TRUE(writer->waitForReadyRead(60000));
        writer->kill(); // SIGKILL
        ASSERT_TRUE(writer->waitForFinished(10000));
        EXPECT_EQ(writer->exitStatus(), QProcess::CrashExit);

        HistoryStore store(file, nullptr);
        EXPECT_TRUE(store.isOpen());
        EXPECT_TRUE(store.notices().isEmpty()) << store.notices().join(u'\n').toStdString();
        ASSERT_TRUE(store.summary());
        EXPECT_EQ(copiedBefore(
                      file, writerRows(QByteArray("round") + QByteArray::number(round), 0, 2000)),
                  4000);
    }
    EXPECT_EQ(rowsOfCard(file), 3 * 2000);
}

// Writes past the file size limit fail as they do on a full disk: the writer says the history
// could not be written, and the history keeps what it had.
TEST(HistoryProcessesTest, FullDiskFailsTheRecordAndKeepsTheHistory) {
    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("history.sqlite"));
    const auto first = startWriter({file, QStringLiteral("small"), QStringLiteral("0"),
                                    QStringLiteral("10"), QStringLiteral("1")});
    ASSERT_TRUE(first->waitForFinished(60000));
    ASSERT_EQ(first->exitCode(), 0);

    const auto full =
        startWriter({file, QStringLiteral("big"), QStringLiteral("0"), QStringLiteral("20000"),
                     QStringLiteral("1"), QStringLiteral("65536")});
    ASSERT_TRUE(full->waitForFinished(60000));
    EXPECT_EQ(full->exitCode(), 1);
    const QString said = QString::fromUtf8(full->readAllStandardOutput());
    EXPECT_TRUE(said.contains(QStringLiteral("コピー履歴を書き込めませんでした")))
        << said.toStdString();

    EXPECT_EQ(copiedBefore(file, writerRows("small", 0, 10)), 20);
    EXPECT_EQ(copiedBefore(file, writerRows("big", 0, 10)), 0);
}

} // namespace
} // namespace tallemo::history
