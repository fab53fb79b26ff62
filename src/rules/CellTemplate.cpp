#include "rules/CellTemplate.h"

namespace tallemo::rules {

std::variant<CellTemplate, QString> parseCellTemplate(const QString& text,
                                                      const FieldResolver& resolve) {
    CellTemplate parts;
    QString literal;
    const auto flushLiteral = [&] {
        if (!literal.isEmpty())
            parts.push_back({literal, {}});
        literal.clear();
    };
    for (qsizetype k = 0; k < text.size(); ++k) {
        const QChar c = text[k];
        if (c == u'}') {
            if (k + 1 < text.size() && text[k + 1] == u'}') {
                literal += u'}';
                ++k;
                continue;
            }
            return QStringLiteral(
                "「}」に対応する「{」がありません（「}」そのものは「}}」と書きます）");
        }
        if (c != u'{') {
            literal += c;
            continue;
        }
        if (k + 1 < text.size() && text[k + 1] == u'{') {
            literal += u'{';
            ++k;
            continue;
        }
        const qsizetype close = text.indexOf(u'}', k + 1);
        if (close < 0)
            return QStringLiteral(
                "「{」が「}」で閉じられていません（「{」そのものは「{{」と書きます）");
        CellPart part;
        for (const QString& choice : text.mid(k + 1, close - k - 1).split(u';')) {
            const QStringList pieces = choice.split(u'|');
            std::variant<int, QString> field = resolve(pieces.front().trimmed());
            if (const auto* problem = std::get_if<QString>(&field))
                return *problem;
            FieldUse use{std::get<int>(field), {}};
            for (qsizetype f = 1; f < pieces.size(); ++f) {
                const QString filterName = pieces[f].trimmed();
                const std::optional<CellFilter> filter = cellFilterNamed(filterName);
                if (!filter)
                    return QStringLiteral("知らないフィルター「%1」です（使えるのは %2）")
                        .arg(filterName, cellFilterNames());
                use.filters.push_back(*filter);
            }
            part.choices.push_back(std::move(use));
        }
        flushLiteral();
        parts.push_back(std::move(part));
        k = close;
    }
    flushLiteral();
    return parts;
}

bool holdsAmount(QStringView value) {
    const QStringView trimmed = value.trimmed();
    if (trimmed.isEmpty() || trimmed == u"-" || trimmed == u"－" || trimmed == u"−")
        return false;
    const std::optional<QString> yen = readYen(trimmed);
    return !(yen && *yen == u"0");
}

} // namespace tallemo::rules
