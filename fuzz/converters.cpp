// Every statement kind's converter and recogniser on arbitrary text: valid UTF-8 is read as text
// (so the statement fixtures seed it), anything else as raw UTF-16 code units, lone surrogates
// included. Beyond not crashing: a conversion makes as many rows as the recogniser counted entries
// (the foreign kind at a fixed rate), converting a card statement's result again changes
// nothing, a conversion for the rows alone writes the same UTF-8 as the window's rows encoded by
// Qt, and the companion's UTF-8 decoder takes and decodes exactly what Qt's does.

#include "AppError.h"
#include "converters/StatementKinds.h"
#include "text/LineModel.h"
#include "text/OutputList.h"
#include "text/Regional.h"
#include "text/Utf8.h"

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

void checkDecoder(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "decodeUtf8: %s\n", what);
        std::abort();
    }
}

QString textOf(const std::uint8_t* bytes, std::size_t size) {
    const QByteArrayView view(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                  QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(view);
    QString ours(view.size(), Qt::Uninitialized);
    const QChar* const end = decodeUtf8(view, ours.data());
    checkDecoder((end == nullptr) == utf8.hasError(), "refuses what Qt refuses");
    if (!utf8.hasError()) {
        ours.truncate(end - ours.constData());
        checkDecoder(ours == text, "decodes as Qt decodes");
        return text;
    }
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

    for (const StatementKind& kind : builtInKinds()) {
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

        LineModel alone(area);
        QByteArray handedOver;
        const RowsSink sink = [&handedOver](QByteArrayView part) { handedOver.append(part); };
        ConvertContext rowsOnly = context;
        rowsOnly.rowsSink = &sink;
        std::optional<OutputList> rowsAlone = kind.convert(alone, rowsOnly);
        check(rowsAlone.has_value(), kind, "rows alone whenever the window has rows");
        rowsAlone->flush();
        check(handedOver == rows->text().toUtf8(), kind,
              "the rows alone are the window's rows in UTF-8");

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
