#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace tallemo {

// The fields of one comma-separated record. The field texts keep their buffers from record to
// record, so that reading a long file allocates only for its widest records.
class CsvRecord {
public:
    int size() const { return m_count; }
    // The field's text, unquoted; empty beyond the last field.
    QStringView field(int i) const {
        return i >= 0 && i < m_count ? QStringView(m_fields[static_cast<std::size_t>(i)])
                                     : QStringView();
    }

    void clear() { m_count = 0; }
    QString& addField() {
        if (static_cast<std::size_t>(m_count) == m_fields.size())
            m_fields.emplace_back();
        QString& field = m_fields[static_cast<std::size_t>(m_count++)];
        field.resize(0);
        return field;
    }

private:
    std::vector<QString> m_fields;
    int m_count = 0;
};

// How many lines a quoted field may run over. A quote that never closes would otherwise take the
// whole rest of the text into one field, and looking for its end from every later line would
// cost time quadratic in the text: beyond this many lines, the quote is taken to end with its
// line and the lines after it are records of their own.
constexpr int kMaxCsvRecordLines = 20;

// Reads the RFC 4180 record that begins at line first of lineCount lines, lineAt(i) giving line
// i without its break, into record; returns the number of lines it takes (1 unless a quoted field
// holds line breaks, which its text keeps as "\n"). Commas and doubled quotes inside quotes are
// text. Lenient where files are: text after a closing quote joins the field, and a quote inside
// an unquoted field is text.
template <class LineAt>
int readCsvRecord(LineAt lineAt, int first, int lineCount, CsvRecord& record) {
    const auto read = [&](int maxLines) -> int {
        record.clear();
        int lineIndex = first;
        QStringView line = lineAt(lineIndex);
        qsizetype k = 0;
        for (;;) {
            QString& field = record.addField();
            if (k < line.size() && line[k] == u'"') {
                ++k;
                for (;;) {
                    const qsizetype quote = line.indexOf(u'"', k);
                    if (quote < 0) {
                        field.append(line.sliced(k));
                        if (lineIndex + 1 - first >= maxLines || lineIndex + 1 >= lineCount) {
                            if (maxLines > 1)
                                return -1; // never closed: read the line again on its own
                            k = line.size();
                            break;
                        }
                        field.append(u'\n');
                        line = lineAt(++lineIndex);
                        k = 0;
                        continue;
                    }
                    field.append(line.sliced(k, quote - k));
                    k = quote + 1;
                    if (k < line.size() && line[k] == u'"') {
                        field.append(u'"');
                        ++k;
                        continue;
                    }
                    break;
                }
            }
            // Unquoted text, or what follows a closing quote, up to the next comma.
            const qsizetype comma = line.indexOf(u',', k);
            const qsizetype end = comma < 0 ? line.size() : comma;
            field.append(line.sliced(k, end - k));
            if (comma < 0)
                return lineIndex - first + 1;
            k = comma + 1;
        }
    };
    const int taken = read(kMaxCsvRecordLines);
    return taken > 0 ? taken : read(1);
}

} // namespace tallemo
