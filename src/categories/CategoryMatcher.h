#pragma once

#include "categories/CategoryRules.h"

#include <QHash>
#include <QHashFunctions>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tallemo::categories {

// One description and one choice of cells the user made for it, as the store sums them up.
struct LearnedChoice {
    QString description;
    QString cell3;
    QString cell4;
    int times = 0;
    QString lastDay; // yyyy-MM-dd
};

// The amounts of the rows the user filed under one choice, as logarithms of yen.
struct ChoiceAmounts {
    QString cell3;
    QString cell4;
    double rows = 0;
    double logSum = 0;
    double logSquares = 0;
};

// The cells for a row, and how sure the matcher is of them (1 for a rule).
struct CategoryChoice {
    QString cell3;
    QString cell4;
    double sureness = 0;
    bool fromRule = false;
    bool fromAmount = false; // a shop none of whose words was seen, known by its amount
};

// What filling did to a batch of rows.
struct FillCounts {
    int filled = 0; // rows that got their cells
    int unsure = 0; // rows left empty because no choice was sure enough
};

// Below this, a guess is left out: a wrong category hides among right ones and costs the user
// more than an empty pair of cells. This and the two below were chosen on the learning months
// of the quality benchmark (bench/categories/quality.py).
inline constexpr double kDefaultMinimumSureness = 0.55;
inline constexpr double kDefaultHalfLifeDays = 90;
inline constexpr double kDefaultWordEvidenceWeight = 4;
// A shop none of whose words the user ever showed is known by its amount alone only when the
// amount all but rules out every other choice: the amounts of one kind of shop spread widely.
inline constexpr double kDefaultMinimumAmountSureness = 0.9;

// Chooses the two cells of a row from its description: the user's rules first, then what was
// learned. A description whose shop was seen before gives its choice when the user was
// consistent; another one is weighed word by word against every choice, each word by how rare it
// is among the learned shops; one none of whose words was ever seen, by its amount against the
// amounts of every choice.
class CategoryMatcher {
public:
    CategoryMatcher();
    ~CategoryMatcher();
    CategoryMatcher(CategoryMatcher&& other) noexcept;
    CategoryMatcher& operator=(CategoryMatcher&& other) noexcept;
    CategoryMatcher(const CategoryMatcher&) = delete;
    CategoryMatcher& operator=(const CategoryMatcher&) = delete;

    void setRules(CategoryRules rules);
    // Replaces what was learned.
    void setLearned(std::span<const LearnedChoice> learned);
    // Replaces the amounts learned per choice.
    void setAmounts(std::span<const ChoiceAmounts> amounts);
    void setMinimumAmountSureness(double sureness) { m_minimumAmountSureness = sureness; }
    void setMinimumSureness(double sureness) { m_minimumSureness = sureness; }
    // Days after which an old choice weighs half as much as a new one (0: never), so that the
    // user's latest choice for a shop wins over one they gave up. Takes effect with setLearned.
    void setHalfLifeDays(double days) { m_halfLifeDays = days; }
    // As how many sightings of a known shop its words' evidence counts: a shop seen once may have
    // been a slip or a one-off, and its chain's other branches say which.
    void setWordEvidenceWeight(double prior) { m_wordEvidenceWeight = prior; }

    // Nothing learned and no rules: filling changes nothing.
    bool isEmpty() const;

    // The sure choice, or nothing. The amount is the row's amount cell as written (empty when
    // there is none).
    std::optional<CategoryChoice> choose(QStringView kindId, QStringView description,
                                         QStringView amount = {}) const;
    // The best choice however unsure (for measuring the thresholds).
    std::optional<CategoryChoice> guess(QStringView kindId, QStringView description,
                                        QStringView amount = {}) const;

    // Rows as cells: date, description, cell 3, cell 4, amount, …. A row whose cells 3 and 4 are
    // both empty gets them where the choice is sure; nothing else changes.
    FillCounts fillRows(QStringView kindId, std::span<QStringList> rows) const;
    // The same on TAB-separated rows of text: every line that is no such row, and every row that
    // is not filled, stays as it is, byte for byte.
    QString fillText(QStringView kindId, QStringView text, FillCounts* counts = nullptr) const;

private:
    friend class CategoryChooser;
    struct Index;

    std::optional<CategoryChoice> ruleChoice(QStringView kindId, QStringView description) const;
    std::optional<CategoryChoice> learnedGuess(QStringView description) const;
    std::optional<CategoryChoice> sureLearnedChoice(QStringView description) const;
    // Something was learned, but no word of the description was among it.
    bool knowsNoWordOf(QStringView description) const;
    std::optional<CategoryChoice> amountGuess(QStringView amount) const;
    std::optional<CategoryChoice> sureAmountChoice(QStringView amount) const;

    struct AmountModel {
        int choice = 0;       // into m_amountChoices
        double logWeight = 0; // log(share of the rows / spread)
        double mean = 0;
        double spread = 0;
    };

    CategoryRules m_rules;
    std::unique_ptr<Index> m_index;
    double m_minimumSureness = kDefaultMinimumSureness;
    double m_halfLifeDays = kDefaultHalfLifeDays;
    double m_wordEvidenceWeight = kDefaultWordEvidenceWeight;
    std::vector<std::pair<QString, QString>> m_amountChoices;
    std::vector<AmountModel> m_amountModels;
    double m_minimumAmountSureness = kDefaultMinimumAmountSureness;
};

// Chooses the cells of many rows of one kind, as CategoryMatcher::choose does, but works out each
// choice once: a statement names the same shops again and again. The learned choice is kept by
// the description's spelling without its digits (store numbers say nothing of the choice); the
// rules, which see every description whole, by the description itself.
class CategoryChooser {
public:
    CategoryChooser(const CategoryMatcher& matcher, QStringView kindId);

    std::optional<CategoryChoice> choose(QStringView description, QStringView amount = {});
    // The same without copying the cells: null when no choice is sure; valid as long as the
    // chooser.
    const CategoryChoice* chooseShared(QStringView description, QStringView amount = {});

private:
    // Looks a QString key up by a QStringView, without making a string of it.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(QStringView text) const noexcept { return qHash(text); }
    };
    using Decisions =
        std::unordered_map<QString, std::optional<CategoryChoice>, TextHash, std::equal_to<>>;
    struct Learned {
        std::optional<CategoryChoice> choice;
        bool noWordKnown = false; // then each row's amount may tell
    };

    const CategoryMatcher& m_matcher;
    QString m_kindId;
    bool m_rules = false;
    Decisions m_ruled; // by description: the rule's choice, or none when no rule matches
    std::unordered_map<QString, Learned, TextHash, std::equal_to<>>
        m_learned; // by description without digits
    QString m_shop;
    // The choices made by rows' amounts, each kept for as long as the chooser lends it.
    std::deque<CategoryChoice> m_amountChoices;
};

} // namespace tallemo::categories
