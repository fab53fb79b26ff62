#include "app/CategoriesDialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace tallemo {

namespace {

enum Column { Description, Cell3, Cell4, Times, Last, ColumnCount };

} // namespace

CategoriesDialog::CategoriesDialog(QWidget* owner, const QString& categoriesFile,
                                   store::Clock clock)
    : QDialog(owner), m_store(categoriesFile, std::move(clock)),
      m_model(new QStandardItemModel(0, ColumnCount, this)),
      m_proxy(new QSortFilterProxyModel(this)), m_table(new QTableView(this)),
      m_filter(new QLineEdit(this)), m_learnings(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("覚えた分類"));
    setObjectName(QStringLiteral("CategoriesDialog"));
    m_model->setHorizontalHeaderLabels({QStringLiteral("説明"), QStringLiteral("分類 1"),
                                        QStringLiteral("分類 2"), QStringLiteral("回数"),
                                        QStringLiteral("最後")});
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setSortRole(Qt::UserRole);
    m_table->setModel(m_proxy);
    m_table->setSortingEnabled(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->horizontalHeader()->setSectionResizeMode(Description, QHeaderView::Stretch);
    m_filter->setPlaceholderText(QStringLiteral("絞り込み"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            &QSortFilterProxyModel::setFilterFixedString);
    connect(m_model, &QStandardItemModel::itemChanged, this, &CategoriesDialog::cellEdited);

    auto* forgetLines = new QPushButton(QStringLiteral("選んだ行を忘れる"), this);
    auto* forgetEverything = new QPushButton(QStringLiteral("すべて忘れる"), this);
    auto* takeBack = new QPushButton(QStringLiteral("選んだ学習を取り消す"), this);
    connect(forgetLines, &QPushButton::clicked, this, &CategoriesDialog::forgetSelected);
    connect(forgetEverything, &QPushButton::clicked, this, &CategoriesDialog::forgetAll);
    connect(takeBack, &QPushButton::clicked, this, &CategoriesDialog::takeBackSelectedLearning);
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_table, 3);
    auto* lineButtons = new QHBoxLayout;
    lineButtons->addWidget(forgetLines);
    lineButtons->addWidget(forgetEverything);
    lineButtons->addStretch();
    layout->addLayout(lineButtons);
    layout->addWidget(new QLabel(QStringLiteral("学習した時（新しい順）"), this));
    layout->addWidget(m_learnings, 1);
    auto* learningButtons = new QHBoxLayout;
    learningButtons->addWidget(takeBack);
    learningButtons->addStretch();
    layout->addLayout(learningButtons);
    layout->addWidget(close);
    resize(720, 520);
    reload();
}

void CategoriesDialog::reload() {
    m_loading = true;
    m_model->removeRows(0, m_model->rowCount());
    m_choices = m_store.choices().value_or(std::vector<categories::LearnedChoice>{});
    for (std::size_t k = 0; k < m_choices.size(); ++k) {
        const categories::LearnedChoice& choice = m_choices[k];
        QList<QStandardItem*> items;
        for (const QString& text : {choice.description, choice.cell3, choice.cell4}) {
            auto* item = new QStandardItem(text);
            item->setData(text, Qt::UserRole);
            items << item;
        }
        items[Description]->setEditable(false);
        // The line's place in m_choices, for the edits and the forgetting.
        items[Description]->setData(static_cast<qulonglong>(k), Qt::UserRole + 1);
        auto* times = new QStandardItem(QString::number(choice.times));
        times->setData(choice.times, Qt::UserRole);
        times->setEditable(false);
        auto* last = new QStandardItem(choice.lastDay);
        last->setData(choice.lastDay, Qt::UserRole);
        last->setEditable(false);
        items << times << last;
        m_model->appendRow(items);
    }
    m_learnings->clear();
    m_learned = m_store.learnings().value_or(std::vector<categories::Learning>{});
    for (const categories::Learning& learning : m_learned)
        m_learnings->addItem(
            QStringLiteral("%1　%2 行（新しい説明 %3 件、変わった分類 %4 件）、今も %5 行")
                .arg(QDateTime::fromSecsSinceEpoch(learning.learnedAt)
                         .toString(QStringLiteral("yyyy/MM/dd HH:mm")))
                .arg(learning.rowsWithCells)
                .arg(learning.newDescriptions)
                .arg(learning.changed)
                .arg(learning.rowsItStillTeaches));
    m_notices = m_store.notices();
    m_loading = false;
}

void CategoriesDialog::cellEdited(QStandardItem* item) {
    if (m_loading || (item->column() != Cell3 && item->column() != Cell4))
        return;
    const auto index = static_cast<std::size_t>(
        m_model->item(item->row(), Description)->data(Qt::UserRole + 1).toULongLong());
    if (index >= m_choices.size())
        return;
    // A TAB or a line break would shift the row's cells when it is filled in.
    const auto cellText = [&](int column) {
        QString text = m_model->item(item->row(), column)->text().trimmed();
        text.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
        return text;
    };
    m_store.changeCells(m_choices[index], cellText(Cell3), cellText(Cell4));
    reload();
}

void CategoriesDialog::forgetSelected() {
    std::vector<std::size_t> chosen;
    for (const QModelIndex& row : m_table->selectionModel()->selectedRows()) {
        const QModelIndex source = m_proxy->mapToSource(row);
        chosen.push_back(static_cast<std::size_t>(
            m_model->item(source.row(), Description)->data(Qt::UserRole + 1).toULongLong()));
    }
    for (const std::size_t index : chosen) {
        if (index < m_choices.size())
            m_store.forgetChoice(m_choices[index]);
    }
    reload();
}

void CategoriesDialog::forgetAll() {
    m_store.forgetAll();
    reload();
}

void CategoriesDialog::takeBackSelectedLearning() {
    const int row = m_learnings->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= m_learned.size())
        return;
    m_store.forgetLearning(m_learned[static_cast<std::size_t>(row)].id);
    reload();
}

} // namespace tallemo
