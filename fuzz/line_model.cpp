// The text area's line model (a gap buffer of pieces), built from a text or from a paste, against
// a plain list of pieces: after every edit both hold the same text, count and lines.

#include "text/LineModel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

using tallemo::LineModel;
using tallemo::normaliseLineBreaks;

const QString kCrLf = QStringLiteral("\r\n");

// Texts rich in what matters to the model: CR LF, lone CR and LF, empty pieces, long lines, a lone
// surrogate.
QString fuzzText(FuzzedDataProvider& data) {
    QString s;
    const auto length = data.ConsumeIntegralInRange<std::size_t>(0, 24);
    for (std::size_t k = 0; k < length && data.remaining_bytes() > 0; ++k) {
        const auto b = data.ConsumeIntegral<std::uint8_t>();
        // Lines over the read limit are rare, or every input would copy kilobytes per edit.
        if (b == 255) {
            s += QString(LineModel::kMaxLineRead + static_cast<qsizetype>(k % 3) - 1, u'x');
            continue;
        }
        switch (b % 16) {
        case 0:
        case 1:
        case 2:
            s += kCrLf;
            break;
        case 3:
            s += u'\r';
            break;
        case 4:
            s += u'\n';
            break;
        case 5:
            s += QChar(0xD800);
            break;
        case 7:
            s += QStringLiteral("入金額");
            break;
        default:
            s += QChar(u'a' + b % 26);
        }
    }
    return s;
}

// The model's documented behaviour over a plain list of the pieces between CR LF breaks.
struct PlainLines {
    QStringList pieces{QString()};

    explicit PlainLines(const QString& text) : pieces(text.split(kCrLf)) {}

    int count() const {
        const int n = static_cast<int>(pieces.size());
        return pieces.back().isEmpty() ? n - 1 : n;
    }
    QString line(int i) const {
        return i < 0 || i >= count() ? QString() : pieces[i].left(LineModel::kMaxLineRead);
    }
    void setLine(int i, const QString& s) {
        if (i < 0 || i >= pieces.size())
            return;
        const QStringList parts = s.split(kCrLf);
        pieces.removeAt(i);
        for (qsizetype k = 0; k < parts.size(); ++k)
            pieces.insert(i + k, parts[k]);
    }
    void deleteLine(int i) {
        if (i < 0 || i >= pieces.size())
            return;
        if (i == pieces.size() - 1)
            pieces.back().clear();
        else
            pieces.removeAt(i);
    }
    void add(const QString& s) {
        // Text ending in CR LF (or empty): s, then CR LF. Otherwise CR LF, then s, and a CR LF
        // after an empty s so that it counts as a line.
        QString t = text();
        if (t.isEmpty() || t.endsWith(kCrLf))
            t += s + kCrLf;
        else
            t += kCrLf + s + (s.isEmpty() ? kCrLf : QString());
        pieces = t.split(kCrLf);
    }
    QString text() const { return pieces.join(kCrLf); }
};

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "line model and plain lines differ: %s\n", what);
        std::abort();
    }
}

void compare(const LineModel& model, const PlainLines& plain, FuzzedDataProvider& data) {
    check(model.text() == plain.text(), "text");
    check(model.count() == plain.count(), "count");
    check(model.pieceCount() == plain.pieces.size(), "pieces");
    for (int i : {-1, 0, plain.count() - 1, plain.count(),
                  data.ConsumeIntegralInRange<int>(-2, plain.count() + 2)})
        check(model.line(i) == plain.line(i) && model.lineView(i) == plain.line(i), "line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    // The start text as UTF-8 (a statement of the fixtures, as seeded), the edits from the rest.
    const QString start = QString::fromUtf8(data.ConsumeRandomLengthString(1 << 16));
    // A pasted model's pieces lie in the text as pasted, lone CRs, LFs and separators between
    // them; the edits must not see those.
    const bool pasted = data.ConsumeBool();
    LineModel model = pasted ? LineModel::fromPastedText(start) : LineModel(start);
    PlainLines plain(pasted ? normaliseLineBreaks(start) : start);
    compare(model, plain, data);
    // Enough edits to walk the gap about; more only slow each input down.
    for (int edits = 0; edits < 64 && data.remaining_bytes() > 0; ++edits) {
        const int op = data.ConsumeIntegralInRange<int>(0, 5);
        const int i = data.ConsumeIntegralInRange<int>(-1, plain.count() + 1);
        switch (op) {
        case 0: {
            const QString s = fuzzText(data);
            model.setLine(i, s);
            plain.setLine(i, s);
            break;
        }
        case 1:
            model.deleteLine(i);
            plain.deleteLine(i);
            break;
        case 2: {
            const QString s = fuzzText(data);
            model.add(s);
            plain.add(s);
            break;
        }
        case 3: {
            const QString s = fuzzText(data);
            model.setText(s);
            plain = PlainLines(s);
            break;
        }
        case 4: {
            // A view into the model's own buffer, which the edit itself may move.
            const int j = data.ConsumeIntegralInRange<int>(-1, plain.count());
            const QStringView view = model.lineView(j).left(data.ConsumeIntegralInRange<int>(0, 8));
            const QString copy = view.toString();
            model.setLine(i, view);
            plain.setLine(i, copy);
            break;
        }
        default:
            // Read a line far from the last edit, which moves nothing but must see the same text.
            check(model.line(i) == plain.line(i), "line after a move");
        }
        compare(model, plain, data);
    }
    // The same text builds the same model; a paste reads every line break as CR LF.
    check(LineModel(model.text()).text() == plain.text(), "rebuilt text");
    check(LineModel::fromPastedText(start).text() == normaliseLineBreaks(start), "pasted text");
    return 0;
}
