#include "cli/ConvertCommand.h"

#include "converters/CardStatement.h"
#include "converters/CoopStatement.h"
#include "converters/DomesticDividends.h"
#include "converters/ForeignDividends.h"
#include "converters/ViewCard.h"
#include "rates/ExchangeRates.h"
#include "rates/QtHttpTransport.h"
#include "settings/IniSettings.h"
#include "settings/SettingsLocation.h"
#include "text/AppError.h"
#include "text/Clipboard.h"
#include "text/LineModel.h"
#include "text/NumberText.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
#include <variant>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace tallemo {

namespace {

const QString kProgram = QStringLiteral("tallemo-convert");

enum class Kind { Card, Domestic, Foreign, View, Coop };

struct Options {
    bool help = false;
    Kind kind = Kind::Card;
    QString file; // empty or "-": standard input
    std::optional<QString> areaFile;
    std::optional<QString> date;
    std::optional<double> rate;
    std::optional<bool> remark;
};

struct UsageError {
    QString message;
};

std::optional<Kind> kindNamed(const QString& name) {
    static const std::pair<const char*, Kind> kinds[] = {
        {"card", Kind::Card}, {"domestic", Kind::Domestic}, {"foreign", Kind::Foreign},
        {"view", Kind::View}, {"coop", Kind::Coop},
    };
    for (const auto& [text, kind] : kinds) {
        if (name == QLatin1String(text))
            return kind;
    }
    return std::nullopt;
}

// A rate as the user types it: always with "." whatever the regional settings, and a usable
// number of yen, so a typing slip cannot turn into rows of zero or infinite yen.
std::optional<double> parseRate(const QString& text) {
    try {
        const double rate = DecimalTextToFloat(text, QStringLiteral("."));
        if (std::isfinite(rate) && rate > 0)
            return rate;
    } catch (const AppError&) {
    }
    return std::nullopt;
}

// The date text becomes a cell of every row: a TAB or a line break in it would shift or split
// the rows.
bool isUsableDateText(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QChar(0x2028) || c == QChar(0x2029))
            return false;
    }
    return true;
}

std::variant<Options, UsageError> parseArguments(const QStringList& arguments) {
    Options options;
    QStringList positional;
    bool optionsEnded = false;

    for (qsizetype k = 0; k < arguments.size(); ++k) {
        const QString& argument = arguments[k];
        if (optionsEnded || argument == QLatin1String("-") ||
            !argument.startsWith(QLatin1Char('-'))) {
            positional.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }

        QString name = argument;
        std::optional<QString> attached;
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && equals > 2) {
            name = argument.left(equals);
            attached = argument.mid(equals + 1);
        }

        const bool takesValue = name == QLatin1String("--area") ||
                                name == QLatin1String("--date") || name == QLatin1String("--rate");
        const bool isSwitch = name == QLatin1String("--help") || name == QLatin1String("-h") ||
                              name == QLatin1String("--remark") ||
                              name == QLatin1String("--no-remark");
        if (!takesValue && !isSwitch)
            return UsageError{QStringLiteral("unknown option '%1'").arg(argument)};
        if (isSwitch && attached)
            return UsageError{QStringLiteral("option '%1' takes no value").arg(name)};

        if (isSwitch) {
            if (name == QLatin1String("--remark"))
                options.remark = true;
            else if (name == QLatin1String("--no-remark"))
                options.remark = false;
            else
                options.help = true;
            continue;
        }

        QString value;
        if (attached) {
            value = *attached;
        } else if (k + 1 < arguments.size()) {
            value = arguments[++k];
        } else {
            return UsageError{QStringLiteral("option '%1' needs a value").arg(name)};
        }

        if (name == QLatin1String("--area")) {
            if (value.isEmpty())
                return UsageError{QStringLiteral("--area needs a file name")};
            options.areaFile = value;
        } else if (name == QLatin1String("--date")) {
            if (!isUsableDateText(value))
                return UsageError{
                    QStringLiteral("--date: the date text must not hold TABs or line breaks")};
            options.date = value;
        } else {
            options.rate = parseRate(value);
            if (!options.rate)
                return UsageError{
                    QStringLiteral("--rate: '%1' is not a positive number of yen per dollar")
                        .arg(value)};
        }
    }

    if (options.help)
        return options;

    if (positional.isEmpty())
        return UsageError{QStringLiteral("no statement kind given")};
    if (positional.size() > 2)
        return UsageError{QStringLiteral("unexpected argument '%1'").arg(positional[2])};
    const std::optional<Kind> kind = kindNamed(positional[0]);
    if (!kind)
        return UsageError{QStringLiteral("unknown statement kind '%1'").arg(positional[0])};
    options.kind = *kind;
    if (positional.size() == 2)
        options.file = positional[1];

    if (options.rate && options.kind != Kind::Foreign)
        return UsageError{QStringLiteral("--rate applies to foreign only")};
    if (options.remark && options.kind != Kind::View && options.kind != Kind::Coop)
        return UsageError{QStringLiteral("--remark and --no-remark apply to view and coop only")};
    return options;
}

QString usageText() {
    return QStringLiteral("Usage: %1 {card|domestic|foreign|view|coop} [FILE] [--area FILE]\n"
                          "         [--date TEXT] [--rate NUMBER] [--remark|--no-remark]\n"
                          "Try '%1 --help' for more information.\n")
        .arg(kProgram);
}

ConvertOutcome failure(int exitCode, const QString& message) {
    ConvertOutcome outcome;
    outcome.exitCode = exitCode;
    outcome.standardError = message;
    return outcome;
}

std::optional<QByteArray> readAllFrom(QIODevice& device) {
    QByteArray data;
    char chunk[64 * 1024];
    for (;;) {
        const qint64 n = device.read(chunk, sizeof chunk);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return data;
        data.append(chunk, n);
    }
}

// The 1-based number of the first line that is not UTF-8. A line break byte never occurs inside
// a multi-byte sequence, so each line can be checked on its own.
qsizetype firstLineNotUtf8(const QByteArray& bytes) {
    qsizetype number = 1;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', start);
        const QByteArrayView line =
            QByteArrayView(bytes).sliced(start, (end < 0 ? bytes.size() : end) - start);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        // decode() is lazy: the bytes are looked at when the result becomes a string.
        const QString decoded = decoder.decode(line);
        if (decoder.hasError() || end < 0)
            return number;
        ++number;
        start = end + 1;
    }
}

// What a paste would put into the text area. A statement that is not UTF-8 (most likely one
// saved as Shift_JIS) is refused rather than converted with replacement characters, which would
// end up unnoticed in the spreadsheet.
std::variant<QString, QString> statementText(const QByteArray& bytes, const QString& source) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = decoder.decode(bytes); // drops a leading byte-order mark
    if (decoder.hasError())
        return std::variant<QString, QString>(std::in_place_index<1>,
                                              QStringLiteral("%1: %2: line %3 is not valid UTF-8\n")
                                                  .arg(kProgram, source)
                                                  .arg(firstLineNotUtf8(bytes)));
    return std::variant<QString, QString>(std::in_place_index<0>,
                                          normaliseLineBreaks(textUpToFirstNul(decoded)));
}

} // namespace

ConvertEnvironment ConvertEnvironment::forRunningProgram() {
    return ConvertEnvironment{
        SettingsFileNameFor(QCoreApplication::applicationDirPath() + QStringLiteral("/Tallemo")),
        Regional::system(),
        [] { return std::make_unique<QtHttpTransport>(); },
    };
}

QString settingsFileLine(const QString& iniFileName) {
    return QStringLiteral("\nSettings file used: %1.ini\n").arg(iniFileName);
}

QString convertHelpText() {
    return QStringLiteral(
               "Usage: %1 KIND [FILE] [OPTIONS]\n"
               "\n"
               "Turns a bank or card statement into TAB-separated spreadsheet rows, exactly as\n"
               "the Tallemo window does when the statement is pasted and the kind's button is\n"
               "pressed.\n"
               "\n"
               "The statement is read from FILE, or from standard input when FILE is absent or\n"
               "\"-\". It must be UTF-8 (a byte-order mark is allowed); CR LF, LF and CR all end\n"
               "a line, and the text ends at its first NUL, as a pasted text would.\n"
               "\n"
               "The rows the window puts on the clipboard are written to standard output in\n"
               "UTF-8, each followed by CR LF. When the window would leave the clipboard as it\n"
               "was, nothing is written.\n"
               "\n"
               "Kinds:\n"
               "  card       card usage statement (楽天カード)\n"
               "  domestic   domestic dividends (国内配当)\n"
               "  foreign    US dividends in dollars, as rows in yen (国外配当)\n"
               "  view       View card statement (View)\n"
               "  coop       co-op statement (生協)\n"
               "\n"
               "Options:\n"
               "  --area FILE    also write the text area's text afterwards to FILE\n"
               "                 (UTF-8, CR LF), also when the conversion fails\n"
               "  --date TEXT    the date text of the dividend rows (default: today in the\n"
               "                 short date format of the regional settings)\n"
               "  --rate NUMBER  foreign only: yen per dollar, with \".\" as the decimal point;\n"
               "                 no exchange-rate request is made and no trace line added.\n"
               "                 Without it the rate is fetched from the exchange-rate service\n"
               "                 with the API key of Tallemo.ini, as the window does\n"
               "  --remark       view and coop only: add the remarks cell (Suica, 保険)\n"
               "  --no-remark    view and coop only: leave the remarks cell out\n"
               "                 (default: the window's setting in Tallemo.ini)\n"
               "  -h, --help     show this help\n"
               "\n"
               "Settings are read from the Tallemo window's settings file: Tallemo.ini in this\n"
               "program's folder when that file exists or the folder is writable, otherwise\n"
               "$XDG_CONFIG_HOME/Tallemo/Tallemo.ini (normally ~/.config/Tallemo/Tallemo.ini).\n"
               "\n"
               "Exit status:\n"
               "  0  done\n"
               "  1  the conversion failed: the message the window would show in its error box,\n"
               "     or the exchange-rate failure line, is written to standard error; also when\n"
               "     a file cannot be read or written or the input is not UTF-8\n"
               "  2  the arguments are wrong\n")
        .arg(kProgram);
}

ConvertOutcome runConvertCommand(const QStringList& arguments, QIODevice& standardInput,
                                 const ConvertEnvironment& environment) {
    const std::variant<Options, UsageError> parsed = parseArguments(arguments);
    if (const auto* usage = std::get_if<UsageError>(&parsed))
        return failure(2, QStringLiteral("%1: %2\n").arg(kProgram, usage->message) + usageText());
    const Options& options = std::get<Options>(parsed);

    if (options.help) {
        ConvertOutcome outcome;
        outcome.standardOutput =
            (convertHelpText() + settingsFileLine(environment.iniFileName)).toUtf8();
        return outcome;
    }

    const bool fromStandardInput = options.file.isEmpty() || options.file == QLatin1String("-");
    const QString source = fromStandardInput ? QStringLiteral("standard input") : options.file;
    std::optional<QByteArray> bytes;
    QString readProblem;
    if (fromStandardInput) {
        bytes = readAllFrom(standardInput);
        if (!bytes)
            readProblem = standardInput.errorString();
    } else {
        QFile file(options.file);
        if (file.open(QIODevice::ReadOnly))
            bytes = readAllFrom(file);
        if (!bytes)
            readProblem = file.errorString();
    }
    if (!bytes)
        return failure(
            1, QStringLiteral("%1: cannot read %2: %3\n").arg(kProgram, source, readProblem));

    const std::variant<QString, QString> text = statementText(*bytes, source);
    if (text.index() == 1)
        return failure(1, std::get<1>(text));

    ConvertOutcome outcome;
    LineModel Lines(std::get<0>(text));
    MemoryClipboard clipboard;
    const Regional regional =
        options.date ? Regional::fixed(*options.date, environment.regional.decimalSeparator)
                     : environment.regional;
    bool rateFailed = false;

    try {
        switch (options.kind) {
        case Kind::Card:
            ConvertCardStatement(Lines, clipboard);
            break;
        case Kind::Domestic:
            ConvertDomesticDividends(Lines, clipboard, regional);
            break;
        case Kind::Foreign: {
            const YenPerDollarSource GetYPDSource = [&](LineModel& lines) -> std::optional<double> {
                if (options.rate)
                    return options.rate;
                std::unique_ptr<HttpTransport> transport;
                if (environment.makeTransport)
                    transport = environment.makeTransport();
                double LUSD = 0;
                double LYPD = 0;
                double LJPY = 0;
                bool succeeded = false;
                if (transport)
                    GetYPD(environment.iniFileName, lines, *transport, LUSD, LYPD, LJPY, succeeded);
                if (!succeeded) {
                    rateFailed = true;
                    return std::nullopt;
                }
                return LYPD;
            };
            ConvertForeignDividends(Lines, clipboard, regional, GetYPDSource);
            break;
        }
        case Kind::View:
            ConvertViewCard(Lines, clipboard,
                            options.remark.value_or(
                                ReadIniBoolean(environment.iniFileName, QStringLiteral("View"),
                                               QStringLiteral("Suica"), false)));
            break;
        case Kind::Coop:
            ConvertCoopStatement(Lines, clipboard,
                                 options.remark.value_or(ReadIniBoolean(
                                     environment.iniFileName, QStringLiteral("seikyo"),
                                     QStringLiteral("hoken"), false)));
            break;
        }
    } catch (const AppError& error) {
        outcome.standardError = errorBoxText(error.message()) + QLatin1Char('\n');
        outcome.exitCode = 1;
    }

    // Without a rate the window shows only the failure line in the text area and keeps the
    // clipboard; a script must not take that quiet end for a conversion without dividends.
    if (rateFailed) {
        outcome.standardError += kRateFailureLine + QLatin1Char('\n');
        outcome.exitCode = 1;
    }

    if (clipboard.setCount() > 0 && clipboard.content())
        outcome.standardOutput = clipboard.content()->toUtf8();
    outcome.areaText = Lines.text().toUtf8();

    if (options.areaFile) {
        QSaveFile area(*options.areaFile);
        const bool written = area.open(QIODevice::WriteOnly) &&
                             area.write(outcome.areaText) == outcome.areaText.size() &&
                             area.commit();
        if (!written) {
            outcome.standardError += QStringLiteral("%1: cannot write %2: %3\n")
                                         .arg(kProgram, *options.areaFile, area.errorString());
            outcome.exitCode = 1;
        }
    }
    return outcome;
}

int runConvertProgram(const QStringList& arguments) {
#ifdef _WIN32
    // The rows end in CR LF already; text mode would make that CR CR LF.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    ConvertOutcome outcome;
    try {
        // A closed standard input fails to open; reading it then fails with a message.
        QFile standardInput;
        (void)standardInput.open(stdin, QIODevice::ReadOnly | QIODevice::Unbuffered);
        outcome = runConvertCommand(arguments.mid(1), standardInput,
                                    ConvertEnvironment::forRunningProgram());
    } catch (const std::exception& error) {
        outcome = failure(1, QStringLiteral("%1: %2\n").arg(kProgram, error.what()));
    }

    const QByteArray& out = outcome.standardOutput;
    if (!out.isEmpty()) {
        const bool written = std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()),
                                         stdout) == static_cast<std::size_t>(out.size()) &&
                             std::fflush(stdout) == 0;
        if (!written) {
            outcome.standardError +=
                QStringLiteral("%1: cannot write standard output\n").arg(kProgram);
            outcome.exitCode = 1;
        }
    }
    if (!outcome.standardError.isEmpty()) {
        std::fputs(outcome.standardError.toUtf8().constData(), stderr);
        std::fflush(stderr);
    }
    return outcome.exitCode;
}

} // namespace tallemo
