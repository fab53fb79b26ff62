#pragma once

// Statements the tests of several folders share. Each is kept once, as a fixture in
// tests/fixtures/ (TALLEMO_FIXTURES, which every test program's environment sets), where the
// fixture test also runs it through the companion.

#include "text/LineModel.h"

#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace tallemo::testing_support {

// tests/fixtures/KIND/NAME + extension, its line breaks CR LF as the text area holds them.
inline QString fixtureText(const char* kind, const char* name, const char* extension = ".txt") {
    const QString path = qEnvironmentVariable("TALLEMO_FIXTURES") + u'/' +
                         QString::fromLatin1(kind) + u'/' + QString::fromLatin1(name) +
                         QString::fromLatin1(extension);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return normaliseLineBreaks(QString::fromUtf8(file.readAll()));
}

// A card statement of two entries between a header and a footer, and the rows it becomes.
inline QString cardStatement() {
    return fixtureText("card", "two-entries-with-heading");
}
inline QString cardRows() {
    return fixtureText("card", "two-entries-with-heading", ".rows");
}
// The text area after the conversion.
inline QString cardArea() {
    return fixtureText("card", "two-entries-with-heading", ".area");
}

// A co-op statement of two purchases and a total, and its rows without and with the remark.
inline QString coopStatement() {
    return fixtureText("coop", "two-purchases-with-total");
}
inline QString coopRows(bool remark) {
    return fixtureText(
        "coop", remark ? "two-purchases-with-total-remark" : "two-purchases-with-total", ".rows");
}

// US dividend notices of one entry.
inline const QString kForeignStatement =
    QStringLiteral("見本ホールディングス\r\n数量 200株\r\n1株あたり 0.50\r\n入金額 100.00 USD");

} // namespace tallemo::testing_support
