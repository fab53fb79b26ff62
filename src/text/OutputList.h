#pragma once

#include <QString>
#include <QStringList>

namespace tallemo {

// The rows a converter collects (the `SL` of the handlers). Its text is every entry followed by
// CR LF, or the empty text for an empty list.
class OutputList {
public:
    void add(const QString& entry) { m_entries.append(entry); }
    int count() const { return static_cast<int>(m_entries.size()); }
    QString text() const;

private:
    QStringList m_entries;
};

} // namespace tallemo
