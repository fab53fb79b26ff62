#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace tallemo {

// The rows a converter collects (the `SL` of the handlers). Its text is every entry followed by
// CR LF, or the empty text for an empty list. The entries are kept as that text, so the rows of
// a long statement are one buffer and taking the text copies nothing.
//
// The window keeps the rows as text for the clipboard. A caller that only writes them out has
// them kept in UTF-8 instead, encoded entry by entry as they come: the UTF-16 text of a long
// statement's rows then never exists, and neither does a second pass to encode it.
class OutputList {
public:
    enum class Form { Text, Utf8 };

    explicit OutputList(Form form = Form::Text) : m_form(form) {}

    void add(QStringView entry);
    void add(const QString& entry) { add(QStringView(entry)); }
    int count() const { return m_count; }
    Form form() const { return m_form; }
    // The rows as text; decoded when kept in UTF-8 (a lone surrogate then reads "?", as it was
    // written).
    QString text() const;
    // The rows in UTF-8, as QString::toUtf8 makes them of the text.
    QByteArray utf8() const;

private:
    Form m_form;
    QString m_text;
    QByteArray m_utf8;
    int m_count = 0;
};

} // namespace tallemo
