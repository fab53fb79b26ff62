#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace tallemo {

// The fields of one comma-separated record. A field is a view into its line where it can be
// (no doubled quotes, no line break inside), else into a buffer of its own; the buffers are kept
// from record to record, so that reading a long file allocates only for its widest records.
class CsvRecord {
public:
    int size() const { return static_cast<int>(m_fields.size()); }
    // The field's text, unquoted; empty beyond the last field. Valid until the next record is
    // read, and as long as the lines are.
    QStringView field(int i) const {
        return i >= 0 && i < size() ? m_fields[static_cast<std::size_t>(i)] : QStringView();
    }

    void clear() { m_fields.clear(); }
    void addView(QStringView text) { m_fields.push_back(text); }
    // A field built piece by piece; finish with setBuilt().
    QString& startBuilding() {
        const std::size_t k = m_fields.size();
        if (k >= m_buffers.size())
            m_buffers.resize(k + 1);
        m_buffers[k].resize(0);
        return m_buffers[k];
    }
    void setBuilt() { m_fields.emplace_back(m_buffers[m_fields.size()]); }

private:
    std::vector<QStringView> m_fields;
    std::vector<QString> m_buffers; // by field index, for the fields that needed building
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
    // Plain loops over the units: fields are short, and a library search per field costs more
    // than the field.
    const auto find = [](QStringView line, qsizetype from, char16_t unit) {
        const char16_t* const begin = line.utf16();
        for (qsizetype k = from, n = line.size(); k < n; ++k) {
            if (begin[k] == unit)
                return k;
        }
        return qsizetype{-1};
    };
    const auto read = [&](int maxLines) -> int {
        record.clear();
        int lineIndex = first;
        QStringView line = lineAt(lineIndex);
        qsizetype k = 0;
        for (;;) {
            qsizetype start = k;
            QString* built = nullptr;
            bool viewed = false; // a quoted field taken as a view, up to commaAfter
            qsizetype commaAfter = -1;
            if (k < line.size() && line[k] == u'"') {
                ++k;
                for (;;) {
                    const qsizetype quote = find(line, k, u'"');
                    if (quote < 0) {
                        if (lineIndex + 1 - first >= maxLines || lineIndex + 1 >= lineCount) {
                            if (maxLines > 1)
                                return -1; // never closed: read the line again on its own
                            if (built == nullptr)
                                built = &record.startBuilding();
                            built->append(line.sliced(k));
                            k = line.size();
                            break;
                        }
                        if (built == nullptr)
                            built = &record.startBuilding();
                        built->append(line.sliced(k));
                        built->append(u'\n');
                        line = lineAt(++lineIndex);
                        k = 0;
                        continue;
                    }
                    const bool doubled = quote + 1 < line.size() && line[quote + 1] == u'"';
                    if (built == nullptr && !doubled) {
                        // The common case: the quoted text is a view of the line.
                        start = k;
                        k = quote + 1;
                        const qsizetype comma = find(line, k, u',');
                        if (comma == k || (comma < 0 && k == line.size())) {
                            record.addView(line.sliced(start, quote - start));
                            viewed = true;
                            commaAfter = comma;
                            break;
                        }
                        // Text after the closing quote joins the field.
                        built = &record.startBuilding();
                        built->append(line.sliced(start, quote - start));
                        break;
                    }
                    if (built == nullptr)
                        built = &record.startBuilding();
                    built->append(line.sliced(k, quote - k));
                    k = quote + 1;
                    if (doubled) {
                        built->append(u'"');
                        ++k;
                        continue;
                    }
                    break;
                }
            }
            if (viewed) {
                if (commaAfter < 0)
                    return lineIndex - first + 1;
                k = commaAfter + 1;
                continue;
            }
            // Unquoted text, or what follows a closing quote, up to the next comma.
            const qsizetype comma = find(line, k, u',');
            const qsizetype end = comma < 0 ? line.size() : comma;
            if (built != nullptr) {
                built->append(line.sliced(k, end - k));
                record.setBuilt();
            } else {
                record.addView(line.sliced(start, end - start));
            }
            if (comma < 0)
                return lineIndex - first + 1;
            k = comma + 1;
        }
    };
    const int taken = read(kMaxCsvRecordLines);
    return taken > 0 ? taken : read(1);
}

} // namespace tallemo
