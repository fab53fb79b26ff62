// The settings file's line editor on arbitrary bytes: a written value reads back unchanged, and
// every other key of the file keeps its value.

#include "settings/IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

namespace IniFile = tallemo::IniFile;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// How the editor compares names: trimmed of blanks, ASCII letters folded.
QByteArray folded(const QString& name) {
    QByteArray bytes = name.toUtf8();
    while (!bytes.isEmpty() && isBlank(bytes.front()))
        bytes.remove(0, 1);
    while (!bytes.isEmpty() && isBlank(bytes.back()))
        bytes.chop(1);
    return bytes.toLower();
}

// Every section and key name the bytes might hold: what stands between "[" and "]", and before a
// "=", on each line the bytes show (CR, LF or both end a line).
std::vector<std::pair<QString, QString>> namesIn(const QByteArray& content) {
    QList<QString> sections{QString()};
    QList<QString> keys;
    QByteArray normalised = content;
    normalised.replace('\r', '\n');
    for (const QByteArray& line : normalised.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            const qsizetype close = trimmed.indexOf(']');
            sections.append(QString::fromUtf8(trimmed.mid(1, close < 0 ? -1 : close - 1)));
        } else if (const qsizetype eq = line.indexOf('='); eq >= 0) {
            keys.append(QString::fromUtf8(line.left(eq)));
        }
    }
    std::vector<std::pair<QString, QString>> names;
    for (const QString& section : sections) {
        for (const QString& key : keys)
            names.emplace_back(section, key);
    }
    return names;
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "INI editor: %s\n", what);
        std::abort();
    }
}

QString fuzzName(FuzzedDataProvider& data) {
    return QString::fromUtf8(data.ConsumeRandomLengthString(24));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const QString section = fuzzName(data);
    const QString key = fuzzName(data);
    const QString value = fuzzName(data);
    const std::string rest = data.ConsumeRemainingBytesAsString();
    const QByteArray content(rest.data(), static_cast<qsizetype>(rest.size()));

    std::vector<std::pair<QString, QString>> names = namesIn(content);
    if (names.size() > 64)
        names.resize(64);
    std::vector<std::optional<QString>> before;
    before.reserve(names.size());
    for (const auto& [s, k] : names)
        before.push_back(IniFile::readValue(content, s, k));

    QByteArray after;
    try {
        after = IniFile::writeValue(content, section, key, value);
    } catch (const std::invalid_argument&) {
        return 0; // refused: a name or value that could not read back as written
    }
    check(IniFile::readValue(after, section, key) == value, "the written value reads back");

    const QByteArray writtenSection = folded(section);
    const QByteArray writtenKey = folded(key);
    for (std::size_t k = 0; k < names.size(); ++k) {
        const auto& [s, name] = names[k];
        if (folded(s) == writtenSection && folded(name) == writtenKey)
            continue;
        check(IniFile::readValue(after, s, name) == before[k], "another key keeps its value");
    }
    // Writing the same value again changes nothing.
    check(IniFile::writeValue(after, section, key, value) == after, "a second write is a no-op");
    return 0;
}
