#include "converters/ConversionReport.h"

#include "text/LineModel.h"

#include <QStringList>

namespace tallemo {

void ConversionReport::countSkipped(const std::vector<SkippedEntry>& skipped) {
    for (const SkippedEntry& entry : skipped) {
        if (entry.reason == SkipReason::UnreadableDate)
            ++unreadableDates;
        else
            ++unreadableAmounts;
    }
}

ConversionReport reportBefore(const KindRegistry& kinds, const StatementKind& kind,
                              const LineModel& Lines) {
    ConversionReport report;
    judgeRecognition(report, kinds, kind, Lines, kind.recognise(Lines));
    return report;
}

void judgeRecognition(ConversionReport& report, const KindRegistry& kinds,
                      const StatementKind& kind, const LineModel& Lines,
                      const Recognition& recognition) {
    report.kind = &kind;
    // Which other kind the text looks like is said only when it does not look like this one, so
    // the other recognisers run only then.
    if (recognition.looksRight()) {
        report.looksRight = true;
        return;
    }
    for (const RankedKind& ranked : kinds.rank(Lines)) {
        if (ranked.kind != &kind) {
            report.suggested = ranked.kind;
            break;
        }
    }
}

namespace {

QString kindName(const StatementKind& kind, bool forCommandLine) {
    return forCommandLine ? QStringLiteral("%1 (%2) ").arg(kind.caption, kind.id) : kind.caption;
}

} // namespace

QString fillNote(const ConversionReport& report) {
    QStringList sentences;
    if (report.filled > 0)
        sentences << QStringLiteral("%1 行に分類を入れました").arg(report.filled);
    if (report.notFilled > 0)
        sentences << QStringLiteral("%1 行は確かでないので空欄です").arg(report.notFilled);
    return sentences.join(QStringLiteral("。"));
}

QString skippedEntriesMessage(const ConversionReport& report) {
    QStringList sentences;
    if (report.unreadableAmounts > 0)
        sentences << QStringLiteral("%1 件は金額を読めませんでした").arg(report.unreadableAmounts);
    if (report.unreadableDates > 0)
        sentences << QStringLiteral("%1 件は日付を読めませんでした").arg(report.unreadableDates);
    return sentences.join(QStringLiteral("。"));
}

QString nearMissesMessage(const ConversionReport& report) {
    if (report.nearMisses.empty())
        return {};
    // The first few lines are enough to find the others.
    constexpr std::size_t kNamedLines = 5;
    QStringList lines;
    for (std::size_t k = 0; k < report.nearMisses.size() && k < kNamedLines; ++k)
        lines << QStringLiteral("%1 行目").arg(report.nearMisses[k] + 1);
    if (report.nearMisses.size() > kNamedLines)
        lines << QStringLiteral("ほか");
    return QStringLiteral("（明細の始まりに見えて合わなかった行が %1 行あります: %2）")
        .arg(report.nearMisses.size())
        .arg(lines.join(QStringLiteral("、")));
}

namespace {

// The near misses after the first sentence, which says what the conversion did.
void addNearMisses(QStringList& sentences, const ConversionReport& report) {
    const QString nearMisses = nearMissesMessage(report);
    if (nearMisses.isEmpty())
        return;
    if (sentences.isEmpty())
        sentences << nearMisses;
    else
        sentences.front() += nearMisses;
}

} // namespace

QString rowsNotice(const ConversionReport& report, bool forCommandLine) {
    QStringList sentences;
    if (!report.looksRight) {
        sentences << QStringLiteral("ただし%1の明細には見えません")
                         .arg(kindName(*report.kind, forCommandLine));
        if (report.suggested != nullptr)
            sentences << QStringLiteral("%1の明細のようです")
                             .arg(kindName(*report.suggested, forCommandLine));
    }
    if (const QString skipped = skippedEntriesMessage(report); !skipped.isEmpty())
        sentences << skipped;
    addNearMisses(sentences, report);
    return sentences.join(QStringLiteral("。"));
}

ConversionMessage describeConversion(const ConversionReport& report, bool forCommandLine) {
    const StatementKind& kind = *report.kind;
    QStringList sentences;
    // The sentence that begins with the suggested kind's caption.
    std::optional<qsizetype> suggestionSentence;
    bool offerUndo = report.textChanged && !forCommandLine;

    if (report.rateFailure) {
        sentences << (report.rateFailure->isEmpty()
                          ? QStringLiteral("為替レートを取得できませんでした")
                          : QStringLiteral("為替レートを取得できませんでした（%1）")
                                .arg(*report.rateFailure))
                  << QStringLiteral("クリップボードはそのままです");
        offerUndo = false;
    } else if (report.rows.value_or(0) > 0) {
        QString copied = QStringLiteral("%1: %2 行をクリップボードにコピーしました")
                             .arg(kind.caption)
                             .arg(*report.rows);
        QStringList notes;
        if (const QString filled = fillNote(report); !filled.isEmpty())
            notes << filled;
        if (report.copiedBefore > 0 && report.copiedLeftOut)
            notes << QStringLiteral("コピー済みの %1 行を除きました").arg(report.copiedBefore);
        else if (report.copiedBefore > 0)
            notes << QStringLiteral("うち %1 行は %2 にコピー済み")
                         .arg(report.copiedBefore)
                         .arg(report.lastCopiedDate);
        if (!notes.isEmpty())
            copied += QStringLiteral("（%1）").arg(notes.join(QStringLiteral("。")));
        sentences << copied;
        if (!report.looksRight)
            sentences << QStringLiteral("ただし%1の明細には見えません")
                             .arg(kindName(kind, forCommandLine));
        else
            offerUndo = false;
    } else if (report.copiedBefore > 0) {
        // Every row was copied before and left out: the clipboard keeps what it holds.
        sentences << QStringLiteral("%1: %2 行はすべてコピー済みです")
                         .arg(kind.caption)
                         .arg(report.copiedBefore);
        offerUndo = offerUndo && !report.looksRight;
    } else if (report.unreadableAmounts + report.unreadableDates > 0) {
        sentences << QStringLiteral("%1: コピーできる行がありませんでした").arg(kind.caption);
    } else {
        sentences
            << QStringLiteral("%1の明細が見つかりませんでした").arg(kindName(kind, forCommandLine));
        // The companion has no menu to point at.
        if (report.exampleInText && !forCommandLine)
            sentences << kLearnFromExampleHint;
    }
    if (!report.rateFailure) {
        // No junk rows: an entry whose amount or date cannot be read is left out, and said so.
        if (const QString skipped = skippedEntriesMessage(report); !skipped.isEmpty())
            sentences << skipped;
        if (!report.rows)
            sentences << QStringLiteral("クリップボードはそのままです");
    }

    if (!report.rateFailure && !report.looksRight && report.suggested != nullptr) {
        suggestionSentence = sentences.size();
        sentences << QStringLiteral("%1の明細のようです")
                         .arg(kindName(*report.suggested, forCommandLine));
    }
    if (!report.rateFailure)
        sentences << report.historyNotices << report.fillNotices;
    if (!report.rateFailure)
        addNearMisses(sentences, report);
    if (offerUndo)
        sentences << QStringLiteral("Ctrl+Z で元に戻せます");

    const QString separator = QStringLiteral("。");
    ConversionMessage message{sentences.join(separator), std::nullopt};
    if (suggestionSentence) {
        // The sentences before it and their separators; the near misses may have lengthened the
        // first one, so it is counted only now.
        qsizetype at = 0;
        for (qsizetype k = 0; k < *suggestionSentence; ++k)
            at += sentences[k].size() + separator.size();
        message.suggestion =
            KindMention{report.suggested->id, at, report.suggested->caption.size()};
    }
    return message;
}

QString conversionMessage(const ConversionReport& report, bool forCommandLine) {
    return describeConversion(report, forCommandLine).text;
}

} // namespace tallemo
