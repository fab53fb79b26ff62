#include "rules/CellTemplate.h"

#include "text/LineModel.h"

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
    return !isZeroYen(trimmed);
}

RowLayout layoutOf(const std::vector<CellTemplate>& cells) {
    RowLayout layout{-1, -1, -1, -1, static_cast<int>(cells.size())};
    const auto hasFilter = [](const CellTemplate& cell, std::initializer_list<CellFilter> wanted) {
        return std::any_of(cell.begin(), cell.end(), [&](const CellPart& part) {
            return std::any_of(part.choices.begin(), part.choices.end(), [&](const FieldUse& use) {
                return std::any_of(use.filters.begin(), use.filters.end(), [&](CellFilter f) {
                    return std::find(wanted.begin(), wanted.end(), f) != wanted.end();
                });
            });
        });
    };
    const auto takesField = [](const CellTemplate& cell) {
        return std::any_of(cell.begin(), cell.end(),
                           [](const CellPart& part) { return !part.choices.empty(); });
    };
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const int index = static_cast<int>(c);
        if (layout.date < 0 && hasFilter(cells[c], {CellFilter::Date}))
            layout.date = index;
        else if (layout.amount < 0 && hasFilter(cells[c], {CellFilter::Yen, CellFilter::Neg}))
            layout.amount = index;
        else if (layout.description < 0 && takesField(cells[c]))
            layout.description = index;
    }
    const auto isEmpty = [](const CellTemplate& cell) {
        return std::all_of(cell.begin(), cell.end(), [](const CellPart& part) {
            return part.choices.empty() && part.literal.isEmpty();
        });
    };
    if (cells.size() >= 4 && isEmpty(cells[2]) && isEmpty(cells[3]))
        layout.userCells = 2;
    return layout;
}

std::optional<OutputList> rowsReplacingTheText(OutputList SL, LineModel& Lines,
                                               const ConvertContext& context) {
    if (SL.count() == 0)
        return std::nullopt;
    if (context.rowsSink == nullptr) {
        Lines.setText(SL.text());
        SL.rowsMakeTheWholeText();
    }
    return SL;
}

} // namespace tallemo::rules
