// The matcher's best guess for each row of a file, with how sure it is, after learning the rows
// of another file through the categories store, for the quality benchmark
// (bench/categories/quality.py).
//
//   tallemo-category-guess LEARN_ROWS QUERY_ROWS [HALF_LIFE_DAYS [WORD_EVIDENCE_WEIGHT]]
//
// Prints one line per line of QUERY_ROWS: CELL3 TAB CELL4 TAB SURENESS TAB words|amount (what the
// guess rests on: the two have thresholds of their own), or two empty cells, 0 and words where
// there is no guess at all.
#include "categories/CategoryMatcher.h"
#include "categories/CategoryStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace tallemo::categories;
    const QCoreApplication application(argc, argv);
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr,
                     "usage: tallemo-category-guess LEARN_ROWS QUERY_ROWS [HALF_LIFE [PRIOR]]\n");
        return 2;
    }
    const QTemporaryDir folder;
    CategoryStore store(folder.filePath(QStringLiteral("categories.sqlite")), nullptr);
    if (!store.learn(readSheet(readText(QString::fromLocal8Bit(argv[1]))))) {
        std::fprintf(stderr, "%s\n", store.notices().join(u'\n').toUtf8().constData());
        return 1;
    }
    CategoryMatcher matcher;
    if (argc >= 4)
        matcher.setHalfLifeDays(QByteArray(argv[3]).toDouble());
    if (argc >= 5)
        matcher.setWordEvidenceWeight(QByteArray(argv[4]).toDouble());
    matcher.setLearned(store.choices().value_or(std::vector<LearnedChoice>{}));
    matcher.setAmounts(store.amounts().value_or(std::vector<ChoiceAmounts>{}));
    const QString queries = readText(QString::fromLocal8Bit(argv[2]));
    QTextStream out(stdout);
    for (const QStringView line : QStringView(queries).split(u'\n')) {
        if (line.isEmpty())
            continue;
        const QStringList cells = sheetCells(line);
        const std::optional<CategoryChoice> guess =
            cells.size() > 4 ? matcher.guess(u"card", cells[1].trimmed(), cells[4]) : std::nullopt;
        if (guess)
            out << guess->cell3 << '\t' << guess->cell4 << '\t' << guess->sureness << '\t'
                << (guess->fromAmount ? "amount" : "words") << '\n';
        else
            out << "\t\t0\twords\n";
    }
    return 0;
}
