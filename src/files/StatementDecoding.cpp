#include "files/StatementDecoding.h"

#include "text/Utf8.h"

#include <QStringDecoder>

namespace tallemo {

namespace {

constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF", 3);
constexpr QByteArrayView kUtf16LeBom("\xFF\xFE", 2);
constexpr QByteArrayView kUtf16BeBom("\xFE\xFF", 2);

qsizetype lineOf(QByteArrayView bytes, qsizetype offset) {
    return bytes.first(offset).count('\n') + 1;
}

// Qt's "windows-31j" is ICU's IBM-943 table, which exchanges three control codes the IBM way
// (0x1A gives U+001C, 0x1C gives U+007F, 0x7F gives U+001A). Windows-31J, as Windows and every
// file that says so mean it, maps them to themselves, so they are put back.
void restoreControlCodes(QChar* begin, QChar* end) {
    for (QChar* c = begin; c != end; ++c) {
        switch (c->unicode()) {
        case 0x1C:
            *c = QChar(0x1A);
            break;
        case 0x7F:
            *c = QChar(0x1C);
            break;
        case 0x1A:
            *c = QChar(0x7F);
            break;
        default:
            break;
        }
    }
}

bool hasSwappedControlByte(QByteArrayView bytes) {
    // Three searches for one byte each (memchr) cost less than one loop asking three questions
    // of every byte: the bytes are almost never there.
    return bytes.contains('\x1A') || bytes.contains('\x1C') || bytes.contains('\x7F');
}

std::variant<DecodedText, UndecodableText> decodeUtf16(QByteArrayView bytes,
                                                       TextEncoding encoding) {
    if (bytes.size() % 2 != 0)
        return UndecodableText{bytes.size() - 1, lineOf(bytes, bytes.size() - 1)};
    QStringDecoder decoder(
        encoding == TextEncoding::Utf16Le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
        // The mark is taken off here: a second U+FEFF is the text's own.
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes.sliced(2));
    return DecodedText{std::move(text), encoding};
}

} // namespace

QString encodingName(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf8WithBom:
        return QStringLiteral("UTF-8 (BOM)");
    case TextEncoding::Utf16Le:
        return QStringLiteral("UTF-16LE");
    case TextEncoding::Utf16Be:
        return QStringLiteral("UTF-16BE");
    case TextEncoding::Windows31J:
        return QStringLiteral("Windows-31J");
    }
    return {};
}

qsizetype firstByteNotUtf8(QByteArrayView bytes) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const qsizetype n = bytes.size();
    for (qsizetype k = 0; k < n;) {
        const unsigned char lead = at(k);
        if (lead < 0x80) {
            ++k;
            continue;
        }
        // The second byte's range depends on the lead (no overlong forms, no surrogates, nothing
        // beyond U+10FFFF); the others are plain continuation bytes.
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return k;
        }
        if (k + length > n || at(k + 1) < low || at(k + 1) > high)
            return k;
        for (int j = 2; j < length; ++j) {
            if ((at(k + j) & 0xC0U) != 0x80U)
                return k;
        }
        k += length;
    }
    return n;
}

bool appendWindows31J(QString& text, QByteArrayView bytes) {
    if (bytes.isEmpty())
        return true;
    QStringDecoder decoder("windows-31j", QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return false;
    const qsizetype old = text.size();
    // One UTF-16 unit at most per byte, in either width of character.
    text.resize(old + bytes.size());
    QChar* const begin = text.data() + old;
    QChar* const end = decoder.appendToBuffer(begin, bytes);
    if (decoder.hasError()) {
        text.truncate(old);
        return false;
    }
    if (hasSwappedControlByte(bytes))
        restoreControlCodes(begin, end);
    text.truncate(end - text.constData());
    return true;
}

std::variant<DecodedText, UndecodableText> decodeStatement(QByteArrayView bytes) {
    if (bytes.startsWith(kUtf16LeBom))
        return decodeUtf16(bytes, TextEncoding::Utf16Le);
    if (bytes.startsWith(kUtf16BeBom))
        return decodeUtf16(bytes, TextEncoding::Utf16Be);
    const bool bom = bytes.startsWith(kUtf8Bom);
    const QByteArrayView body = bom ? bytes.sliced(kUtf8Bom.size()) : bytes;
    QString text(body.size(), Qt::Uninitialized);
    if (const QChar* end = decodeUtf8(body, text.data()); end != nullptr) {
        text.truncate(end - text.constData());
        return DecodedText{std::move(text), bom ? TextEncoding::Utf8WithBom : TextEncoding::Utf8};
    }
    const qsizetype offset = (bom ? kUtf8Bom.size() : 0) + firstByteNotUtf8(body);
    // A file that began as UTF-8 with its mark is not taken for Windows-31J.
    text.resize(0);
    if (!bom && appendWindows31J(text, bytes))
        return DecodedText{std::move(text), TextEncoding::Windows31J};
    return UndecodableText{offset, lineOf(bytes, offset)};
}

} // namespace tallemo
