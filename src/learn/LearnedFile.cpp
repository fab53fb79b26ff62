#include "learn/LearnedFile.h"

#include "text/LineModel.h"

#include <algorithm>

namespace tallemo::learn::detail {

QString tomlString(const QString& text) {
    const bool literalFits = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c == u'\'' || c.unicode() < 0x20 || c.unicode() == 0x7F;
    });
    if (literalFits)
        return u'\'' + text + u'\'';
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += u'\\' + QString(c);
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + u'"';
}

QString cellTemplateText(const QString& literal) {
    QString out = literal;
    return out.replace(u'{', QStringLiteral("{{")).replace(u'}', QStringLiteral("}}"));
}

std::variant<StatementKind, QString> loadLearned(const QString& id, const QString& text) {
    rules::RulesKindOrProblem read = rules::readRulesKind(
        QStringLiteral("/learned/") + id + QStringLiteral(".toml"), text.toUtf8(), {});
    if (auto* problem = std::get_if<rules::RulesProblem>(&read))
        return QStringLiteral("例から書式を作れませんでした（%1）").arg(problem->text);
    return std::get<StatementKind>(std::move(read));
}

void recordScan(const rules::RulesScan& scan, const LineModel& statement, LearnedKind& learned) {
    learned.entries = static_cast<int>(scan.entries.size());
    for (const rules::RulesScan::Entry& entry : scan.entries) {
        if (entry.skipped)
            learned.skippedEntries.push_back(entry.firstLine);
        else
            learned.rows.push_back(entry.cells);
    }
    for (const rules::RulesScan::NearMiss& nearMiss : scan.nearMisses) {
        learned.unmatchedStarts.push_back(nearMiss.line);
        learned.nearMisses << rules::nearMissText(nearMiss, statement);
    }
}

} // namespace tallemo::learn::detail
