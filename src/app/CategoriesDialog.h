#pragma once

#include "categories/CategoryStore.h"

#include <QDialog>

#include <vector>

class QLineEdit;
class QListWidget;
class QSortFilterProxyModel;
class QStandardItem;
class QStandardItemModel;
class QTableView;

namespace tallemo {

// 分類 › 覚えた分類…: what was learned, one line per description and choice (description, the two
// cells, how often, last seen), sortable and filtered, its cells editable, lines forgotten one by
// one or all; and the learnings by time, each of which can be taken back.
class CategoriesDialog : public QDialog {
    Q_OBJECT
public:
    CategoriesDialog(QWidget* owner, const QString& categoriesFile, store::Clock clock);

    QTableView* table() const { return m_table; }
    QLineEdit* filter() const { return m_filter; }
    QListWidget* learnings() const { return m_learnings; }
    QStandardItemModel* model() const { return m_model; }

    // Reads the file again into the table and the list.
    void reload();
    // The table's selected lines (in the filtered, sorted view).
    void forgetSelected();
    void forgetAll();
    // The list's selected learning.
    void takeBackSelectedLearning();
    // What the last action said, for the message strip: a notice of the file, or empty.
    const QStringList& notices() const { return m_notices; }

private:
    void cellEdited(QStandardItem* item);

    categories::CategoryStore m_store;
    std::vector<categories::LearnedChoice> m_choices;
    std::vector<categories::Learning> m_learned;
    QStandardItemModel* m_model;
    QSortFilterProxyModel* m_proxy;
    QTableView* m_table;
    QLineEdit* m_filter;
    QListWidget* m_learnings;
    QStringList m_notices;
    bool m_loading = false;
};

} // namespace tallemo
