#pragma once

#include "text/OutputList.h"
#include "text/Regional.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tallemo {

class LineModel;
struct Recognition;

// Yields yen per dollar, or nothing when the rate could not be had. It may add trace lines to
// the text (the exchange-rate client adds the service's answer or its failure line).
using YenPerDollarSource = std::function<std::optional<double>(LineModel& Lines)>;

// Why an entry of a statement gave no row: a field its row needs could not be read.
enum class SkipReason { UnreadableAmount, UnreadableDate };

struct SkippedEntry {
    int line = 0; // the entry's first line, 0-based
    SkipReason reason = SkipReason::UnreadableAmount;
};

// The lines of the text as given to the converter (0-based) that one row's entry took.
struct EntryLines {
    int first = 0;
    int last = 0;
};

// What a conversion takes besides the text. Each kind reads only what its entry says it needs.
struct ConvertContext {
    Regional regional;               // the dividend rows' date text and the decimal separator
    YenPerDollarSource yenPerDollar; // the US dividend rate
    bool remark = false;             // the remarks cell of the kinds that have one
    // Set when the caller takes the rows alone, in UTF-8, as they are made (the companion
    // without --area): the converter hands them to it and may leave the lines it would only have
    // rewritten for showing.
    const RowsSink* rowsSink = nullptr;
    // Where a kind that leaves out entries it cannot read says which ones and why.
    std::vector<SkippedEntry>* skipped = nullptr;
    // Where a kind says which lines looked like an entry's beginning but began none (0-based).
    std::vector<int>* nearMisses = nullptr;
    // Where a kind says, row by row, which lines its entries took (built-in kinds).
    std::vector<EntryLines>* entryLines = nullptr;
    // Where a kind that recognises while it converts (StatementEngine::recognisesWhileConverting)
    // leaves what recognise would have found in the text it was given.
    Recognition* recognition = nullptr;
};

// What one walk of a kind over a text found, entry by entry: for `check` and the learner.
struct KindScan {
    struct Entry {
        int firstLine = 0; // 0-based
        int lastLine = 0;
        std::optional<SkipReason> skipped; // why it gave no row, if it did not
        QStringList cells;                 // the row's cells, when it gave one
    };
    std::vector<Entry> entries;
    // Lines that look like an entry's beginning but begin none: lines that match the template's
    // first line, or the file's looks-like pattern where it has one.
    struct NearMiss {
        int line = 0;         // 0-based, where the entry would have begun
        int failedLine = 0;   // the line that did not match, the text's line count at its end
        int templateLine = 0; // 0-based, the template line that found no match there
    };
    std::vector<NearMiss> nearMisses;
    // Patterns RE2 cannot match fast, with why and what would help: hints, not faults.
    QStringList hints;
};

// What a recogniser makes of a text: how many entries the kind's converter would turn into rows,
// and how many of them have the shape the statement's web page gives them (dates, amounts, TABs
// where the page puts them), against signs of another layout.
struct Recognition {
    int entries = 0;
    int wellFormed = 0;
    int against = 0;
    // The share of the text's non-blank lines that the entries take, from kinds that can tell (the
    // kinds of rules files, whose patterns may fit a few lines of any statement); the built-in
    // recognisers weigh signs against instead and leave it at 1.
    double coverage = 1.0;

    // At least half the entries well formed, and more of them than signs against.
    bool looksRight() const {
        return entries > 0 && wellFormed * 2 >= entries && wellFormed > against;
    }
    // How sure the verdict is, for ranking: the share of well-formed entries less the share of
    // signs against, times the share of the text the entries take.
    double confidence() const;
};

// What a kind does with a text. A built-in kind's engine is its converter and recogniser; a kind
// read from a rules file carries its compiled patterns in its engine.
class StatementEngine {
public:
    StatementEngine() = default;
    virtual ~StatementEngine() = default;
    Q_DISABLE_COPY_MOVE(StatementEngine)

    // Rewrites the text in place and returns the rows for the clipboard, or nothing when the
    // clipboard must keep what it holds. It throws AppError where the command ends with the
    // error box; what it changed until then stays changed.
    virtual std::optional<OutputList> convert(LineModel& Lines,
                                              const ConvertContext& context) const = 0;
    // Reads the text as the text area holds it (CR LF breaks only) in one pass, so recognising
    // costs no more than converting.
    virtual Recognition recognise(const LineModel& Lines) const = 0;
    // Walks the text as convert does, without changing it, and tells each entry's lines and row
    // (or why it gave none). The context's rowsSink and its lists of skipped entries and near
    // misses are not used. It throws AppError where convert would.
    virtual KindScan scan(const LineModel& Lines, const ConvertContext& context) const = 0;
    // Whether convert fills context.recognition from the walk that makes the rows, so that a
    // caller whose text the conversion leaves as it is (rows going to a sink) need not walk a long
    // statement twice.
    virtual bool recognisesWhileConverting() const { return false; }
};

// The yes/no setting that switches a kind's remarks cell on, as the window's settings menu keeps
// it in Tallemo.ini.
struct RemarkSetting {
    QString section;
    QString key;
    QString cell; // the remarks cell's text
};

// Which of a row's cells is what, for the stages after the conversion: the history's identity of
// a row and the filling of the user's cells. -1: the row has no such cell.
struct RowLayout {
    int date = 0;
    int description = 1;
    int amount = 4;
    // The first of the two cells the user types by hand (the category), left empty by the kind.
    int userCells = 2;
    // The cell count of a row as the kind makes it, without the remarks cell; a row of another
    // count (a statement line the kind could not split) is text, not cells.
    int cells = 5;
};

// One statement kind: everything the window, the companion, the tests and the benchmarks need to
// know about it.
struct StatementKind {
    QString id;      // the companion's name for it
    QString caption; // as the window's button or menu entry shows it
    QString summary; // what it is, for the companion's help
    bool needsDate = false;
    bool needsRate = false;
    std::optional<RemarkSetting> remark;
    // The converter can still end in the error box after it has made rows (a dollar amount that
    // is no number): a caller that writes rows as they are made must hold them back until it is
    // done.
    bool canFailAfterRows = false;
    // Its rows go into the history of copied rows. Not for rows that nothing tells from the next
    // statement's (the dividend rows carry the day of conversion, not of the payment).
    bool recordsHistory = false;
    // What its rows' cells are; nothing for kinds whose rows are no such table (the dividends).
    std::optional<RowLayout> layout = std::nullopt;
    // The kind whose rows this kind's rows repeat (a card company's mails and its CSV repeat the
    // card statement): rows of the two share one identity in the history. Empty: none.
    QString repeats = {};
    // Whether the empty user cells of its rows are filled from the categories.
    bool fill = false;
    std::shared_ptr<const StatementEngine> engine;
    // The window gives it a button or menu entry of its own (the kinds built into the window);
    // the others are listed under その他の書式.
    bool ownWindowElement = false;
    // The rules file the kind was read from; empty for the kinds built into the program.
    QString sourceFile = {};
    // Entry i of a generated statement of this kind, lines ending in CR LF: statements of any
    // size for the benchmarks and the recognition tests. Built-in kinds only.
    QString (*sampleEntry)(int i) = nullptr;

    // The id under which the history knows the kind's rows: that of the kind it repeats, else its
    // own.
    const QString& historyId() const { return repeats.isEmpty() ? id : repeats; }
    // The remarks cell's text when the conversion adds it.
    std::optional<QString> remarkCell(bool remarkOn) const {
        if (!remarkOn || !remark)
            return std::nullopt;
        return remark->cell;
    }

    std::optional<OutputList> convert(LineModel& Lines, const ConvertContext& context) const {
        return engine->convert(Lines, context);
    }
    Recognition recognise(const LineModel& Lines) const { return engine->recognise(Lines); }
    KindScan scan(const LineModel& Lines, const ConvertContext& context) const {
        return engine->scan(Lines, context);
    }
    bool isBuiltIn() const { return sourceFile.isEmpty(); }
};

// The question the window's settings menu asks for a kind's remarks setting, and what it says
// when the answer is yes: "ViewはSuica限定ですか?", "備考欄にSuicaと出力します".
QString remarkQuestion(const StatementKind& kind);
QString remarkInformation(const StatementKind& kind);

struct RankedKind {
    const StatementKind* kind = nullptr;
    Recognition recognition;
};

// The statement kinds a window or a companion run knows: the built-in ones, then those read from
// rules files. A registry never changes; reading the files again makes a new one, and whoever
// holds the old one (a command that is still running) keeps it, with every pointer into it.
class KindRegistry {
public:
    // The kinds built into the program, in the order the window shows them.
    static std::shared_ptr<const KindRegistry> builtIn();
    // The built-in kinds followed by added ones, in the order given.
    static std::shared_ptr<const KindRegistry> withAdded(std::vector<StatementKind> added);

    std::span<const StatementKind> kinds() const { return m_kinds; }
    const StatementKind* find(QStringView id) const;

    // The kinds the text looks like, most confident first (ties: more entries first, then the
    // registry's order); empty when it looks like none.
    std::vector<RankedKind> rank(const LineModel& Lines) const;

private:
    explicit KindRegistry(std::vector<StatementKind> kinds) : m_kinds(std::move(kinds)) {}

    std::vector<StatementKind> m_kinds;
};

// The built-in kinds, for the tests, benchmarks and fuzz targets that are about them.
std::span<const StatementKind> builtInKinds();
const StatementKind* findBuiltInKind(QStringView id);

// A generated statement of n entries of a built-in kind and a closing line, lines ending in CR LF.
QString sampleStatement(const StatementKind& kind, int n);

} // namespace tallemo
