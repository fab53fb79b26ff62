// Every statement kind's converter and recogniser on arbitrary text: valid UTF-8 is read as text
// (so the statement fixtures seed it), anything else as raw UTF-16 code units, lone surrogates
// included. Beyond not crashing: a conversion makes as many rows as the recogniser counted entries
// (the foreign kind at a fixed rate), and converting a card statement's result again changes
// nothing.

#include "AppError.h"
#include "converters/StatementKinds.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/Regional.h"

#include <QString>
#include <QStringDecoder>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

using namespace tallemo;

void check(bool ok, const StatementKind& kind, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", kind.id.toUtf8().constData(), what);
        std::abort();
    }
}

QString textOf(const std::uint8_t* bytes, std::size_t size) {
    const QByteArrayView view(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    QString units(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(units.data(), bytes, size / 2 * 2);
    return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    // What the text area holds after a paste: CR LF breaks only.
    const QString area = normaliseLineBreaks(textOf(bytes, size));
    ConvertContext context;
    context.regional = Regional::fixed(QStringLiteral("2025/01/15"));
    context.yenPerDollar = [](LineModel&) { return std::optional<double>(155.6); };
    context.remark = size % 2 == 1;

    for (const StatementKind& kind : statementKinds()) {
        LineModel Lines(area);
        const Recognition recognition = kind.recognise(Lines);
        check(Lines.text() == area, kind, "the recogniser leaves the text alone");
        std::optional<OutputList> rows;
        try {
            rows = kind.convert(Lines, context);
        } catch (const AppError&) {
            continue; // the error box: an amount that is no number or leaves the 32-bit range
        }
        // The foreign kind ends without rows when an amount stands in the first three lines.
        if (!rows)
            continue;
        check(rows->count() == recognition.entries, kind, "as many rows as entries recognised");

        if (kind.id == u"card") {
            const QString once = Lines.text();
            LineModel again(once);
            try {
                kind.convert(again, context);
            } catch (const AppError&) {
                check(false, kind, "the second conversion fails");
            }
            check(again.text() == once, kind, "the second conversion changes nothing");
        }
    }
    return 0;
}
