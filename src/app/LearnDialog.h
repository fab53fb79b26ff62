#pragma once

#include "learn/Learner.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QTableWidget;
class QTextEdit;
class QTimer;

namespace tallemo {

class Dialogs;

// 例から書式を作る: the lines of one entry, the row they should give, a caption and an id, and a
// live preview of every row the learned kind gives for the whole text. 保存 writes ID.toml into the
// kinds folder; nothing is written on キャンセル.
class LearnDialog : public QDialog {
    Q_OBJECT
public:
    LearnDialog(QWidget* owner, Dialogs& dialogs, QStringList exampleLines, QString statement,
                QStringList takenIds, QString kindsFolder);

    // The row's cells as they stand, and whether a cell stays typed text.
    QStringList cells() const;
    void setCell(int column, const QString& text);
    void setCellLiteral(int column, bool literal);
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

private:
    void scheduleRelearn();
    void showLearned();
    void setColumns(const QStringList& cellTexts);

    Dialogs& m_dialogs;
    QStringList m_exampleLines;
    QString m_statement;
    QStringList m_takenIds;
    QString m_kindsFolder;
    bool m_idEdited = false;

    QTextEdit* m_example = nullptr;
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
