#pragma once

#include "text/OutputList.h"
#include "text/Regional.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace tallemo {

class LineModel;

// Yields yen per dollar, or nothing when the rate could not be had. It may add trace lines to
// the text (the exchange-rate client adds the service's answer or its failure line).
using YenPerDollarSource = std::function<std::optional<double>(LineModel& Lines)>;

// What a conversion takes besides the text. Each kind reads only what its entry says it needs.
struct ConvertContext {
    Regional regional;               // the dividend rows' date text and the decimal separator
    YenPerDollarSource yenPerDollar; // the US dividend rate
    bool remark = false;             // the remarks cell of the kinds that have one
    // Set when the caller takes the rows alone, in UTF-8, as they are made (the companion
    // without --area): the converter hands them to it and may leave the lines it would only have
    // rewritten for showing.
    const RowsSink* rowsSink = nullptr;
};

// A converter rewrites the text in place and returns the rows for the clipboard, or nothing when
// the clipboard must keep what it holds (no rate could be had). It throws AppError where the
// command ends with the error box; what it changed until then stays changed.
using Converter = std::optional<OutputList> (*)(LineModel& Lines, const ConvertContext& context);

// What a recogniser makes of a text: how many entries the kind's converter would turn into rows,
// and how many of them have the shape the statement's web page gives them (dates, amounts, TABs
// where the page puts them), against signs of another layout.
struct Recognition {
    int entries = 0;
    int wellFormed = 0;
    int against = 0;

    // At least half the entries well formed, and more of them than signs against.
    bool looksRight() const {
        return entries > 0 && wellFormed * 2 >= entries && wellFormed > against;
    }
    // How sure the verdict is, for ranking: the share of well-formed entries less the share of
    // signs against.
    double confidence() const;
};

// Recognisers read the text as the text area holds it (CR LF breaks only) and take one pass over
// it, so recognising costs no more than converting.
using Recogniser = Recognition (*)(const LineModel& Lines);

// The yes/no setting that switches a kind's remarks cell on, as the window's settings menu keeps
// it in Tallemo.ini.
struct RemarkSetting {
    QString section;
    QString key;
    QString cell; // the remarks cell's text
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
    Converter convert = nullptr;
    Recogniser recognise = nullptr;
    // Entry i of a generated statement of this kind, lines ending in CR LF: statements of any
    // size for the benchmarks and the recognition tests.
    QString (*sampleEntry)(int i) = nullptr;
};

// Every kind, in the order the window shows them.
std::span<const StatementKind> statementKinds();
const StatementKind* findStatementKind(QStringView id);

struct RankedKind {
    const StatementKind* kind = nullptr;
    Recognition recognition;
};

// The kinds the text looks like, most confident first (ties: more entries first, then the
// table's order); empty when it looks like none.
std::vector<RankedKind> rankStatementKinds(const LineModel& Lines);

// A generated statement of n entries of a kind and a closing line, lines ending in CR LF.
QString sampleStatement(const StatementKind& kind, int n);

} // namespace tallemo
