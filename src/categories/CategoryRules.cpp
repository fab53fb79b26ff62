#include "categories/CategoryRules.h"

#include <QFile>
#include <QFileInfo>

#include <re2/re2.h>
#include <toml++/toml.h>

namespace tallemo::categories {

struct CategoryRules::Rule {
    std::unique_ptr<re2::RE2> pattern;
    QString cell3;
    QString cell4;
    QStringList kinds; // every kind when empty
};

CategoryRules::CategoryRules() = default;
CategoryRules::~CategoryRules() = default;
CategoryRules::CategoryRules(CategoryRules&&) noexcept = default;
CategoryRules& CategoryRules::operator=(CategoryRules&&) noexcept = default;

std::optional<std::pair<QString, QString>>
CategoryRules::match(QStringView kindId, const QString& foldedDescription) const {
    if (m_rules.empty())
        return std::nullopt;
    const QByteArray text = foldedDescription.toUtf8();
    const std::string_view view(text.constData(), static_cast<std::size_t>(text.size()));
    for (const auto& rule : m_rules) {
        if (!rule->kinds.isEmpty() && !rule->kinds.contains(kindId))
            continue;
        if (re2::RE2::PartialMatch(view, *rule->pattern))
            return std::pair(rule->cell3, rule->cell4);
    }
    return std::nullopt;
}

namespace {

rules::RulesProblem problemAt(const QString& path, const toml::node& node, const QString& text) {
    const toml::source_position begin = node.source().begin;
    return {path, static_cast<int>(begin.line), static_cast<int>(begin.column), text};
}

} // namespace

std::variant<CategoryRules, rules::RulesProblem> readCategoryRules(const QString& path,
                                                                   const QByteArray& contents) {
    using rules::RulesProblem;
    if (contents.size() > rules::kMaxFileSize)
        return RulesProblem{path, 0, 0,
                            QStringLiteral("ファイルが大きすぎます（%1 KiB まで）")
                                .arg(rules::kMaxFileSize / 1024)};
    std::variant<std::string, RulesProblem> shielded = rules::shieldedForTomlReader(path, contents);
    if (auto* problem = std::get_if<RulesProblem>(&shielded))
        return std::move(*problem);
    toml::table table;
    try {
        table = toml::parse(std::string_view(std::get<std::string>(shielded)), path.toStdString());
    } catch (const toml::parse_error& error) {
        const toml::source_position begin = error.source().begin;
        return RulesProblem{path, static_cast<int>(begin.line), static_cast<int>(begin.column),
                            QStringLiteral("TOML として読めません: %1")
                                .arg(rules::textFromTomlReader(error.description()))};
    }
    CategoryRules read;
    for (const auto& [key, node] : table) {
        if (key.str() != "rule")
            return problemAt(path, node,
                             QStringLiteral("知らないキー %1 です（使えるのは [[rule]]）")
                                 .arg(rules::textFromTomlReader(key.str())));
    }
    const toml::node* rulesNode = table.get("rule");
    if (rulesNode == nullptr)
        return read;
    const toml::array* ruleArray = rulesNode->as_array();
    if (ruleArray == nullptr)
        return problemAt(path, *rulesNode, QStringLiteral("rule は [[rule]] の表の並びで書きます"));
    for (const toml::node& ruleNode : *ruleArray) {
        const toml::table* ruleTable = ruleNode.as_table();
        if (ruleTable == nullptr)
            return problemAt(path, ruleNode,
                             QStringLiteral("rule は [[rule]] の表の並びで書きます"));
        for (const auto& [key, node] : *ruleTable) {
            if (key.str() != "match" && key.str() != "cells" && key.str() != "kinds")
                return problemAt(path, node,
                                 QStringLiteral("知らないキー %1 です（使えるのは match, cells, "
                                                "kinds）")
                                     .arg(rules::textFromTomlReader(key.str())));
        }
        auto rule = std::make_unique<CategoryRules::Rule>();
        const toml::node* matchNode = ruleTable->get("match");
        if (matchNode == nullptr)
            return problemAt(path, ruleNode, QStringLiteral("match（説明のパターン）がありません"));
        if (!matchNode->is_string())
            return problemAt(path, *matchNode,
                             QStringLiteral("match は文字列で書きます（'…' の中では \\ が"
                                            "そのまま残ります）"));
        // The pattern itself is left as written: folding it could turn a full-width bracket
        // the user meant as a character into regular-expression syntax.
        const QString patternText = rules::textFromTomlReader(matchNode->as_string()->get());
        re2::RE2::Options options;
        options.set_log_errors(false);
        options.set_case_sensitive(false);
        options.set_max_mem(rules::kMaxPatternMemory);
        rule->pattern = std::make_unique<re2::RE2>(patternText.toStdString(), options);
        if (!rule->pattern->ok())
            return problemAt(path, *matchNode,
                             (rule->pattern->error_code() == re2::RE2::ErrorPatternTooLarge
                                  ? QStringLiteral("パターンが大きすぎます: %1")
                                  : QStringLiteral("パターンを読めません: %1"))
                                 .arg(rules::textFromTomlReader(rule->pattern->error())));
        const toml::node* cellsNode = ruleTable->get("cells");
        if (cellsNode == nullptr)
            return problemAt(path, ruleNode,
                             QStringLiteral("cells（入れる 2 つの欄）がありません"));
        const toml::array* cells = cellsNode->as_array();
        if (cells == nullptr || cells->size() != 2 || !cells->get(0)->is_string() ||
            !cells->get(1)->is_string())
            return problemAt(
                path, *cellsNode,
                QStringLiteral("cells は 2 つの文字列で書きます: [\"食費\", \"外食\"]"));
        rule->cell3 = rules::textFromTomlReader(cells->get(0)->as_string()->get()).trimmed();
        rule->cell4 = rules::textFromTomlReader(cells->get(1)->as_string()->get()).trimmed();
        // A TAB or a line break would shift the row's cells.
        for (QString* cell : {&rule->cell3, &rule->cell4}) {
            if (cell->contains(u'\t') || cell->contains(u'\n') || cell->contains(u'\r'))
                return problemAt(path, *cellsNode,
                                 QStringLiteral("cells の文字列にタブや改行は使えません"));
        }
        if (rule->cell3.isEmpty() && rule->cell4.isEmpty())
            return problemAt(path, *cellsNode, QStringLiteral("cells が 2 つとも空です"));
        if (const toml::node* kindsNode = ruleTable->get("kinds")) {
            const toml::array* kinds = kindsNode->as_array();
            if (kinds == nullptr || kinds->empty())
                return problemAt(path, *kindsNode,
                                 QStringLiteral("kinds は種類の id の並びで書きます: [\"card\"]"));
            for (const toml::node& kind : *kinds) {
                if (!kind.is_string())
                    return problemAt(path, kind,
                                     QStringLiteral("kinds は種類の id の並びで書きます: "
                                                    "[\"card\"]"));
                rule->kinds << rules::textFromTomlReader(kind.as_string()->get());
            }
        }
        read.m_rules.push_back(std::move(rule));
    }
    return read;
}

std::variant<CategoryRules, rules::RulesProblem> readCategoryRulesFile(const QString& path) {
    if (!QFileInfo::exists(path))
        return CategoryRules();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return rules::RulesProblem{
            path, 0, 0, QStringLiteral("ファイルを読めません: %1").arg(file.errorString())};
    // One byte more than allowed is enough to tell a file that is too large.
    return readCategoryRules(path, file.read(rules::kMaxFileSize + 1));
}

QByteArray categoryRulesTemplate() {
    return QStringLiteral(
               "# Tallemo の分類の規則。上から順に調べ、最初に合った規則の 2 つの欄を入れます。\n"
               "# 覚えた分類より先に使われます。# を外すと使えます。\n"
               "#\n"
               "# match: 説明に含まれるパターン（RE2。大文字と小文字、全角と半角は区別しません）\n"
               "# cells: 3 列目と 4 列目に入れる文字\n"
               "# kinds: この種類の行だけ（省くとすべての種類）\n"
               "\n"
               "# [[rule]]\n"
               "# match = 'amazon|アマゾン'\n"
               "# cells = [\"日用品\", \"通販\"]\n"
               "#\n"
               "# [[rule]]\n"
               "# match = '^(ローソン|ファミリーマート|セブン)'\n"
               "# cells = [\"食費\", \"コンビニ\"]\n"
               "# kinds = [\"card\", \"view\"]\n")
        .toUtf8();
}

} // namespace tallemo::categories
