#pragma once

#include <QString>
#include <QStringView>

namespace tallemo {

// The rows a converter collects (the `SL` of the handlers). Its text is every entry followed by
// CR LF, or the empty text for an empty list. The entries are kept as that text, so the rows of
// a long statement are one buffer and taking the text copies nothing.
class OutputList {
public:
    void add(QStringView entry);
    void add(const QString& entry) { add(QStringView(entry)); }
    int count() const { return m_count; }
    QString text() const { return m_text; }

private:
    QString m_text;
    int m_count = 0;
};

} // namespace tallemo
