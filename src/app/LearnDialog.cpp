#include "app/LearnDialog.h"

#include "app/DocumentText.h"

#include "app/Dialogs.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

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
    : QDialog(owner), m_dialogs(dialogs), m_examples{std::move(exampleLines)},
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
    m_example->setMaximumHeight(120);
    // The whole pasted text, where the user selects a further example.
    m_source = new QPlainTextEdit(this);
    m_source->setObjectName(QStringLiteral("LearnSource"));
    m_source->setReadOnly(true);
    m_source->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_source->setPlainText(m_statement);
    m_source->setMaximumHeight(120);
    auto* addExampleButton = new QPushButton(QStringLiteral("例を追加(&E)"), this);
    addExampleButton->setObjectName(QStringLiteral("LearnAddExample"));

    m_row = new QTableWidget(2, 0, this);
    m_row->setObjectName(QStringLiteral("LearnRow"));
    m_row->verticalHeader()->setMinimumWidth(
        m_row->fontMetrics().horizontalAdvance(QStringLiteral("例 9 のセル")) + 16);
    // Each cell as wide as its text, the row as wide as the dialog while it fits.
    m_row->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_row->horizontalHeader()->setStretchLastSection(true);
    // Tab leaves the table after the row's last cell rather than walk the 文字のまま boxes.
    m_row->installEventFilter(this);
    connect(m_row->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget* /*editor*/, QAbstractItemDelegate::EndEditHint hint) {
                // The view has moved on from the row's last cell to the 文字のまま boxes below.
                const QModelIndex current = m_row->currentIndex();
                if (hint == QAbstractItemDelegate::EditNextItem && current.row() % 2 == 1) {
                    m_row->setCurrentCell(current.row() - 1, m_row->columnCount() - 1);
                    focusNextChild();
                }
            });
    showExamples();
    auto* literalHint = new QLabel(
        QStringLiteral("文字のまま: 印を付けたセルは、例の中に同じ文字があっても明細から取らず、"
                       "どの行でも書いたとおりの文字になります"),
        this);
    literalHint->setObjectName(QStringLiteral("LearnLiteralHint"));
    literalHint->setWordWrap(true);
    auto* addCell = new QPushButton(QStringLiteral("セルを追加(&A)"), this);
    auto* removeCell = new QPushButton(QStringLiteral("最後のセルを削除(&D)"), this);

    m_caption =
        new QLineEdit(learn::proposeCaption(m_statement, m_examples.front(), m_takenIds), this);
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
    m_preview->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_preview->horizontalHeader()->setStretchLastSection(true);
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
    auto* sourceLabel = new QLabel(
        QStringLiteral("貼り付けた文章（別の形の 1 件を選んで「例を追加」を押すと、その行も"
                       "作れる書式にします）"),
        this);
    sourceLabel->setWordWrap(true);
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
    layout->addWidget(sourceLabel);
    layout->addWidget(m_source);
    auto* exampleButtons = new QHBoxLayout;
    exampleButtons->addWidget(addExampleButton);
    exampleButtons->addStretch();
    layout->addLayout(exampleButtons);
    layout->addWidget(rowLabel);
    layout->addWidget(m_row);
    layout->addWidget(literalHint);
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
    connect(addExampleButton, &QPushButton::clicked, this, [this] {
        const QStringList lines = selectedSourceLines();
        if (!addExample(lines))
            m_status->setText(QStringLiteral("例にする明細の 1 件分の行を貼り付けた文章で選んでから"
                                             "「例を追加」を押してください"));
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

QStringList LearnDialog::cells(int example) const {
    QStringList cells;
    for (int c = 0; c < m_row->columnCount(); ++c) {
        const QTableWidgetItem* item = m_row->item(2 * example, c);
        cells << (item != nullptr ? item->text() : QString());
    }
    return cells;
}

// Each example has two rows in the table: its cells and whether each stays typed text.
void LearnDialog::showExamples() {
    QStringList shown;
    QStringList headers;
    for (std::size_t e = 0; e < m_examples.size(); ++e) {
        if (m_examples.size() > 1)
            shown << QStringLiteral("── 例 %1 ──").arg(e + 1);
        shown << m_examples[e];
        headers << (e == 0 ? QStringLiteral("セル") : QStringLiteral("例 %1 のセル").arg(e + 1))
                << QStringLiteral("文字のまま");
    }
    m_example->setPlainText(shown.join(u'\n'));
    const QSignalBlocker blocker(m_row);
    const int columns = m_row->columnCount();
    m_row->setRowCount(static_cast<int>(headers.size()));
    m_row->setVerticalHeaderLabels(headers);
    for (int r = 1; r < m_row->rowCount(); r += 2)
        m_row->verticalHeaderItem(r)->setToolTip(
            QStringLiteral("印を付けたセルは、例の中に同じ文字があっても明細から取らず、"
                           "どの行でも書いたとおりの文字になります"));
    setColumnCount(columns);
    // Every row whole, with a scroll bar for a long row, whatever the font and style.
    m_row->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int rowHeight =
        std::max(m_row->verticalHeader()->defaultSectionSize(), m_row->fontMetrics().height() + 10);
    for (int r = 0; r < m_row->rowCount(); ++r)
        m_row->setRowHeight(r, rowHeight);
    const int headerHeight =
        std::max(m_row->horizontalHeader()->sizeHint().height(), m_row->fontMetrics().height() + 8);
    m_row->setFixedHeight(headerHeight + m_row->rowCount() * rowHeight +
                          m_row->horizontalScrollBar()->sizeHint().height() +
                          2 * m_row->frameWidth() + 2);
}

// Fills the cells that have no item yet: texts empty, literal boxes unchecked.
void LearnDialog::setColumnCount(int count) {
    const QSignalBlocker blocker(m_row);
    m_row->setColumnCount(count);
    QStringList headers;
    for (int c = 0; c < count; ++c) {
        headers << QString::number(c + 1);
        for (int r = 0; r < m_row->rowCount(); r += 2) {
            if (m_row->item(r, c) == nullptr)
                m_row->setItem(r, c, new QTableWidgetItem());
            if (m_row->item(r + 1, c) == nullptr) {
                auto* check = new QTableWidgetItem();
                check->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
                check->setCheckState(Qt::Unchecked);
                m_row->setItem(r + 1, c, check);
            }
        }
    }
    m_row->setHorizontalHeaderLabels(headers);
}

void LearnDialog::setColumns(const QStringList& cellTexts) {
    const QSignalBlocker blocker(m_row);
    setColumnCount(static_cast<int>(cellTexts.size()));
    for (int c = 0; c < cellTexts.size(); ++c)
        m_row->item(0, c)->setText(cellTexts[c]);
}

void LearnDialog::setCell(int example, int column, const QString& text) {
    if (column >= m_row->columnCount())
        setColumnCount(column + 1);
    m_row->item(2 * example, column)->setText(text);
}

void LearnDialog::setCellLiteral(int example, int column, bool literal) {
    m_row->item(2 * example + 1, column)->setCheckState(literal ? Qt::Checked : Qt::Unchecked);
}

bool LearnDialog::eventFilter(QObject* watched, QEvent* event) {
    const auto* key = dynamic_cast<const QKeyEvent*>(event);
    if (watched == m_row && key != nullptr && event->type() == QEvent::KeyPress) {
        const QModelIndex current = m_row->currentIndex();
        const bool lastCell = !current.isValid() || current.column() == m_row->columnCount() - 1 ||
                              current.row() % 2 == 1;
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && lastCell) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool LearnDialog::addExample(const QStringList& lines) {
    if (std::all_of(lines.begin(), lines.end(),
                    [](const QString& line) { return line.trimmed().isEmpty(); }))
        return false;
    m_examples.push_back(lines);
    showExamples();
    scheduleRelearn();
    return true;
}

QStringList LearnDialog::selectedSourceLines() const {
    const QTextCursor cursor = m_source->textCursor();
    if (!cursor.hasSelection())
        return {};
    return selectedWholeLines(cursor);
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
    request.statement = m_statement;
    std::vector<learn::LearnExample> examples;
    for (int e = 0; e < exampleCount(); ++e) {
        learn::LearnExample example{m_examples[static_cast<std::size_t>(e)], {}, {}};
        if (m_row->columnCount() > 0) {
            example.wantedCells = cells(e);
            for (int c = 0; c < m_row->columnCount(); ++c) {
                const QTableWidgetItem* literal = m_row->item(2 * e + 1, c);
                if (literal != nullptr && literal->checkState() == Qt::Checked)
                    example.literalCells.insert(c);
            }
        }
        // A further example whose row is not typed yet asks for it rather than a proposal.
        if (e > 0 && std::all_of(example.wantedCells.begin(), example.wantedCells.end(),
                                 [](const QString& cell) { return cell.isEmpty(); }))
            example.wantedCells.clear();
        examples.push_back(std::move(example));
    }
    request.caption = m_caption->text();
    request.id = id();
    request.takenIds = m_takenIds;
    for (const StatementKind& builtIn : builtInKinds())
        request.builtInIds << builtIn.id;
    std::variant<learn::LearnedKind, QString> learned =
        learn::learnKindFromExamples(examples, request);
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
    showExamples();
    m_previewModel->clear();
    m_missed->clear();
    m_saveButton->setEnabled(m_learned.has_value());
    if (!m_learned) {
        m_status->setText(m_problem);
        m_notes->clear();
        return;
    }
    const learn::LearnedKind& kind = *m_learned;
    const QStringList& firstExample = m_examples.front();
    const std::vector<int> lineOf = nonBlankLineIndexes(firstExample);
    // The first example stands after its heading when there are several.
    const int headingLength =
        m_examples.size() > 1 ? static_cast<int>(QStringLiteral("── 例 1 ──").size()) + 1 : 0;
    QTextCharFormat marked;
    marked.setBackground(QColor(0xFF, 0xE0, 0x80));
    for (const learn::LearnedField& field : kind.fields) {
        const int line = lineOf[static_cast<std::size_t>(field.line)];
        int position = headingLength;
        for (int i = 0; i < line; ++i)
            position += static_cast<int>(firstExample[i].size()) + 1;
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
