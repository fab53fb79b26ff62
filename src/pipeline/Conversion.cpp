#include "pipeline/Conversion.h"

#include "categories/CategoryMatcher.h"
#include "categories/CategoryStore.h"
#include "history/ConversionHistory.h"
#include "history/HistoryStore.h"
#include "learn/Learner.h"
#include "settings/IniSettings.h"
#include "text/HugePages.h"
#include "text/LineModel.h"

#include <QStringList>

#include <utility>
#include <vector>

namespace tallemo {

bool remarkWanted(const StatementKind& kind, const QString& iniFileName,
                  std::optional<bool> given) {
    if (!kind.remark)
        return false;
    if (given)
        return *given;
    return ReadIniBoolean(iniFileName, kind.remark->section, kind.remark->key, false);
}

std::unique_ptr<categories::CategoryMatcher> categoriesFor(const StatementKind& kind, bool wanted,
                                                           const QString& categoriesFile,
                                                           const QString& rulesFile,
                                                           QStringList& notices) {
    if (!wanted || !kind.fill || !kind.layout)
        return nullptr;
    auto matcher = std::make_unique<categories::CategoryMatcher>(
        categories::loadMatcher(categoriesFile, rulesFile, &notices));
    if (matcher->isEmpty())
        return nullptr;
    return matcher;
}

const categories::CategoryMatcher* categoriesFor(const StatementKind& kind, bool wanted,
                                                 categories::MatcherCache& cache,
                                                 const QString& categoriesFile,
                                                 const QString& rulesFile, QStringList& notices) {
    if (!wanted || !kind.fill || !kind.layout)
        return nullptr;
    const categories::CategoryMatcher& matcher = cache.matcher(categoriesFile, rulesFile, &notices);
    return matcher.isEmpty() ? nullptr : &matcher;
}

Conversion::Conversion(ConversionRequest request) : m_request(std::move(request)) {}

Conversion::~Conversion() = default;

namespace {

// Whether the rows go to the history's look-up at all: kinds whose rows nothing tells from the
// next statement's keep none.
bool readsHistory(const ConversionRequest& request) {
    return request.copiedRows != CopiedRows::NotRead && request.kind->recordsHistory &&
           request.history;
}

bool fills(const ConversionRequest& request) {
    return request.categories != nullptr && request.kind->fill && request.kind->layout &&
           !request.categories->isEmpty();
}

// Whether a text that no kind recognises could teach one (the window's hint), asked only then.
void lookForAnExample(const ConversionRequest& request, ConversionReport& report,
                      const LineModel& Lines) {
    if (request.lookForExample && !report.looksRight && report.suggested == nullptr)
        report.exampleInText = learn::hasDatesAndAmounts(Lines);
}

} // namespace

void Conversion::streamThroughHistory() {
    // --new-only with rows written as they are made: each stretch is looked up as it comes and
    // only its new rows go on.
    const RowsSink& out = *m_request.rowsSink;
    m_newRowsSink = [this, &out](QByteArrayView rows) {
        QByteArray fresh;
        m_copied->take(rows, [&fresh](QByteArrayView row, bool copiedBefore) {
            if (!copiedBefore)
                fresh += row;
        });
        out(fresh);
    };
}

void Conversion::run(LineModel& Lines) {
    const StatementKind& kind = *m_request.kind;
    // The rows are streamed only where nothing after the conversion needs them whole: filling
    // rewrites them, and a converter that can still fail after its rows must not have sent any.
    const bool filling = fills(m_request);
    const RowsSink* sink = nullptr;
    if (m_request.rowsSink != nullptr && !filling)
        sink = *m_request.rowsSink && !kind.canFailAfterRows ? m_request.rowsSink : &m_keepRows;

    // Rows that go to a sink leave the text as it is: a kind that recognises while it converts
    // then gives its verdict from the same walk, and a long statement is read once.
    const bool judgedWhileConverting = sink != nullptr && kind.engine->recognisesWhileConverting();
    Recognition recognition;
    if (judgedWhileConverting) {
        m_report.kind = &kind;
    } else {
        m_report = reportBefore(*m_request.kinds, kind, Lines);
        // Read before the converter rewrites the text.
        lookForAnExample(m_request, m_report, Lines);
    }

    // Rows written as they are made go through the history on their way; rows kept whole meet
    // it afterwards, and a conversion without rows never opens it.
    if (readsHistory(m_request) && sink != nullptr) {
        m_store = m_request.history();
        if (m_store != nullptr) {
            // The rows come a part at a time when streamed; the lines tell roughly how many.
            m_copied = std::make_unique<history::ConversionHistory>(
                *m_store, kind, m_request.remark, Lines.count());
            if (sink == m_request.rowsSink && m_request.copiedRows == CopiedRows::LeftOut) {
                streamThroughHistory();
                sink = &m_newRowsSink;
            }
        }
    }

    std::optional<QString> rateFailure;
    ConvertContext context{m_request.regional, {}, m_request.remark, sink};
    if (kind.needsRate && m_request.rate) {
        context.yenPerDollar = [this, &rateFailure](LineModel& lines) -> std::optional<double> {
            RateAnswer answer = m_request.rate(lines);
            if (!answer.yenPerDollar)
                rateFailure = std::move(answer.failureReason);
            return answer.yenPerDollar;
        };
    }
    std::vector<SkippedEntry> skipped;
    context.skipped = &skipped;
    context.nearMisses = &m_report.nearMisses;

    if (judgedWhileConverting)
        context.recognition = &recognition;

    std::optional<OutputList> rows = kind.convert(Lines, context);
    if (judgedWhileConverting) {
        judgeRecognition(m_report, *m_request.kinds, kind, Lines, recognition);
        lookForAnExample(m_request, m_report, Lines);
    }
    m_report.rateFailure = rateFailure;
    m_report.countSkipped(skipped);
    if (!rows || rateFailure)
        return;
    rows->flush();
    m_report.convertedRows = rows->count();

    if (sink != nullptr) {
        // In UTF-8, streamed or kept; a streamed stretch went through the history on its way.
        if (m_copied && sink == &m_keepRows) {
            QByteArray fresh;
            m_copied->take(rows->utf8(), [&](QByteArrayView row, bool copiedBefore) {
                if (!copiedBefore || m_request.copiedRows == CopiedRows::Marked)
                    fresh += row;
            });
            m_rowsUtf8 = std::move(fresh);
        } else {
            m_rows.emplace(std::move(*rows));
        }
    } else {
        markCopied(*rows);
        if (filling)
            fill(Lines, *rows);
        if (m_copied && m_request.copiedRows == CopiedRows::LeftOut)
            m_rows.emplace(
                rows->subset([this](int k) { return !m_copiedRow[static_cast<std::size_t>(k)]; }));
        else
            m_rows.emplace(std::move(*rows));
    }
    m_delivers = true;

    if (m_copied) {
        m_report.copiedBefore = m_copied->copiedBefore();
        if (const std::optional<qint64> latest = m_copied->latestEarlierCopy())
            m_report.lastCopiedDate = history::monthDayText(*latest);
        m_report.copiedLeftOut = m_request.copiedRows == CopiedRows::LeftOut;
        m_report.historyNotices = m_store->notices();
        const int fresh = m_copied->rows() - m_copied->copiedBefore();
        if (m_report.copiedLeftOut && fresh == 0 && m_copied->rows() > 0) {
            // Nothing new: the clipboard keeps what it holds and nothing is recorded.
            m_delivers = false;
            return;
        }
        m_recordable = true;
        m_report.rows = m_report.copiedLeftOut ? fresh : m_copied->rows();
    } else {
        m_report.rows = m_report.convertedRows;
    }
}

void Conversion::markCopied(OutputList& rows) {
    if (!readsHistory(m_request) || rows.count() == 0)
        return;
    m_store = m_request.history();
    if (m_store == nullptr)
        return;
    m_copied =
        std::make_unique<history::ConversionHistory>(*m_store, *m_request.kind, m_request.remark);
    // The rows as the kind made them, before any cell is filled: the categories are never part
    // of a row's identity.
    m_copiedRow.assign(static_cast<std::size_t>(rows.count()), false);
    std::size_t k = 0;
    m_copied->take(rows.utf8(), [&](QByteArrayView /*row*/, bool copiedBefore) {
        m_copiedRow[k++] = copiedBefore;
    });
}

void Conversion::fill(LineModel& Lines, OutputList& rows) {
    const StatementKind& kind = *m_request.kind;
    const RowLayout& layout = *kind.layout;
    const int cellCount = layout.cells + (kind.remarkCell(m_request.remark) ? 1 : 0);
    if (layout.userCells < 0 || layout.description < 0)
        return;
    categories::CategoryChooser chooser(*m_request.categories, kind.id);
    // All rows are written once into one text that the row list and the text area's filled lines
    // then share: a long statement's filled rows are one write of fresh memory, not one for each
    // holder and another for the clipboard. Until the first row is filled the text is the list's.
    QString text;
    std::vector<qsizetype> starts; // where each row starts in text
    starts.reserve(static_cast<std::size_t>(rows.count()));
    std::vector<LineModel::SharedLine> filledLines;
    bool anyFilled = false;
    // A choice from an edited store with a line break in it must split the line it lands in, as
    // writing the lines one by one does.
    bool lineBreakInCells = false;
    std::vector<qsizetype> cellStarts;
    qsizetype start = 0;
    for (int k = 0; k < rows.count(); ++k, start = anyFilled ? text.size() : start) {
        const QStringView row = rows.row(k);
        starts.push_back(start);
        const auto keep = [&] {
            if (anyFilled) {
                text.append(row);
                text.append(u"\r\n");
            } else {
                start += row.size() + 2;
            }
        };
        cellStarts.clear();
        cellStarts.push_back(0);
        // A row is short: a plain walk costs less than a search call per TAB.
        for (qsizetype at = 0; at < row.size(); ++at) {
            if (row[at] == u'\t')
                cellStarts.push_back(at + 1);
        }
        if (std::cmp_not_equal(cellStarts.size(), cellCount)) {
            keep();
            continue;
        }
        const auto cell = [&](int c) {
            const auto at = static_cast<std::size_t>(c);
            const qsizetype end = at + 1 < cellStarts.size() ? cellStarts[at + 1] - 1 : row.size();
            return row.sliced(cellStarts[at], end - cellStarts[at]);
        };
        // Only empty cells are the user's to fill; a kind that put text there keeps it.
        if (!cell(layout.userCells).isEmpty() || !cell(layout.userCells + 1).isEmpty()) {
            keep();
            continue;
        }
        // The amount tells a shop whose name says nothing.
        const QStringView amount =
            layout.amount >= 0 && layout.amount < cellCount ? cell(layout.amount) : QStringView();
        const categories::CategoryChoice* choice =
            chooser.chooseShared(cell(layout.description), amount);
        // The counts are of the rows delivered; the rows left out are filled in the text area
        // all the same, so that what the user sees is what a copy would give.
        const bool delivered = m_request.copiedRows != CopiedRows::LeftOut || !m_copied ||
                               !m_copiedRow[static_cast<std::size_t>(k)];
        if (choice == nullptr) {
            m_report.notFilled += delivered ? 1 : 0;
            keep();
            continue;
        }
        m_report.filled += delivered ? 1 : 0;
        if (!anyFilled) {
            // The rows still to come will mostly be filled with cells of about this size (a
            // rule's long cells are not taken for every row's).
            const qsizetype cells =
                std::min<qsizetype>(choice->cell3.size() + choice->cell4.size() + 1, 256);
            text.reserve(rows.units() + (rows.count() - k) * cells);
            adviseHugePages(text.data(), static_cast<std::size_t>(text.capacity()) * sizeof(QChar));
            filledLines.reserve(static_cast<std::size_t>(rows.count() - k));
            // The rows before, as they are.
            for (int before = 0; before < k; ++before) {
                text.append(rows.row(before));
                text.append(u"\r\n");
            }
            anyFilled = true;
        }
        // The row up to the first empty cell, the two cells, and the rest from the TAB after them.
        text.append(row.first(cellStarts[static_cast<std::size_t>(layout.userCells)]));
        text.append(choice->cell3);
        text.append(u'\t');
        text.append(choice->cell4);
        text.append(row.sliced(cellStarts[static_cast<std::size_t>(layout.userCells) + 1]));
        if (const int line = rows.lineOf(k); line >= 0 && line < Lines.count())
            filledLines.push_back({line, start, text.size() - start});
        text.append(u"\r\n");
        lineBreakInCells =
            lineBreakInCells || choice->cell3.contains(u'\r') || choice->cell4.contains(u'\r');
    }
    if (!anyFilled)
        return;
    if (lineBreakInCells || !Lines.shareLines(text, filledLines)) {
        for (const LineModel::SharedLine& line : filledLines)
            Lines.setLine(line.line, QStringView(text).sliced(line.start, line.length));
    }
    rows.replaceAllRows(std::move(text), starts);
}

QString Conversion::rowsText() const {
    if (!m_delivers)
        return {};
    return m_rowsUtf8 ? QString::fromUtf8(*m_rowsUtf8) : m_rows->text();
}

QByteArray Conversion::rowsUtf8() const {
    if (!m_delivers)
        return {};
    return m_rowsUtf8 ? *m_rowsUtf8 : m_rows->utf8();
}

void Conversion::recordDelivered() {
    if (!m_copied || !m_recordable)
        return;
    m_copied->record();
    m_report.historyNotices = m_store->notices();
    m_recordable = false;
}

} // namespace tallemo
