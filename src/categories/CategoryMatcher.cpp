#include "categories/CategoryMatcher.h"

#include "categories/DescriptionFold.h"
#include "categories/SheetRows.h"
#include "rules/CellFilters.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace tallemo::categories {

namespace {

// A word never seen counts against every choice, but less than a rare known word counts for
// one: a new branch's name should not outweigh its chain's name.
constexpr double kUnseenWordWeight = 0.5;
// The share of a new description's characters that known words must make up before its guess
// can be sure, and the sureness it gets below that (under every threshold worth using).
constexpr double kKnownShare = 0.5;
constexpr double kThinEvidenceSureness = 0.3;
// A whole word that several learned shops share, nearly all filed under one choice ("cafe" in
// "Cafe Modagor" and "Franklin Cafe"), names a kind of shop: a new shop with it is known by it
// even when the rest of its name is new. One shop with the word is not enough ("BOOK SHOP" says
// nothing of "UNKNOWN SHOP"), nor is a fragment of a Japanese run.
constexpr int kTellingWordShops = 2;
constexpr double kTellingWordShare = 0.9;
constexpr qsizetype kTellingWordLength = 3;
// A shop none of whose words was seen is weighed by its amount against each choice's amounts, as
// a normal distribution of their logarithms. Each choice's spread is at least this (about ±10 %):
// a choice whose rows all cost the same (a rent, a fee) would otherwise claim any amount near it
// beyond doubt. Its amount must lie within kAmountTypicalSpreads of the choice's, and at least
// kAmountChoices choices must have amounts to weigh against: one choice alone wins every amount.
constexpr double kAmountSpreadFloor = 0.1;
constexpr double kAmountTypicalSpreads = 2;
constexpr std::size_t kAmountChoices = 3;

struct Weighted {
    int choice = 0;
    double weight = 0;
};

} // namespace

struct CategoryMatcher::Index {
    std::vector<std::pair<QString, QString>> choices;
    struct Shop {
        std::vector<Weighted> choices;
        double total = 0;
    };
    QHash<QString, Shop> shops; // by descriptionKey
    struct Word {
        int shops = 0;                 // how many shops have it
        std::vector<Weighted> choices; // the shares of its shops' choices, summed over the shops
        // How concentrated its choices are (1 when all its shops have one choice): a word the
        // user filed under many choices (a branch's town) says little, and is weighed so that
        // it does not drown the chain's name.
        double concentration = 0;
    };
    QHash<QString, Word> words;
};

CategoryMatcher::CategoryMatcher() = default;
CategoryMatcher::~CategoryMatcher() = default;
CategoryMatcher::CategoryMatcher(CategoryMatcher&&) noexcept = default;
CategoryMatcher& CategoryMatcher::operator=(CategoryMatcher&&) noexcept = default;

void CategoryMatcher::setRules(CategoryRules rules) {
    m_rules = std::move(rules);
}

bool CategoryMatcher::isEmpty() const {
    return m_rules.isEmpty() && (!m_index || m_index->shops.isEmpty());
}

void CategoryMatcher::setLearned(std::span<const LearnedChoice> learned) {
    auto index = std::make_unique<Index>();
    QDate newest;
    if (m_halfLifeDays > 0) {
        for (const LearnedChoice& choice : learned) {
            const QDate day = QDate::fromString(choice.lastDay, Qt::ISODate);
            if (day.isValid() && (!newest.isValid() || day > newest))
                newest = day;
        }
    }
    QHash<std::pair<QString, QString>, int> choiceIds;
    for (const LearnedChoice& learnedChoice : learned) {
        if (learnedChoice.times <= 0)
            continue;
        const QString key = descriptionKey(learnedChoice.description);
        if (key.isEmpty())
            continue;
        const std::pair<QString, QString> cells(learnedChoice.cell3, learnedChoice.cell4);
        auto id = choiceIds.find(cells);
        if (id == choiceIds.end()) {
            id = choiceIds.insert(cells, static_cast<int>(index->choices.size()));
            index->choices.push_back(cells);
        }
        double weight = learnedChoice.times;
        if (newest.isValid()) {
            const QDate day = QDate::fromString(learnedChoice.lastDay, Qt::ISODate);
            if (day.isValid())
                weight *= std::exp2(-static_cast<double>(day.daysTo(newest)) / m_halfLifeDays);
        }
        Index::Shop& shop = index->shops[key];
        const auto same = std::find_if(shop.choices.begin(), shop.choices.end(),
                                       [&](const Weighted& w) { return w.choice == *id; });
        if (same != shop.choices.end())
            same->weight += weight;
        else
            shop.choices.push_back({*id, weight});
        shop.total += weight;
    }
    std::unordered_map<int, double> merged;
    for (auto shop = index->shops.cbegin(); shop != index->shops.cend(); ++shop) {
        for (const QString& word : keyWords(shop.key())) {
            Index::Word& entry = index->words[word];
            ++entry.shops;
            for (const Weighted& choice : shop->choices)
                entry.choices.push_back({choice.choice, choice.weight / shop->total});
        }
    }
    // One entry per choice in each word, so that a query walks each word's choices once.
    for (Index::Word& word : index->words) {
        merged.clear();
        for (const Weighted& choice : word.choices)
            merged[choice.choice] += choice.weight;
        word.choices.clear();
        for (const auto& [choice, weight] : merged) {
            word.choices.push_back({choice, weight / word.shops});
            word.concentration += (weight / word.shops) * (weight / word.shops);
        }
    }
    m_index = std::move(index);
}

void CategoryMatcher::setAmounts(std::span<const ChoiceAmounts> amounts) {
    m_amountChoices.clear();
    m_amountModels.clear();
    double rows = 0;
    for (const ChoiceAmounts& choice : amounts)
        rows += std::max(choice.rows, 0.0);
    for (const ChoiceAmounts& choice : amounts) {
        if (choice.rows <= 0)
            continue;
        const double mean = choice.logSum / choice.rows;
        const double variance = std::max(choice.logSquares / choice.rows - mean * mean, 0.0);
        const double spread = std::max(std::sqrt(variance), kAmountSpreadFloor);
        // The choice's share of the rows times its density's height, as a logarithm.
        m_amountModels.push_back({static_cast<int>(m_amountChoices.size()),
                                  std::log(choice.rows / rows) - std::log(spread), mean, spread});
        m_amountChoices.emplace_back(choice.cell3, choice.cell4);
    }
}

std::optional<CategoryChoice> CategoryMatcher::ruleChoice(QStringView kindId,
                                                          QStringView description) const {
    if (m_rules.isEmpty())
        return std::nullopt;
    if (auto cells = m_rules.match(kindId, foldForRules(description)))
        return CategoryChoice{std::move(cells->first), std::move(cells->second), 1.0, true};
    return std::nullopt;
}

std::optional<CategoryChoice> CategoryMatcher::guess(QStringView kindId, QStringView description,
                                                     QStringView amount) const {
    if (std::optional<CategoryChoice> rule = ruleChoice(kindId, description))
        return rule;
    if (std::optional<CategoryChoice> learned = learnedGuess(description))
        return learned;
    return knowsNoWordOf(description) ? amountGuess(amount) : std::nullopt;
}

bool CategoryMatcher::knowsNoWordOf(QStringView description) const {
    if (!m_index || m_index->shops.isEmpty())
        return false;
    const QString key = descriptionKey(description);
    if (key.isEmpty())
        return false;
    const std::vector<QString> words = keyWords(key);
    return std::none_of(words.begin(), words.end(),
                        [&](const QString& word) { return m_index->words.contains(word); });
}

std::optional<CategoryChoice> CategoryMatcher::amountGuess(QStringView amount) const {
    if (m_amountModels.size() < kAmountChoices)
        return std::nullopt;
    const std::optional<QString> yen = rules::readYen(amount.trimmed());
    const qint64 value = yen ? yen->toLongLong() : 0;
    if (value == 0)
        return std::nullopt;
    const double logAmount = std::log(std::abs(static_cast<double>(value)));
    const auto standardised = [&](const AmountModel& model) {
        return (logAmount - model.mean) / model.spread;
    };
    const auto logDensity = [&](const AmountModel& model) {
        const double z = standardised(model);
        return model.logWeight - 0.5 * z * z;
    };
    const AmountModel* best = &m_amountModels.front();
    double bestDensity = logDensity(*best);
    for (const AmountModel& model : m_amountModels) {
        const double density = logDensity(model);
        if (density > bestDensity) {
            best = &model;
            bestDensity = density;
        }
    }
    if (std::abs(standardised(*best)) > kAmountTypicalSpreads)
        return std::nullopt;
    // All choices' densities against the best's (itself 1); one far below it adds nothing a
    // double can hold, and costs no exponential.
    constexpr double kNegligible = -40;
    double all = 0;
    for (const AmountModel& model : m_amountModels) {
        const double relative = logDensity(model) - bestDensity;
        if (relative > kNegligible)
            all += std::exp(relative);
    }
    const auto& cells = m_amountChoices[static_cast<std::size_t>(best->choice)];
    return CategoryChoice{cells.first, cells.second, 1 / all, false, true};
}

std::optional<CategoryChoice> CategoryMatcher::sureAmountChoice(QStringView amount) const {
    std::optional<CategoryChoice> choice = amountGuess(amount);
    if (choice && choice->sureness < m_minimumAmountSureness)
        return std::nullopt;
    return choice;
}

std::optional<CategoryChoice> CategoryMatcher::learnedGuess(QStringView description) const {
    if (!m_index || m_index->shops.isEmpty())
        return std::nullopt;
    const QString key = descriptionKey(description);
    if (key.isEmpty())
        return std::nullopt;
    const auto chosen = [&](int choice, double sureness) {
        const auto& cells = m_index->choices[static_cast<std::size_t>(choice)];
        return CategoryChoice{cells.first, cells.second, sureness, false};
    };
    // Each word votes for the choices made for the shops that have it, a rare word more than a
    // common one; a word never seen votes for nothing but counts against every choice.
    const std::vector<QString> words = keyWords(key);
    const auto shopCount = static_cast<double>(m_index->shops.size());
    std::unordered_map<int, double> votes;
    double allWeight = 0;
    // How much of the description the known words make up, in characters (a Japanese bigram
    // stands for the one character it adds to its run).
    qsizetype knownCharacters = 0;
    qsizetype allCharacters = 0;
    // What the telling words among them say, and how sure each makes its choice: its share of
    // the word's shops, less when few shops tell it (two shops of one choice: two thirds).
    std::vector<Weighted> told;
    for (const QString& word : words) {
        const auto found = m_index->words.constFind(word);
        const int shops = found == m_index->words.cend() ? 0 : found->shops;
        double rarity = std::log1p(shopCount / (shops + 1));
        const bool latinWord =
            word.size() > 1 &&
            std::all_of(word.begin(), word.end(), [](QChar c) { return c.unicode() < 0x80; });
        const qsizetype characters = latinWord ? word.size() : 1;
        allCharacters += characters;
        if (shops == 0) {
            allWeight += rarity * kUnseenWordWeight;
            continue;
        }
        knownCharacters += characters;
        if (latinWord && word.size() >= kTellingWordLength && shops >= kTellingWordShops) {
            for (const Weighted& choice : found->choices) {
                if (choice.weight >= kTellingWordShare)
                    told.push_back({choice.choice, choice.weight * shops / (shops + 1)});
            }
        }
        rarity *= found->concentration;
        allWeight += rarity;
        for (const Weighted& choice : found->choices)
            votes[choice.choice] += rarity * choice.weight;
    }
    if (allWeight > 0) {
        for (auto& [choice, vote] : votes)
            vote /= allWeight;
    }
    // A shop seen before in this spelling: the user's own choices for it, backed by what its
    // words say as if seen m_wordEvidenceWeight more times. A shop seen once as a slip is outvoted
    // by its chain; a one-off stays unsure; a shop seen often decides by itself.
    const auto shop = m_index->shops.constFind(key);
    if (shop != m_index->shops.cend()) {
        std::unordered_map<int, double> blended;
        for (const auto& [choice, vote] : votes)
            blended[choice] = m_wordEvidenceWeight * vote;
        for (const Weighted& choice : shop->choices)
            blended[choice.choice] += choice.weight;
        for (auto& [choice, weight] : blended)
            weight /= shop->total + m_wordEvidenceWeight;
        votes = std::move(blended);
    }
    if (votes.empty())
        return std::nullopt;
    const auto best =
        std::max_element(votes.begin(), votes.end(), [](const auto& a, const auto& b) {
            return a.second < b.second || (a.second == b.second && a.first > b.first);
        });
    // A shop never seen that shares a word with one the user showed ("UNKNOWN SHOP" beside "BOOK
    // SHOP") is not known by it: most of its name must be what the user showed (a chain's name
    // beside a new branch's), or a word must tell its kind, before its guess may count as sure.
    double sureness = best->second;
    if (shop == m_index->shops.cend()) {
        double toldSureness = 0;
        for (const Weighted& word : told) {
            if (word.choice == best->first)
                toldSureness = std::max(toldSureness, word.weight);
        }
        if (toldSureness > 0)
            sureness = std::max(sureness, toldSureness);
        else if (static_cast<double>(knownCharacters) <
                 kKnownShare * static_cast<double>(allCharacters))
            sureness = std::min(sureness, kThinEvidenceSureness);
    }
    return chosen(best->first, sureness);
}

std::optional<CategoryChoice> CategoryMatcher::choose(QStringView kindId, QStringView description,
                                                      QStringView amount) const {
    if (std::optional<CategoryChoice> rule = ruleChoice(kindId, description))
        return rule;
    if (std::optional<CategoryChoice> learned = sureLearnedChoice(description))
        return learned;
    return knowsNoWordOf(description) ? sureAmountChoice(amount) : std::nullopt;
}

std::optional<CategoryChoice> CategoryMatcher::sureLearnedChoice(QStringView description) const {
    std::optional<CategoryChoice> choice = learnedGuess(description);
    if (choice && choice->sureness < m_minimumSureness)
        return std::nullopt;
    return choice;
}

CategoryChooser::CategoryChooser(const CategoryMatcher& matcher, QStringView kindId)
    : m_matcher(matcher), m_kindId(kindId.toString()), m_rules(!matcher.m_rules.isEmpty()) {}

std::optional<CategoryChoice> CategoryChooser::choose(QStringView description, QStringView amount) {
    const CategoryChoice* choice = chooseShared(description, amount);
    return choice != nullptr ? std::optional<CategoryChoice>(*choice) : std::nullopt;
}

const CategoryChoice* CategoryChooser::chooseShared(QStringView description, QStringView amount) {
    if (m_rules) {
        auto ruled = m_ruled.find(description);
        if (ruled == m_ruled.end())
            ruled =
                m_ruled.emplace(description.toString(), m_matcher.ruleChoice(m_kindId, description))
                    .first;
        if (ruled->second)
            return &*ruled->second;
    }
    // Digit runs part words as blanks do and are no part of a shop's key: the description with
    // each run as one blank has the same key, and the same learned choice.
    spellingWithoutDigits(description, m_shop);
    auto known = m_learned.find(QStringView(m_shop));
    if (known == m_learned.end()) {
        Learned learned{m_matcher.sureLearnedChoice(description), false};
        learned.noWordKnown = !learned.choice && m_matcher.knowsNoWordOf(description);
        known = m_learned.emplace(m_shop, std::move(learned)).first;
    }
    if (known->second.choice)
        return &*known->second.choice;
    if (!known->second.noWordKnown)
        return nullptr;
    // Each row's own amount decides: a few steps per choice that has amounts.
    std::optional<CategoryChoice> byAmount = m_matcher.sureAmountChoice(amount);
    if (!byAmount)
        return nullptr;
    return &m_amountChoices.emplace_back(std::move(*byAmount));
}

FillCounts CategoryMatcher::fillRows(QStringView kindId, std::span<QStringList> rows) const {
    FillCounts counts;
    if (isEmpty())
        return counts;
    CategoryChooser chooser(*this, kindId);
    for (QStringList& row : rows) {
        if (row.size() < 5 || !row[2].isEmpty() || !row[3].isEmpty())
            continue;
        if (std::optional<CategoryChoice> choice = chooser.choose(row[1], row[4])) {
            row[2] = std::move(choice->cell3);
            row[3] = std::move(choice->cell4);
            ++counts.filled;
        } else {
            ++counts.unsure;
        }
    }
    return counts;
}

QString CategoryMatcher::fillText(QStringView kindId, QStringView text, FillCounts* counts) const {
    FillCounts local;
    FillCounts& sum = counts != nullptr ? *counts : local;
    if (isEmpty())
        return text.toString();
    CategoryChooser chooser(*this, kindId);
    QString out;
    out.reserve(text.size() + text.size() / 8);
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        const bool last = end < 0;
        if (last)
            end = text.size();
        const QStringView line = text.sliced(start, end - start);
        bool filled = false;
        if (line.count(u'\t') >= 4) {
            QStringList cells = sheetCells(line);
            if (cells[2].isEmpty() && cells[3].isEmpty() && rules::readDate(cells[0].trimmed()) &&
                rules::readYen(cells[4].trimmed())) {
                // Only the two empty cells after the second TAB change; quotes around an empty
                // cell make it no empty cell to write into.
                const qsizetype second = line.indexOf(u'\t', line.indexOf(u'\t') + 1);
                const bool bare = line[second + 1] == u'\t' && line[second + 2] == u'\t';
                std::optional<CategoryChoice> choice;
                if (bare)
                    choice = chooser.choose(cells[1].trimmed(), cells[4]);
                if (!bare) {
                    // Not the empty cells filling writes into: the user's row.
                } else if (choice) {
                    out += line.first(second + 1);
                    out += choice->cell3;
                    out += u'\t';
                    out += choice->cell4;
                    out += line.sliced(second + 2);
                    ++sum.filled;
                    filled = true;
                } else {
                    ++sum.unsure;
                }
            }
        }
        if (!filled)
            out += line;
        if (last)
            break;
        out += u'\n';
        start = end + 1;
    }
    return out;
}

} // namespace tallemo::categories
