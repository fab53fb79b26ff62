#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>
#include <utility>
#include <vector>

namespace tallemo {

// Takes the rows, in UTF-8, a stretch of whole rows at a time, as a converter makes them: a
// caller that only writes them out (the companion without --area) need not hold them all.
using RowsSink = std::function<void(QByteArrayView rows)>;

// The rows a converter collects (the `SL` of the handlers). Its text is every entry followed by
// CR LF, or the empty text for an empty list. The entries are kept as that text, so the rows of
// a long statement are one buffer and taking the text copies nothing.
//
// The window keeps the rows as text for the clipboard. Given a sink, the list encodes each entry
// in UTF-8 as it comes, and when the sink is callable hands it what has gathered whenever that
// passes 64 KiB; flush() hands over the rest. The UTF-16 text of a long statement's rows then
// never exists, nor a second pass to encode it, nor (with a callable sink) all the rows at once.
// An empty sink keeps the rows in the list, in UTF-8.
class OutputList {
public:
    OutputList() = default;
    explicit OutputList(const RowsSink* sink) : m_sink(sink) {}

    // line: the text area's line the row stands on afterwards (0-based), or -1 when it stands on
    // none of its own (the dividend rows added below the text).
    void add(QStringView entry, int line = -1);
    void add(const QString& entry, int line = -1) { add(QStringView(entry), line); }
    int count() const { return m_count; }
    // For converters that replace the whole text with the rows: row k stands on line k.
    void rowsMakeTheWholeText();

    // The rows one by one, as data, while they are kept as UTF-16 text (no sink): row k's text
    // without its line break (valid until a row is replaced or the text asked for), and the line
    // it stands on.
    QStringView row(int k) const;
    int lineOf(int k) const { return m_places[static_cast<std::size_t>(k)].line; }
    // Gives row k a new text (a later stage filled cells of it; given twice, the last counts).
    // The text is rebuilt on the next text() call, once however many rows changed.
    void replaceRow(int k, QStringView text);
    // Takes text as the rows' new text, every row followed by CR LF as text() gives them: row k
    // is text from starts[k] to the CR LF before starts[k + 1] (the last one: before the text's
    // end). The rows keep their lines. For a stage that rewrote most rows of a long list at once;
    // starts has one entry per row.
    void replaceAllRows(QString text, const std::vector<qsizetype>& starts);
    // The code units of the rows as added, with their line breaks (kept as UTF-16 text).
    qsizetype units() const { return m_text.size(); }
    // A list of the rows whose keep(k) is true, in order, with their lines.
    OutputList subset(const std::function<bool(int k)>& keep) const;
    // The rows as text. Given a sink: the rows not handed over, decoded (a lone surrogate then
    // reads "?", as it is written).
    QString text() const;
    // The rows in UTF-8, as QString::toUtf8 makes them of the text. Given a sink: the rows not
    // handed over.
    QByteArray utf8() const;
    // Hands a callable sink the rows not handed over yet.
    void flush();

private:
    struct RowPlace {
        qsizetype start = 0;
        qsizetype length = 0;
        int line = -1;
        bool replaced = false; // start and length are in m_replacements
    };
    void rebuildText() const;

    const RowsSink* m_sink = nullptr;
    // mutable: replaced rows are written into the text when it is next asked for.
    mutable QString m_text;
    mutable std::vector<RowPlace> m_places;
    // The replaced rows' texts one after the other: a stage that replaces most rows of a long
    // statement makes no string of its own for each.
    mutable QString m_replacements;
    mutable bool m_anyReplaced = false;
    QByteArray m_utf8;
    int m_count = 0;
};

} // namespace tallemo
