#include "converters/ConversionReport.h"

#include "text/LineModel.h"

#include <QStringList>

namespace tallemo {

ConversionReport reportBefore(const StatementKind& kind, const LineModel& Lines) {
    ConversionReport report;
    report.kind = &kind;
    // Which other kind the text looks like is said only when it does not look like this one, so
    // the other recognisers run only then.
    if (kind.recognise(Lines).looksRight()) {
        report.looksRight = true;
        return report;
    }
    for (const RankedKind& ranked : rankStatementKinds(Lines)) {
        if (ranked.kind != &kind) {
            report.suggested = ranked.kind;
            break;
        }
    }
    return report;
}

namespace {

QString kindName(const StatementKind& kind, bool forCommandLine) {
    return forCommandLine ? QStringLiteral("%1 (%2) ").arg(kind.caption, kind.id) : kind.caption;
}

} // namespace

QString conversionMessage(const ConversionReport& report, bool forCommandLine) {
    const StatementKind& kind = *report.kind;
    QStringList sentences;
    bool offerUndo = report.textChanged && !forCommandLine;

    if (report.rateFailure) {
        sentences << (report.rateFailure->isEmpty()
                          ? QStringLiteral("為替レートを取得できませんでした")
                          : QStringLiteral("為替レートを取得できませんでした（%1）")
                                .arg(*report.rateFailure))
                  << QStringLiteral("クリップボードはそのままです");
        offerUndo = false;
    } else if (report.rows.value_or(0) > 0) {
        sentences << QStringLiteral("%1: %2 行をクリップボードにコピーしました")
                         .arg(kind.caption)
                         .arg(*report.rows);
        if (!report.looksRight)
            sentences << QStringLiteral("ただし%1の明細には見えません")
                             .arg(kindName(kind, forCommandLine));
        else
            offerUndo = false;
    } else {
        sentences
            << QStringLiteral("%1の明細が見つかりませんでした").arg(kindName(kind, forCommandLine));
        if (!report.rows)
            sentences << QStringLiteral("クリップボードはそのままです");
    }

    if (!report.rateFailure && !report.looksRight && report.suggested != nullptr)
        sentences << QStringLiteral("%1の明細のようです")
                         .arg(kindName(*report.suggested, forCommandLine));
    if (offerUndo)
        sentences << QStringLiteral("Ctrl+Z で元に戻せます");
    return sentences.join(QStringLiteral("。"));
}

} // namespace tallemo
