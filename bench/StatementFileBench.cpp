// Statement files: decoding Shift_JIS (Windows-31J) and UTF-8 with a mark as the window and the
// companion decode a CSV download, and the shipped comma-separated kinds converting 300,000
// lines. Figures only; compare-with-script.py times the companion against Python's csv module.
#include "files/StatementDecoding.h"
#include "rules/RulesKind.h"
#include "text/LineModel.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QStringEncoder>

namespace {

using namespace tallemo;

StatementKind shippedCsvKind(const char* id) {
    const QString path = QStringLiteral(TALLEMO_SHIPPED_KINDS_DIR "/") + QString::fromLatin1(id) +
                         QStringLiteral(".toml");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    rules::RulesKindOrProblem read = rules::readRulesKind(path, file.readAll(), {});
    if (const auto* problem = std::get_if<rules::RulesProblem>(&read))
        qFatal("%s", qPrintable(problem->toString()));
    return std::get<StatementKind>(std::move(read));
}

// The VISA group's CSV: a holder line before every 50 usages, Japanese shop names.
QString vpassText(int entries) {
    const QString shops[] = {
        QStringLiteral("セブン－イレブン"), QStringLiteral("ＡＭＡＺＯＮ．ＣＯ．ＪＰ"),
        QStringLiteral("㈱ニホンコウクウ　①"), QStringLiteral("ファミリーマート／ｉＤ")};
    QString text;
    for (int i = 0; i < entries; ++i) {
        if (i % 50 == 0)
            text += QStringLiteral("山田　太郎　様,4980-00**-****-1234,ＶＩＳＡ\r\n");
        const int amount = 100 + (i * 37) % 90000;
        text += QStringLiteral("2024/%1/%2,%3,%4,１,１,%4,\r\n")
                    .arg(1 + i % 12)
                    .arg(1 + i % 28)
                    .arg(shops[i % 4])
                    .arg(amount);
    }
    return text + QStringLiteral(",,,,,123456\r\n");
}

// The card company's CSV: every field quoted, a foreign usage's extra line every tenth.
QString cardCsvText(int entries) {
    QString text = QStringLiteral(
        "\"利用日\",\"利用店名・商品名\",\"利用者\",\"支払方法\",\"利用金額\",\"支払手数料\","
        "\"支払総額\",\"7月支払金額\",\"8月繰越残高\",\"新規サイン\"\r\n");
    for (int i = 0; i < entries; ++i) {
        const int amount = 100 + (i * 37) % 90000;
        text += QStringLiteral("\"2024/%1/%2\",\"ｾﾌﾞﾝｲﾚﾌﾞﾝ %3, \"\"A\"\"\",\"本人\",\"1回払い\","
                               "\"%4\",\"0\",\"%4\",\"%4\",\"0\",\"*\"\r\n")
                    .arg(1 + i % 12)
                    .arg(1 + i % 28)
                    .arg(i)
                    .arg(amount);
        if (i % 10 == 9)
            text += QStringLiteral(
                "\"\",\"現地利用額 10.00 USD 換算レート 152.300\",\"\",\"\",\"\",\"\",\"\",\"\","
                "\"\",\"\"\r\n");
    }
    return text;
}

void decode(benchmark::State& state, const QByteArray& bytes) {
    for (auto _ : state) {
        auto decoded = decodeStatement(bytes);
        benchmark::DoNotOptimize(decoded);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void decodeShiftJis(benchmark::State& state) {
    decode(state,
           QStringEncoder("windows-31j").encode(vpassText(static_cast<int>(state.range(0)))));
}
BENCHMARK(decodeShiftJis)->Arg(300000)->Unit(benchmark::kMillisecond);

void decodeUtf8WithMark(benchmark::State& state) {
    decode(state, "\xEF\xBB\xBF" + cardCsvText(static_cast<int>(state.range(0))).toUtf8());
}
BENCHMARK(decodeUtf8WithMark)->Arg(300000)->Unit(benchmark::kMillisecond);

// A shipped comma-separated kind on the text of a file, as the window converts it.
void convertCsv(benchmark::State& state, const char* id, const QString& text) {
    const StatementKind kind = shippedCsvKind(id);
    qsizetype rowCount = 0;
    for (auto _ : state) {
        LineModel Lines = LineModel::fromPastedText(text);
        std::optional<OutputList> rows = kind.convert(Lines, ConvertContext{});
        benchmark::DoNotOptimize(rows);
        rowCount = rows ? rows->count() : 0;
    }
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
    state.counters["rows"] = static_cast<double>(rowCount);
}

void convertVpassCsv(benchmark::State& state) {
    convertCsv(state, "vpass-csv", vpassText(static_cast<int>(state.range(0))));
}
BENCHMARK(convertVpassCsv)->Arg(300000)->Unit(benchmark::kMillisecond);

void convertCardCsv(benchmark::State& state) {
    convertCsv(state, "card-csv", cardCsvText(static_cast<int>(state.range(0))));
}
BENCHMARK(convertCardCsv)->Arg(300000)->Unit(benchmark::kMillisecond);

} // namespace
