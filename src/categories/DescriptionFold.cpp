#include "categories/DescriptionFold.h"

#include <algorithm>

namespace tallemo::categories {

namespace {

bool isKana(char32_t c) {
    return (c >= 0x3041 && c <= 0x309F) || (c >= 0x30A0 && c <= 0x30FF);
}

bool isDash(char32_t c) {
    return c == u'-' || (c >= 0x2010 && c <= 0x2015) || c == 0x2212 || c == 0x30FC || c == 0xFF70 ||
           c == 0x301C || c == 0xFF5E;
}

bool isJapanese(char32_t c) {
    return isKana(c) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || c == 0x3005 || (c >= 0x20000 && c <= 0x3FFFF);
}

enum class Kind { Separator, Latin, Japanese };

Kind kindOf(char32_t c) {
    if (isJapanese(c))
        return Kind::Japanese;
    if (QChar::isLetter(c))
        return Kind::Latin;
    return Kind::Separator;
}

} // namespace

QString foldForRules(QStringView description) {
    return description.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QString descriptionKey(QStringView description) {
    const QString folded = foldForRules(description);
    QString key;
    key.reserve(folded.size());
    bool pendingSpace = false;
    char32_t previous = 0;
    for (qsizetype k = 0; k < folded.size(); ++k) {
        char32_t c = folded[k].unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(c) && k + 1 < folded.size() && folded[k + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(folded[k], folded[k + 1]);
            units = 2;
        }
        if (isDash(c) && isKana(previous))
            c = 0x30FC;
        if (QChar::isDigit(c) || kindOf(c) == Kind::Separator) {
            pendingSpace = !key.isEmpty();
            // A digit run between two parts of a word still parts them.
            previous = 0;
            k += units - 1;
            continue;
        }
        if (pendingSpace)
            key += u' ';
        pendingSpace = false;
        if (units == 2) {
            key += folded[k];
            key += folded[k + 1];
        } else {
            key += QChar(static_cast<char16_t>(c));
        }
        previous = c;
        k += units - 1;
    }
    return key;
}

std::vector<QString> keyWords(QStringView key) {
    std::vector<QString> words;
    words.reserve(static_cast<std::size_t>(key.size()));
    // Each character's start and kind; a character outside the BMP takes two units.
    struct Unit {
        qsizetype start;
        Kind kind;
    };
    std::vector<Unit> chars;
    chars.reserve(static_cast<std::size_t>(key.size()));
    for (qsizetype k = 0; k < key.size(); ++k) {
        char32_t c = key[k].unicode();
        const qsizetype start = k;
        if (QChar::isHighSurrogate(c) && k + 1 < key.size() && key[k + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(key[k], key[k + 1]);
            ++k;
        }
        chars.push_back({start, kindOf(c)});
    }
    const auto endOf = [&](std::size_t index) {
        return index < chars.size() ? chars[index].start : key.size();
    };
    const auto flush = [&](std::size_t begin, std::size_t end, Kind kind) {
        if (end <= begin || kind == Kind::Separator)
            return;
        if (kind == Kind::Latin || end - begin == 1) {
            words.push_back(
                key.sliced(chars[begin].start, endOf(end) - chars[begin].start).toString());
            return;
        }
        for (std::size_t k = begin; k + 1 < end; ++k)
            words.push_back(key.sliced(chars[k].start, endOf(k + 2) - chars[k].start).toString());
    };
    std::size_t begin = 0;
    Kind runKind = Kind::Separator;
    for (std::size_t k = 0; k < chars.size(); ++k) {
        if (chars[k].kind != runKind) {
            flush(begin, k, runKind);
            begin = k;
            runKind = chars[k].kind;
        }
    }
    flush(begin, chars.size(), runKind);
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

namespace {

// QChar::isDigit without its table look-up for the characters a description is mostly made of:
// no decimal digit lies between U+007F and U+0660, nor among the kana and the CJK ideographs.
bool isDigit(QChar c) {
    const char16_t unit = c.unicode();
    if (unit < 0x660)
        return unit >= u'0' && unit <= u'9';
    if (unit >= 0x3000 && unit < 0xA000)
        return false;
    return c.isDigit();
}

} // namespace

void spellingWithoutDigits(QStringView description, QString& spelling) {
    spelling.resize(description.size());
    auto* const out = reinterpret_cast<char16_t*>(spelling.data());
    qsizetype length = 0;
    bool inDigits = false;
    for (const QChar c : description) {
        if (isDigit(c)) {
            if (!inDigits)
                out[length++] = u' ';
            inDigits = true;
        } else {
            out[length++] = c.unicode();
            inDigits = false;
        }
    }
    spelling.resize(length);
}

} // namespace tallemo::categories
