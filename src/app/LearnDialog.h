#pragma once

#include "learn/Learner.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QTableWidget;
class QTextEdit;
class QTimer;

namespace tallemo {

class Dialogs;

// 例から書式を作る: the lines of one entry, the row they should give, a caption and an id, and a
// live preview of every row the learned kind gives for the whole text. 例を追加 makes the lines
// selected in the pasted text a further example with its own row (a bank's payment beside its
// income). 保存 writes ID.toml into the kinds folder; nothing is written on キャンセル.
class LearnDialog : public QDialog {
    Q_OBJECT
public:
    LearnDialog(QWidget* owner, Dialogs& dialogs, QStringList exampleLines, QString statement,
                QStringList takenIds, QString kindsFolder);

    // The first example's row's cells as they stand, and whether a cell stays typed text.
    QStringList cells() const { return cells(0); }
    void setCell(int column, const QString& text) { setCell(0, column, text); }
    void setCellLiteral(int column, bool literal) { setCellLiteral(0, column, literal); }
    // The same for each example (0 the first); every example's row has the same cells.
    QStringList cells(int example) const;
    void setCell(int example, int column, const QString& text);
    void setCellLiteral(int example, int column, bool literal);
    int exampleCount() const { return static_cast<int>(m_examples.size()); }
    // A further example with an empty row; false for lines that are blank.
    bool addExample(const QStringList& lines);
    // The lines selected in the dialog's copy of the pasted text, whole.
    QStringList selectedSourceLines() const;
    void setCaption(const QString& caption);
    QString id() const;

    // Learns again from what the dialog shows now (it does so by itself a moment after a change).
    void relearn();
    // What the last learning gave, or why it gave nothing.
    const std::optional<learn::LearnedKind>& learned() const { return m_learned; }
    const QString& problem() const { return m_problem; }

    // Writes the file (asking before it replaces one) and closes the dialog; false when nothing
    // was written.
    bool save();
    // The file written by save().
    const QString& savedPath() const { return m_savedPath; }

    QTableWidget* rowTable() const { return m_row; }
    QTableView* previewTable() const { return m_preview; }
    QPlainTextEdit* sourceText() const { return m_source; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleRelearn();
    void showLearned();
    void setColumns(const QStringList& cellTexts);
    void setColumnCount(int count);
    void showExamples();

    Dialogs& m_dialogs;
    std::vector<QStringList> m_examples;
    QString m_statement;
    QStringList m_takenIds;
    QString m_kindsFolder;
    bool m_idEdited = false;

    QTextEdit* m_example = nullptr;
    QPlainTextEdit* m_source = nullptr;
    QTableWidget* m_row = nullptr;
    QLineEdit* m_caption = nullptr;
    QLineEdit* m_id = nullptr;
    QLabel* m_status = nullptr;
    QTableView* m_preview = nullptr;
    QStandardItemModel* m_previewModel = nullptr;
    QListWidget* m_missed = nullptr;
    QLabel* m_notes = nullptr;
    QPushButton* m_saveButton = nullptr;
    QTimer* m_relearnTimer = nullptr;

    std::optional<learn::LearnedKind> m_learned;
    QString m_problem;
    QString m_savedPath;
};

} // namespace tallemo
