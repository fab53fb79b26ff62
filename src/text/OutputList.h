#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>

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

    void add(QStringView entry);
    void add(const QString& entry) { add(QStringView(entry)); }
    int count() const { return m_count; }
    // The rows as text. Given a sink: the rows not handed over, decoded (a lone surrogate then
    // reads "?", as it is written).
    QString text() const;
    // The rows in UTF-8, as QString::toUtf8 makes them of the text. Given a sink: the rows not
    // handed over.
    QByteArray utf8() const;
    // Hands a callable sink the rows not handed over yet.
    void flush();

private:
    const RowsSink* m_sink = nullptr;
    QString m_text;
    QByteArray m_utf8;
    int m_count = 0;
};

} // namespace tallemo
