#pragma once

#include "rules/RulesKind.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace re2 {
class RE2;
}

namespace tallemo::categories {

// The user's rules file, categories.toml: [[rule]] tables, each with
//   match = "パターン"        RE2, case-insensitive, searched in the folded description
//   cells = ["食費", "外食"]  the texts of cells 3 and 4
//   kinds = ["card", "view"]  optional: only for rows of these kinds
// The first rule that matches wins.
class CategoryRules {
public:
    struct Rule;

    CategoryRules();
    ~CategoryRules();
    CategoryRules(CategoryRules&& other) noexcept;
    CategoryRules& operator=(CategoryRules&& other) noexcept;
    CategoryRules(const CategoryRules&) = delete;
    CategoryRules& operator=(const CategoryRules&) = delete;

    bool isEmpty() const { return m_rules.empty(); }
    std::size_t size() const { return m_rules.size(); }

    // The cells of the first rule for the kind that matches the description, already folded
    // (foldForRules).
    std::optional<std::pair<QString, QString>> match(QStringView kindId,
                                                     const QString& foldedDescription) const;

private:
    friend std::variant<CategoryRules, rules::RulesProblem>
    readCategoryRules(const QString& path, const QByteArray& contents);
    std::vector<std::unique_ptr<Rule>> m_rules;
};

// Reads the rules file at path, whose contents are given; its problems as the kinds' files say
// theirs (file:line:column, Japanese).
std::variant<CategoryRules, rules::RulesProblem> readCategoryRules(const QString& path,
                                                                   const QByteArray& contents);
// The same, reading the file; a missing file is no rules at all.
std::variant<CategoryRules, rules::RulesProblem> readCategoryRulesFile(const QString& path);

// What 分類の規則を開く writes when there is no file yet: an example, commented out.
QByteArray categoryRulesTemplate();

} // namespace tallemo::categories
