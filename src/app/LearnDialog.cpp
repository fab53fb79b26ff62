#include "app/LearnDialog.h"

#include "app/Dialogs.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace tallemo {

namespace {

// The line model counts the blank lines of a selection; the learner passes over them.
std::vector<int> nonBlankLineIndexes(const QStringList& lines) {
    std::vector<int> indexes;
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].trimmed().isEmpty())
            indexes.push_back(i);
    }
    return indexes;
}

} // namespace

LearnDialog::LearnDialog(QWidget* owner, Dialogs& dialogs, QStringList exampleLines,
                         QString statement, QStringList takenIds, QString kindsFolder)
    : QDialog(owner), m_dialogs(dialogs), m_exampleLines(std::move(exampleLines)),
      m_statement(std::move(statement)), m_takenIds(std::move(takenIds)),
      m_kindsFolder(std::move(kindsFolder)) {
    setObjectName(QStringLiteral("LearnDialog"));
    setWindowTitle(QStringLiteral("例から書式を作る"));
    if (owner != nullptr)
        setFont(owner->font());
    resize(780, 740);

    m_example = new QTextEdit(this);
    m_example->setObjectName(QStringLiteral("LearnExample"));
    m_example->setReadOnly(true);
    m_example->setLineWrapMode(QTextEdit::NoWrap);
    m_example->setPlainText(m_exampleLines.join(u'\n'));
    m_example->setMaximumHeight(120);

    m_row = new QTableWidget(2, 0, this);
    m_row->setObjectName(QStringLiteral("LearnRow"));
    m_row->setVerticalHeaderLabels({QStringLiteral("セル"), QStringLiteral("文字のまま")});
    m_row->verticalHeader()->setMinimumWidth(
        m_row->fontMetrics().horizontalAdvance(QStringLiteral("文字のまま")) + 16);
    // Both rows and a scroll bar for a long row, whatever the font.
    m_row->setFixedHeight(m_row->horizontalHeader()->sizeHint().height() +
                          2 * m_row->verticalHeader()->defaultSectionSize() +
                          m_row->horizontalScrollBar()->sizeHint().height() +
                          2 * m_row->frameWidth());
    auto* addCell = new QPushButton(QStringLiteral("セルを追加(&A)"), this);
    auto* removeCell = new QPushButton(QStringLiteral("最後のセルを削除(&D)"), this);

    m_caption = new QLineEdit(learn::kDefaultLearnedCaption, this);
    m_caption->setObjectName(QStringLiteral("LearnCaption"));
    m_id = new QLineEdit(this);
    m_id->setObjectName(QStringLiteral("LearnId"));
    m_id->setText(learn::idFromCaption(m_caption->text(), m_takenIds));

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("LearnStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_previewModel = new QStandardItemModel(this);
    m_preview = new QTableView(this);
    m_preview->setObjectName(QStringLiteral("LearnPreview"));
    m_preview->setModel(m_previewModel);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_missed = new QListWidget(this);
    m_missed->setObjectName(QStringLiteral("LearnMissed"));
    m_missed->setMaximumHeight(64);
    m_notes = new QLabel(this);
    m_notes->setTextFormat(Qt::PlainText);
    m_notes->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_saveButton = buttons->addButton(QStringLiteral("保存(&S)"), QDialogButtonBox::AcceptRole);
    m_saveButton->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);

    auto* exampleLabel =
        new QLabel(QStringLiteral("例にした明細（色の付いた所が行のセルになります）"), this);
    auto* rowLabel = new QLabel(QStringLiteral("この明細から作る行(&R)"), this);
    rowLabel->setBuddy(m_row);
    auto* names = new QFormLayout;
    auto* captionLabel = new QLabel(QStringLiteral("書式の名前(&N)"), this);
    captionLabel->setBuddy(m_caption);
    auto* idLabel = new QLabel(QStringLiteral("ID(&I)"), this);
    idLabel->setBuddy(m_id);
    names->addRow(captionLabel, m_caption);
    names->addRow(idLabel, m_id);
    auto* cellButtons = new QHBoxLayout;
    cellButtons->addWidget(addCell);
    cellButtons->addWidget(removeCell);
    cellButtons->addStretch();
    auto* previewLabel = new QLabel(QStringLiteral("貼り付けた文章全体から作られる行(&P)"), this);
    previewLabel->setBuddy(m_preview);
    auto* missedLabel = new QLabel(QStringLiteral("明細の始まりに見えて合わなかった行"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(exampleLabel);
    layout->addWidget(m_example);
    layout->addWidget(rowLabel);
    layout->addWidget(m_row);
    layout->addLayout(cellButtons);
    layout->addLayout(names);
    layout->addWidget(previewLabel);
    layout->addWidget(m_status);
    layout->addWidget(m_preview, 1);
    layout->addWidget(missedLabel);
    layout->addWidget(m_missed);
    layout->addWidget(m_notes);
    layout->addWidget(buttons);

    m_relearnTimer = new QTimer(this);
    m_relearnTimer->setSingleShot(true);
    m_relearnTimer->setInterval(250);
    connect(m_relearnTimer, &QTimer::timeout, this, &LearnDialog::relearn);
    connect(m_row, &QTableWidget::itemChanged, this, &LearnDialog::scheduleRelearn);
    connect(m_caption, &QLineEdit::textEdited, this, [this](const QString& caption) {
        if (!m_idEdited)
            m_id->setText(learn::idFromCaption(caption, m_takenIds));
        scheduleRelearn();
    });
    connect(m_id, &QLineEdit::textEdited, this, [this] {
        m_idEdited = true;
        scheduleRelearn();
    });
    connect(addCell, &QPushButton::clicked, this, [this] {
        QStringList current = cells();
        current << QString();
        setColumns(current);
        scheduleRelearn();
    });
    connect(removeCell, &QPushButton::clicked, this, [this] {
        QStringList current = cells();
        if (current.size() > 1) {
            current.removeLast();
            setColumns(current);
            scheduleRelearn();
        }
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { save(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The first proposal: a row in the card statement's layout.
    relearn();
    if (m_learned)
        setColumns(m_learned->cells);
    else
        setColumns({QString(), QString(), QString(), QString(), QString()});
}

QStringList LearnDialog::cells() const {
    QStringList cells;
    for (int c = 0; c < m_row->columnCount(); ++c) {
        const QTableWidgetItem* item = m_row->item(0, c);
        cells << (item != nullptr ? item->text() : QString());
    }
    return cells;
}

void LearnDialog::setColumns(const QStringList& cellTexts) {
    const QSignalBlocker blocker(m_row);
    QList<bool> literal;
    for (int c = 0; c < m_row->columnCount(); ++c) {
        const QTableWidgetItem* item = m_row->item(1, c);
        literal << (item != nullptr && item->checkState() == Qt::Checked);
    }
    m_row->setColumnCount(static_cast<int>(cellTexts.size()));
    QStringList headers;
    for (int c = 0; c < cellTexts.size(); ++c) {
        headers << QString::number(c + 1);
        m_row->setItem(0, c, new QTableWidgetItem(cellTexts[c]));
        auto* check = new QTableWidgetItem();
        check->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        check->setCheckState(c < literal.size() && literal[c] ? Qt::Checked : Qt::Unchecked);
        m_row->setItem(1, c, check);
    }
    m_row->setHorizontalHeaderLabels(headers);
}

void LearnDialog::setCell(int column, const QString& text) {
    if (column >= m_row->columnCount()) {
        QStringList current = cells();
        while (current.size() <= column)
            current << QString();
        setColumns(current);
    }
    m_row->item(0, column)->setText(text);
}

void LearnDialog::setCellLiteral(int column, bool literal) {
    m_row->item(1, column)->setCheckState(literal ? Qt::Checked : Qt::Unchecked);
}

void LearnDialog::setCaption(const QString& caption) {
    m_caption->setText(caption);
    if (!m_idEdited)
        m_id->setText(learn::idFromCaption(caption, m_takenIds));
    scheduleRelearn();
}

QString LearnDialog::id() const {
    return m_id->text().trimmed();
}

void LearnDialog::scheduleRelearn() {
    m_relearnTimer->start();
}

void LearnDialog::relearn() {
    m_relearnTimer->stop();
    learn::LearnRequest request;
    request.exampleLines = m_exampleLines;
    request.statement = m_statement;
    if (m_row->columnCount() > 0) {
        request.wantedCells = cells();
        for (int c = 0; c < m_row->columnCount(); ++c) {
            if (m_row->item(1, c) != nullptr && m_row->item(1, c)->checkState() == Qt::Checked)
                request.literalCells.insert(c);
        }
    }
    request.caption = m_caption->text();
    request.id = id();
    request.takenIds = m_takenIds;
    for (const StatementKind& builtIn : builtInKinds())
        request.builtInIds << builtIn.id;
    std::variant<learn::LearnedKind, QString> learned = learn::learnKind(request);
    if (auto* kind = std::get_if<learn::LearnedKind>(&learned)) {
        m_learned = std::move(*kind);
        m_problem.clear();
    } else {
        m_learned.reset();
        m_problem = std::get<QString>(learned);
    }
    showLearned();
}

void LearnDialog::showLearned() {
    // The example with the stretches that became fields marked.
    m_example->setPlainText(m_exampleLines.join(u'\n'));
    m_previewModel->clear();
    m_missed->clear();
    m_saveButton->setEnabled(m_learned.has_value());
    if (!m_learned) {
        m_status->setText(m_problem);
        m_notes->clear();
        return;
    }
    const learn::LearnedKind& kind = *m_learned;
    const std::vector<int> lineOf = nonBlankLineIndexes(m_exampleLines);
    QTextCharFormat marked;
    marked.setBackground(QColor(0xFF, 0xE0, 0x80));
    for (const learn::LearnedField& field : kind.fields) {
        const int line = lineOf[static_cast<std::size_t>(field.line)];
        int position = 0;
        for (int i = 0; i < line; ++i)
            position += static_cast<int>(m_exampleLines[i].size()) + 1;
        QTextCursor cursor(m_example->document());
        cursor.setPosition(position + field.start);
        cursor.setPosition(position + field.start + field.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(marked);
    }

    QString status =
        QStringLiteral("%1 件の明細から %2 行").arg(kind.entries).arg(kind.rows.size());
    if (!kind.skippedEntries.empty())
        status += QStringLiteral("（%1 件は日付か金額を読めず、行になりません）")
                      .arg(kind.skippedEntries.size());
    m_status->setText(status);
    m_previewModel->setColumnCount(static_cast<int>(kind.cells.size()));
    for (const QStringList& row : kind.rows) {
        QList<QStandardItem*> items;
        for (const QString& cell : row)
            items << new QStandardItem(cell);
        m_previewModel->appendRow(items);
    }
    // Each line with the part that failed, so that the user sees what to change.
    for (const QString& nearMiss : kind.nearMisses)
        m_missed->addItem(nearMiss);
    m_notes->setText((kind.warnings + kind.notes).join(u'\n'));
}

bool LearnDialog::save() {
    relearn();
    if (!m_learned)
        return false;
    const QString path = m_kindsFolder + u'/' + m_learned->id + QStringLiteral(".toml");
    if (QFileInfo::exists(path) &&
        !askConfirmation(m_dialogs, this,
                         QStringLiteral("%1 はもうあります。置き換えますか?").arg(path)))
        return false;
    QDir().mkpath(m_kindsFolder);
    QSaveFile file(path);
    const QByteArray bytes = m_learned->fileText.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        showError(m_dialogs, this, windowTitle(),
                  QStringLiteral("%1 を保存できませんでした: %2").arg(path, file.errorString()));
        return false;
    }
    m_savedPath = path;
    accept();
    return true;
}

} // namespace tallemo
