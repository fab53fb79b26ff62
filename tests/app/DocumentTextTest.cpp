#include "app/DocumentText.h"
#include "support/QtText.h"
#include "text/LineModel.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace tallemo {
namespace {

// A document as the user would have filled it: text in, no undo history.
std::unique_ptr<QTextDocument> documentWith(const QString& text) {
    auto document = std::make_unique<QTextDocument>();
    document->documentLayout(); // contentsChange is only reported to a laid-out document
    QTextCursor(document.get()).insertText(text);
    document->clearUndoRedoStacks();
    return document;
}

TEST(DocumentText, ReadsBlockAndLineBreaksAsCrLfAndKeepsNoBreakSpaces) {
    EXPECT_EQ(documentText(*documentWith(QString())), QString());
    EXPECT_EQ(documentText(*documentWith(QStringLiteral("a\nb\n"))), QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(documentText(*documentWith(QStringLiteral("a\r\nb"))), QStringLiteral("a\r\nb"));
    // Shift+Enter puts a line separator into the block; the user sees a line break.
    EXPECT_EQ(documentText(*documentWith(QStringLiteral("a\u2028b"))), QStringLiteral("a\r\nb"));
    EXPECT_EQ(documentText(*documentWith(QStringLiteral("1\u00A0500\tx"))),
              QStringLiteral("1\u00A0500\tx"));
}

struct Replacement {
    const char* name;
    QString before;
    QString after;
};

class SetDocumentText : public ::testing::TestWithParam<Replacement> {};

TEST_P(SetDocumentText, HoldsTheNewTextAndOneUndoBringsBackTheOld) {
    const Replacement& r = GetParam();
    auto document = documentWith(r.before);
    const QString before = documentText(*document);

    setDocumentText(*document, r.after);
    EXPECT_EQ(documentText(*document), normaliseLineBreaks(r.after));

    document->undo();
    EXPECT_EQ(documentText(*document), before);
    EXPECT_FALSE(document->isUndoAvailable());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetDocumentText,
    ::testing::Values(
        Replacement{"IntoEmpty", QString(), QStringLiteral("r1\r\nr2\r\n")},
        Replacement{"ToEmpty", QStringLiteral("a\nb\n"), QString()},
        Replacement{"Append", QStringLiteral("a\nb"), QStringLiteral("a\r\nb\r\nc\r\n\r\n")},
        Replacement{"Prepend", QStringLiteral("b"), QStringLiteral("a\r\nb")},
        Replacement{"MiddleLine", QStringLiteral("h\nx\tA\nf"),
                    QStringLiteral("h\r\nx\t\t\tA\r\nf")},
        Replacement{"DeleteLines", QStringLiteral("h\nm\n1\n2\nf"), QStringLiteral("h\r\nf")},
        Replacement{"BreakAtTheJoin", QStringLiteral("a\nb"), QStringLiteral("a\r\n\r\nb")},
        Replacement{"BreakRemoved", QStringLiteral("a\n\nb"), QStringLiteral("a\r\nb")},
        Replacement{"LoneCrAndLf", QStringLiteral("a"), QStringLiteral("a\rb\nc")},
        Replacement{"Repeated", QStringLiteral("aaaa"), QStringLiteral("aa")},
        Replacement{"LinesRewrittenInPlace", QStringLiteral("h\n20a 円\nx\n20b 円\n"),
                    QStringLiteral("h\r\n20a\t\t\r\nx\r\n20b\t\t\r\n")},
        Replacement{"FirstAndLastLinesRewritten", QStringLiteral("a\nm\nb"),
                    QStringLiteral("A\r\nm\r\nB")},
        Replacement{"LinesEmptiedAndFilled", QStringLiteral("a\n\nb\nc"),
                    QStringLiteral("\r\nx\r\nb\r\n")}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(DocumentText, ReplacesOnlyTheChangedStretch) {
    QString before;
    for (int i = 0; i < 1000; ++i)
        before += QStringLiteral("line %1\n").arg(i);
    auto document = documentWith(before);

    int position = -1;
    int removed = -1;
    int added = -1;
    QObject::connect(document.get(), &QTextDocument::contentsChange, [&](int p, int r, int a) {
        position = p;
        removed = r;
        added = a;
    });
    QString after = documentText(*document);
    after.replace(QStringLiteral("line 500\r\n"), QStringLiteral("line 500 changed\r\n"));
    setDocumentText(*document, after);

    const int at = static_cast<int>(before.indexOf(QStringLiteral("line 500\n")));
    EXPECT_GE(position, at);
    EXPECT_LE(removed + added, 20);
    EXPECT_EQ(documentText(*document), after);
}

TEST(DocumentText, LinesRewrittenInPlaceKeepTheirBlocks) {
    const QString before =
        QStringLiteral("head\r\n20a 円\r\nkeep\r\nkeep\r\nkeep\r\n20b 円\r\ntail");
    const QString after =
        QStringLiteral("head\r\n20a\t\t\r\nkeep\r\nkeep\r\nkeep\r\n20b\t\t保険\r\ntail");
    auto document =
        documentWith(QString(before).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    int state = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        block.setUserState(++state);

    setDocumentText(*document, after);

    // A block that had been removed and inserted again would have lost its state.
    QList<int> states;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        states << block.userState();
    EXPECT_EQ(states, (QList<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(documentText(*document), after);
    document->undo();
    EXPECT_EQ(documentText(*document), before);
    EXPECT_FALSE(document->isUndoAvailable());
}

TEST(DocumentText, LeavesAnUnchangedDocumentUntouched) {
    auto document = documentWith(QStringLiteral("a\nb\n"));
    int changes = 0;
    QObject::connect(document.get(), &QTextDocument::contentsChange, [&] { ++changes; });

    setDocumentText(*document, QStringLiteral("a\r\nb\r\n"));

    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(document->isUndoAvailable());
}

TEST(DocumentText, ReplaceSelectionIsOneUndoStep) {
    auto document = documentWith(QStringLiteral("head\nSELECTED\ntail"));
    QTextCursor cursor(document.get());
    cursor.setPosition(5);
    cursor.setPosition(13, QTextCursor::KeepAnchor);

    replaceSelection(cursor, QStringLiteral("x\r\ny\rz\n"));
    EXPECT_EQ(documentText(*document), QStringLiteral("head\r\nx\r\ny\r\nz\r\n\r\ntail"));

    document->undo();
    EXPECT_EQ(documentText(*document), QStringLiteral("head\r\nSELECTED\r\ntail"));
}

TEST(DocumentText, ReplaceSelectionByNothingDeletesTheSelectionOnly) {
    auto document = documentWith(QStringLiteral("abc"));
    QTextCursor cursor(document.get());
    cursor.setPosition(1);
    replaceSelection(cursor, QString());
    EXPECT_EQ(documentText(*document), QStringLiteral("abc"));
    EXPECT_FALSE(document->isUndoAvailable());

    cursor.setPosition(2, QTextCursor::KeepAnchor);
    replaceSelection(cursor, QString());
    EXPECT_EQ(documentText(*document), QStringLiteral("ac"));
}

} // namespace
} // namespace tallemo
