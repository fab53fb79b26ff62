// After the whole text is replaced (clear-and-paste) or converted, no part of an earlier
// selection survives, also where the new text begins and ends like the old one: only the changed
// stretch is replaced, so the editor would otherwise keep the shared parts selected, and the next
// key would overwrite them.
#include "WindowHarness.h"

#include <QTextCursor>

#include <gtest/gtest.h>

namespace tallemo::testing {
namespace {

struct SelectionCase {
    const char* name;
    QString before;
    QString clipboardText; // for the clear-and-paste command
};

class SelectionAfterCommands : public ::testing::Test {
protected:
    void selectAll() {
        QTextCursor cursor = form().Memo1->textCursor();
        cursor.select(QTextCursor::Document);
        form().Memo1->setTextCursor(cursor);
        ASSERT_TRUE(form().Memo1->textCursor().hasSelection());
    }
    TForm1& form() { return *harness.window; }

    MemoryClipboard clipboard;
    WindowHarness harness{&clipboard};
};

TEST_F(SelectionAfterCommands, ClearAndPasteLeavesNothingSelectedAndTheCaretAtTheEnd) {
    // The new text shares its first and its last line with the old one.
    const QString before = QStringLiteral("HEAD\r\nold middle\r\nTAIL");
    const QString pasted = QStringLiteral("HEAD\r\nnew middle line\r\nTAIL");
    harness.setText(before);
    selectAll();
    clipboard.setText(pasted);

    form().SelectAllPaste->trigger();

    EXPECT_EQ(harness.text(), pasted);
    const QTextCursor cursor = form().Memo1->textCursor();
    EXPECT_FALSE(cursor.hasSelection()) << cursor.selectedText().toStdString();
    EXPECT_EQ(cursor.position(), form().Memo1->document()->characterCount() - 1);
    // Still one undo step.
    form().Memo1->undo();
    EXPECT_EQ(harness.text(), before);
}

TEST_F(SelectionAfterCommands, AConversionLeavesNothingSelectedAndTheCaretAtTheStart) {
    // A co-op statement keeps its heading and its last line: the conversion rewrites only the
    // lines that begin with "20", between them.
    const QString before = QStringLiteral(
        "ご注文明細\r\n2024/11/03\tパン\t180 円\r\n2024/11/04\t牛乳\t220 円\r\n合計");
    harness.setText(before);
    selectAll();

    form().SeikyouAnalysis->trigger();

    EXPECT_NE(harness.text(), before);
    EXPECT_TRUE(harness.text().startsWith(QStringLiteral("ご注文明細\r\n")));
    EXPECT_TRUE(harness.text().endsWith(QStringLiteral("\r\n合計")));
    const QTextCursor cursor = form().Memo1->textCursor();
    EXPECT_FALSE(cursor.hasSelection()) << cursor.selectedText().toStdString();
    EXPECT_EQ(cursor.position(), 0);
    form().Memo1->undo();
    EXPECT_EQ(harness.text(), before);
}

} // namespace
} // namespace tallemo::testing
