#pragma once

#include "converters/ConversionReport.h"
#include "converters/StatementKinds.h"
#include "text/OutputList.h"
#include "text/Regional.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tallemo {

class LineModel;

namespace history {
class HistoryStore;
class ConversionHistory;
} // namespace history

namespace categories {
class CategoryMatcher;
class MatcherCache;
} // namespace categories

// How a conversion treats the rows an earlier conversion delivered.
enum class CopiedRows {
    NotRead, // the history is neither read nor written (the companion without --new-only)
    Marked,  // every row is delivered; the report counts those copied before (the window)
    LeftOut, // only the new rows are delivered (--new-only, 設定 › コピー済みの行を除く)
};

// What the exchange-rate source yields: a rate, or why there is none.
struct RateAnswer {
    std::optional<double> yenPerDollar;
    QString failureReason; // a few words, may be empty
};
// Asked once per conversion of a kind that needs the rate; it may add trace lines to the text.
using RateSource = std::function<RateAnswer(LineModel& Lines)>;

// What the front end gathered for one conversion: the kind, its settings and where the rows go.
struct ConversionRequest {
    std::shared_ptr<const KindRegistry> kinds;
    const StatementKind* kind = nullptr;
    Regional regional;
    // Whether the kind's remarks cell is added (see remarkWanted).
    bool remark = false;
    RateSource rate;
    CopiedRows copiedRows = CopiedRows::NotRead;
    // The history, opened when it is first needed; null or returning null: no history.
    std::function<history::HistoryStore*()> history;
    // What fills the user's cells (the category) of the rows; null or empty: the stage is left
    // out and every row stays as the kind made it.
    const categories::CategoryMatcher* categories = nullptr;
    // Set when the caller takes the rows in UTF-8 as they are made (the companion writing
    // standard output). Rows are then streamed only where no later stage needs them whole.
    const RowsSink* rowsSink = nullptr;
    // Whether the report tells a text no kind recognises but a kind could be learned from (the
    // window says so; the companion has no use for it).
    bool lookForExample = false;
};

// The remarks setting of a kind: given on the command line, else as the window's settings menu
// keeps it in Tallemo.ini.
bool remarkWanted(const StatementKind& kind, const QString& iniFileName,
                  std::optional<bool> given = std::nullopt);

// The categories a conversion fills with, when the kind takes them and the setting (or the
// command line) wants them: the user's categories.toml and what categories.sqlite holds. Empty
// when there is nothing to fill with; what is wrong with the files goes to notices.
std::unique_ptr<categories::CategoryMatcher> categoriesFor(const StatementKind& kind, bool wanted,
                                                           const QString& categoriesFile,
                                                           const QString& rulesFile,
                                                           QStringList& notices);
// The same from a cache that a window keeps between its commands: null when there is nothing to
// fill with; the matcher lives as long as the cache does not read the files again.
const categories::CategoryMatcher* categoriesFor(const StatementKind& kind, bool wanted,
                                                 categories::MatcherCache& cache,
                                                 const QString& categoriesFile,
                                                 const QString& rulesFile, QStringList& notices);

// One conversion's way through the stages: recognise, convert, mark or leave out the copied rows,
// fill the user's cells, and, once the front end has delivered the rows, record them; the report
// gathers what each stage did.
class Conversion {
public:
    explicit Conversion(ConversionRequest request);
    ~Conversion();
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;
    Conversion(Conversion&&) = delete;
    Conversion& operator=(Conversion&&) = delete;

    // Runs the stages up to the delivery on the text, which the conversion rewrites. Throws
    // AppError where the converter does; what it changed until then stays changed, and nothing
    // is delivered or recorded.
    void run(LineModel& Lines);

    // Whether there are rows to deliver; when not, the clipboard keeps what it holds.
    bool delivers() const { return m_delivers; }
    // The rows to deliver as text (the clipboard), and in UTF-8 those not streamed yet.
    QString rowsText() const;
    QByteArray rowsUtf8() const;

    // Once the rows are delivered: records them in the history. The report then holds the
    // history's notices.
    void recordDelivered();

    const ConversionReport& report() const { return m_report; }
    const StatementKind& kind() const { return *m_request.kind; }

private:
    void streamThroughHistory();
    void markCopied(OutputList& rows);
    void fill(LineModel& Lines, OutputList& rows);

    ConversionRequest m_request;
    ConversionReport m_report;
    history::HistoryStore* m_store = nullptr;
    std::unique_ptr<history::ConversionHistory> m_copied;
    RowsSink m_newRowsSink;
    RowsSink m_keepRows; // empty: a list given it keeps its rows in UTF-8
    // The rows to deliver: a list, or (rows kept in UTF-8 and passed through the history) bytes.
    std::optional<OutputList> m_rows;
    std::optional<QByteArray> m_rowsUtf8;
    std::vector<bool> m_copiedRow; // per row of the list: whether it was copied before
    bool m_delivers = false;
    bool m_recordable = false;
};

} // namespace tallemo
