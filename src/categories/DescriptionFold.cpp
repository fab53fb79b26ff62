#include "categories/DescriptionFold.h"

#include <QList>

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
    for (const char32_t c : folded.toUcs4()) {
        char32_t kept = c;
        if (isDash(c) && isKana(previous))
            kept = 0x30FC;
        if (QChar::isDigit(kept) || kindOf(kept) == Kind::Separator) {
            pendingSpace = !key.isEmpty();
            // A digit run between two parts of a word still parts them.
            previous = 0;
            continue;
        }
        if (pendingSpace)
            key += u' ';
        pendingSpace = false;
        key += QString::fromUcs4(&kept, 1);
        previous = kept;
    }
    return key;
}

std::vector<QString> keyWords(QStringView key) {
    std::vector<QString> words;
    const QList<uint> chars = key.toUcs4();
    const auto flush = [&](qsizetype begin, qsizetype end, Kind kind) {
        if (end <= begin || kind == Kind::Separator)
            return;
        const auto text = [&](qsizetype from, qsizetype count) {
            return QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()) + from,
                                     count);
        };
        if (kind == Kind::Latin || end - begin == 1) {
            words.push_back(text(begin, end - begin));
            return;
        }
        for (qsizetype k = begin; k + 1 < end; ++k)
            words.push_back(text(k, 2));
    };
    qsizetype begin = 0;
    Kind runKind = Kind::Separator;
    for (qsizetype k = 0; k < chars.size(); ++k) {
        const Kind kind = kindOf(chars[k]);
        if (kind != runKind) {
            flush(begin, k, runKind);
            begin = k;
            runKind = kind;
        }
    }
    flush(begin, chars.size(), runKind);
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

} // namespace tallemo::categories
