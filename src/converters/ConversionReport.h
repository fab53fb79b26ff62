#pragma once

#include "converters/StatementKinds.h"

#include <QString>

#include <optional>

namespace tallemo {

// What one conversion did, as far as the user is told.
struct ConversionReport {
    const StatementKind* kind = nullptr;
    // The rows put on the clipboard; nothing when the clipboard kept what it held.
    std::optional<int> rows;
    // Set when the rate could not be had: why, in a few words (may be empty).
    std::optional<QString> rateFailure;
    // The kind's own verdict on the text before the conversion.
    bool looksRight = false;
    // The kind the text looked like most, when the text did not look like kind.
    const StatementKind* suggested = nullptr;
    // Whether the text area's text differs from before.
    bool textChanged = false;

    // Whether the conversion found no entries (a failed rate fetch is said otherwise).
    bool foundNothing() const { return !rateFailure && rows.value_or(0) == 0; }
};

// Recognises the text before the conversion: the kind's verdict and, when that is no, the best
// other kind.
ConversionReport reportBefore(const StatementKind& kind, const LineModel& Lines);

// The one-line message the window shows after a conversion, for example
// "楽天カード: 12 行をクリップボードにコピーしました". With forCommandLine the kinds are named by
// their ids too and the undo hint is left out.
QString conversionMessage(const ConversionReport& report, bool forCommandLine = false);

} // namespace tallemo
