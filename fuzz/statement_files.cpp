// A statement file's bytes: decoded as the window and the companion decode them, then read as
// comma-separated records and converted by a kind of comma-separated lines. Beyond not crashing
// or hanging: UTF-8 comes back byte for byte, no decoded text holds a replacement character it
// did not have, a refusal names the first byte that is not UTF-8, every record takes at least one
// line and no more than a record may, and the kind gives as many rows as it counted readable
// entries.

#include "files/CsvReader.h"
#include "files/StatementDecoding.h"
#include "rules/CsvKind.h"
#include "text/LineModel.h"
#include "text/OutputList.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace tallemo;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "statement files: %s\n", what);
        std::abort();
    }
}

const StatementKind& csvKind() {
    static const StatementKind kind = [] {
        StatementKind k;
        k.id = QStringLiteral("fuzz-csv");
        RowLayout layout;
        auto engine = rules::makeCsvEngine(
            QStringLiteral("\"?利用日\"?,.*"),
            {QStringLiteral("{利用日|date}"), QStringLiteral("{利用店名}"),
             QStringLiteral("{利用金額|yen; 入金|yen|neg}"), QStringLiteral("{3|width|trim}")},
            0, QString(), layout);
        k.engine = std::get<std::shared_ptr<const StatementEngine>>(std::move(engine));
        return k;
    }();
    return kind;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const auto decoded = decodeStatement(bytes);
    QString text;
    if (const auto* refused = std::get_if<UndecodableText>(&decoded)) {
        check(refused->firstByteNotUtf8 >= 0 && refused->firstByteNotUtf8 <= bytes.size(),
              "offset out of the file");
        const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
        if (!utf16)
            check(firstByteNotUtf8(bytes) == refused->firstByteNotUtf8 &&
                      refused->firstByteNotUtf8 < bytes.size(),
                  "the offset is not where UTF-8 breaks");
        // Read the bytes as Latin-1 for the rest: any text will do for the records.
        text = QString::fromLatin1(bytes);
    } else {
        const auto& read = std::get<DecodedText>(decoded);
        text = read.text;
        switch (read.encoding) {
        case TextEncoding::Utf8:
            check(text.toUtf8() == bytes, "UTF-8 does not come back");
            break;
        case TextEncoding::Utf8WithBom:
            check(text.toUtf8() == bytes.sliced(3), "UTF-8 after its mark does not come back");
            break;
        case TextEncoding::Windows31J:
            check(firstByteNotUtf8(bytes) < bytes.size(), "UTF-8 read as Windows-31J");
            check(!text.contains(QChar(0xFFFD)), "a replacement character in Windows-31J");
            check(text.count(QChar(0x1A)) == bytes.count('\x1A'), "a substitute in Windows-31J");
            break;
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be:
            check(text.size() * 2 + 2 == bytes.size(), "UTF-16 of the wrong length");
            break;
        }
    }

    LineModel Lines = LineModel::fromPastedText(text);
    const int N = Lines.count();
    CsvRecord record;
    const auto lineAt = [&](int i) { return Lines.wholeLineView(i); };
    for (int i = 0; i < N;) {
        const int taken = readCsvRecord(lineAt, i, N, record);
        check(taken >= 1 && taken <= kMaxCsvRecordLines && i + taken <= N,
              "a record takes no line or too many");
        check(record.size() >= 1, "a record without a field");
        i += taken;
    }

    const Recognition recognition = csvKind().recognise(Lines);
    std::vector<SkippedEntry> skipped;
    ConvertContext context;
    context.skipped = &skipped;
    const std::optional<OutputList> rows = csvKind().convert(Lines, context);
    const int made = rows ? rows->count() : 0;
    check(made == recognition.wellFormed, "rows and readable entries differ");
    check(made + static_cast<int>(skipped.size()) == recognition.entries,
          "rows and left-out entries are not the entries");
    return 0;
}
