#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace tallemo::categories {

// NFKC and case folding: full-width letters and digits become ASCII, half-width kana full-width,
// capitals small. What the user's rule patterns are searched in.
QString foldForRules(QStringView description);

// The folded description without what varies between branches of one shop: digit runs (store
// numbers) are gone, dashes after kana are the long vowel mark (a "ﾛ-ｿﾝ" typed with a hyphen is
// "ローソン"), and every run of blanks and punctuation is one space. Descriptions with the same key
// are taken for the same shop.
QString descriptionKey(QStringView description);

// The description with each digit run as one blank, into spelling (its memory kept): it has the
// same key as the description, so a batch of rows can fold each shop's spelling once however
// many store numbers it comes with.
void spellingWithoutDigits(QStringView description, QString& spelling);

// The words of a key, each once: ASCII (and other Latin) words whole, runs of Japanese as their
// character bigrams (a run of one character as itself). A branch name adds a word or two, a chain
// keeps most of its bigrams through width and spelling variants.
std::vector<QString> keyWords(QStringView key);

} // namespace tallemo::categories
