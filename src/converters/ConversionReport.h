#pragma once

#include "converters/StatementKinds.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tallemo {

// What one conversion did, as far as the user is told.
struct ConversionReport {
    const StatementKind* kind = nullptr;
    // The rows put on the clipboard; nothing when the clipboard kept what it held.
    std::optional<int> rows;
    // The rows the conversion made, delivered or not.
    int convertedRows = 0;
    // Rows whose user cells the categories filled, and rows left empty for want of certainty.
    int filled = 0;
    int notFilled = 0;
    // Set when the rate could not be had: why, in a few words (may be empty).
    std::optional<QString> rateFailure;
    // The kind's own verdict on the text before the conversion.
    bool looksRight = false;
    // The kind the text looked like most, when the text did not look like kind.
    const StatementKind* suggested = nullptr;
    // Set when no kind recognises the text and it has a line with a date and one with an amount:
    // a kind could be learned from it. Looked for only where the request asks (the window).
    bool exampleInText = false;
    // Whether the text area's text differs from before.
    bool textChanged = false;
    // Entries that gave no row because a field could not be read, by reason.
    int unreadableAmounts = 0;
    int unreadableDates = 0;
    // Lines that looked like an entry's beginning but began none (0-based): a usage whose fixed
    // words differ from the kind's would otherwise be lost without a word.
    std::vector<int> nearMisses;
    // Of the conversion's rows, those an earlier conversion put on the clipboard, and the date of
    // the latest such copy ("12/01"); with copiedLeftOut they were kept off the clipboard.
    int copiedBefore = 0;
    QString lastCopiedDate;
    bool copiedLeftOut = false;
    // What the history of copied rows has to say (a damaged file moved aside, a failed write).
    QStringList historyNotices;
    // What the categories have to say: a broken categories.toml, a damaged categories.sqlite.
    QStringList fillNotices;

    void countSkipped(const std::vector<SkippedEntry>& skipped);

    // Whether the conversion found no entries (a failed rate fetch is said otherwise).
    bool foundNothing() const { return !rateFailure && rows.value_or(0) == 0 && copiedBefore == 0; }
};

// Recognises the text before the conversion: the kind's verdict and, when that is no, the best
// other kind of the registry.
ConversionReport reportBefore(const KindRegistry& kinds, const StatementKind& kind,
                              const LineModel& Lines);
// The same verdict from the kind's recognition of the text, already had.
void judgeRecognition(ConversionReport& report, const KindRegistry& kinds,
                      const StatementKind& kind, const LineModel& Lines,
                      const Recognition& recognition);

// Where a message names a kind by its caption, so that the window can offer that kind's command
// there.
struct KindMention {
    QString kindId;
    qsizetype at = 0;
    qsizetype length = 0;
};

// A conversion's message and, when it says which kind the text looks like, where it names it.
struct ConversionMessage {
    QString text;
    std::optional<KindMention> suggestion;
};

// What the window's message adds when no kind fits a text that has dates and amounts; the
// captions are the window's menu and entry.
inline const QString kLearnFromExampleHint =
    QStringLiteral("例から書式を作れます（その他の書式 › 例から書式を作る…）");

ConversionMessage describeConversion(const ConversionReport& report, bool forCommandLine = false);

// The one-line message the window shows after a conversion, for example
// "楽天カード: 12 行をクリップボードにコピーしました". With forCommandLine the kinds are named by
// their ids too and the undo hint is left out.
QString conversionMessage(const ConversionReport& report, bool forCommandLine = false);

// What a conversion that made rows has to add: that the text does not look like the kind ("ただし
// 楽天カードの明細には見えません", and the kind it looks like), and the entries left out; empty
// when there is nothing to add.
QString rowsNotice(const ConversionReport& report, bool forCommandLine = false);

// The lines that looked like an entry but gave none: "（明細の始まりに見えて合わなかった行が 1 行
// あります: 22 行目）"; empty when there are none.
QString nearMissesMessage(const ConversionReport& report);

// What filling the categories did: "9 行に分類を入れました。3 行は確かでないので空欄です"; empty
// when the stage filled nothing and left nothing empty.
QString fillNote(const ConversionReport& report);

// The entries that gave no row, by reason: "2 件は金額を読めませんでした。1
// 件は日付を読めませんでした"; empty when every entry gave one.
QString skippedEntriesMessage(const ConversionReport& report);

} // namespace tallemo
