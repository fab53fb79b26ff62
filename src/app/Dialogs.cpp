#include "app/Dialogs.h"

#include "app/CategoriesDialog.h"

#include "AppError.h"
#include "app/LearnDialog.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace tallemo {

namespace {

constexpr int kInputMaxLength = 255;

// The message box orders its buttons by role, so each carries the index it was asked for at.
constexpr const char* kButtonIndex = "tallemoButtonIndex";

QScreen* screenOf(QWidget* owner) {
    if (owner != nullptr && owner->screen() != nullptr)
        return owner->screen();
    return QGuiApplication::primaryScreen();
}

// The details (the rules files' problems with their patterns) in a monospaced field that does
// not wrap: a label broke a pattern such as (?P<shop>.+) in the middle. It goes between the
// text and the buttons; the message box lays out its grid only when its texts are set, so this
// comes after them.
void addDetailsField(QMessageBox& box, const QString& details) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* buttons = box.findChild<QDialogButtonBox*>();
    if (grid == nullptr || buttons == nullptr) {
        box.setDetailedText(details);
        return;
    }
    auto* field = new QPlainTextEdit(&box);
    field->setObjectName(QStringLiteral("details"));
    field->setReadOnly(true);
    field->setLineWrapMode(QPlainTextEdit::NoWrap);
    field->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    field->setPlainText(details);
    const QFontMetrics metrics(field->font());
    const int lines = static_cast<int>(std::min<qsizetype>(details.count(u'\n') + 1, 10));
    field->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('x')) * 80,
                          metrics.lineSpacing() * (lines + 2));
    const int columns = grid->columnCount();
    grid->removeWidget(buttons);
    const int row = grid->rowCount();
    grid->addWidget(field, row, 0, 1, columns);
    grid->addWidget(buttons, row + 1, 0, 1, columns);
}

} // namespace

DialogRequest confirmationRequest(const QString& message) {
    DialogRequest r;
    r.kind = DialogKind::Confirmation;
    r.title = QStringLiteral("確認");
    r.text = message;
    r.buttons = {QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)")};
    r.defaultButton = 0;
    r.escapeButton = 1;
    return r;
}

DialogRequest destructiveConfirmationRequest(const QString& message) {
    DialogRequest r = confirmationRequest(message);
    r.defaultButton = 1;
    return r;
}

DialogRequest informationRequest(const QString& message) {
    DialogRequest r;
    r.kind = DialogKind::Information;
    r.title = QStringLiteral("情報");
    r.text = message;
    r.buttons = {QStringLiteral("OK")};
    r.defaultButton = 0;
    r.escapeButton = 0;
    return r;
}

DialogRequest rulesProblemsRequest(const QStringList& problems, const QString& folder) {
    DialogRequest r = informationRequest(
        problems.isEmpty()
            ? QStringLiteral("書式ファイルに問題はありません")
            : QStringLiteral("書式ファイルに %1 件の問題があります。直したファイルは保存すると"
                             "読み直されます")
                  .arg(problems.size()));
    if (!folder.isEmpty()) {
        r.text += QStringLiteral("\n書式ファイルのフォルダ: %1").arg(folder);
        r.buttons << QStringLiteral("フォルダを開く");
    }
    r.title = QStringLiteral("書式ファイルの問題");
    r.kind = problems.isEmpty() ? DialogKind::Information : DialogKind::Error;
    r.details = problems.join(u'\n');
    return r;
}

DialogRequest errorRequest(const QString& title, const QString& message) {
    DialogRequest r;
    r.kind = DialogKind::Error;
    r.title = title;
    r.text = errorBoxText(message);
    r.buttons = {QStringLiteral("OK")};
    r.defaultButton = 0;
    r.escapeButton = 0;
    return r;
}

DialogRequest inputRequest(const QString& title, const QString& prompt, const QString& initial) {
    DialogRequest r;
    r.kind = DialogKind::Input;
    r.title = title;
    r.text = prompt;
    r.buttons = {QStringLiteral("OK"), QStringLiteral("キャンセル")};
    r.defaultButton = 0;
    r.escapeButton = 1;
    r.initialText = initial;
    r.maxLength = kInputMaxLength;
    return r;
}

bool askConfirmation(Dialogs& dialogs, QWidget* owner, const QString& message) {
    return dialogs.show(owner, confirmationRequest(message)).button == 0;
}

bool askDestructiveConfirmation(Dialogs& dialogs, QWidget* owner, const QString& message) {
    return dialogs.show(owner, destructiveConfirmationRequest(message)).button == 0;
}

void showInformation(Dialogs& dialogs, QWidget* owner, const QString& message) {
    dialogs.show(owner, informationRequest(message));
}

void showError(Dialogs& dialogs, QWidget* owner, const QString& title, const QString& message) {
    dialogs.show(owner, errorRequest(title, message));
}

QString inputBox(Dialogs& dialogs, QWidget* owner, const QString& title, const QString& prompt,
                 const QString& initial) {
    const DialogAnswer answer = dialogs.show(owner, inputRequest(title, prompt, initial));
    return answer.button == 0 ? answer.text : initial;
}

QString applicationTitle(const QString& programFilePath) {
    QString name = programFilePath.mid(programFilePath.lastIndexOf(u'/') + 1);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

InputDialog::InputDialog(QWidget* owner, const DialogRequest& request)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_field(new QLineEdit(this)), m_initial(request.initialText) {
    setWindowTitle(request.title);

    auto* prompt = new QLabel(request.text, this);
    prompt->setTextFormat(Qt::PlainText);
    prompt->setBuddy(m_field);

    // A stored value longer than the limit (edited in the file by hand) must survive "OK"
    // untouched, so the limit never cuts the initial text.
    m_field->setMaxLength(
        std::max(request.maxLength > 0 ? request.maxLength : kInputMaxLength,
                 static_cast<int>(std::min<qsizetype>(request.initialText.size(), 32767))));
    m_field->setText(request.initialText);
    m_field->selectAll();
    m_field->setMinimumWidth(fontMetrics().averageCharWidth() * 40);

    auto* buttons = new QDialogButtonBox(this);
    for (int i = 0; i < request.buttons.size(); ++i) {
        const auto role =
            i == request.escapeButton ? QDialogButtonBox::RejectRole : QDialogButtonBox::AcceptRole;
        QPushButton* button = buttons->addButton(request.buttons[i], role);
        button->setDefault(i == request.defaultButton);
        button->setAutoDefault(i == request.defaultButton);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(prompt);
    layout->addWidget(m_field);
    layout->addWidget(buttons);

    adjustSize();
    if (QScreen* screen = screenOf(owner))
        move(screen->availableGeometry().center() - rect().center());
    m_field->setFocus();
}

QString InputDialog::answerText() const {
    return result() == QDialog::Accepted ? m_field->text() : m_initial;
}

std::unique_ptr<QMessageBox> createMessageBox(QWidget* owner, const DialogRequest& request) {
    auto box = std::make_unique<QMessageBox>(owner);
    box->setWindowTitle(request.title);
    box->setTextFormat(Qt::PlainText);
    box->setText(request.text);
    switch (request.kind) {
    case DialogKind::Confirmation:
        box->setIcon(QMessageBox::Question);
        break;
    case DialogKind::Error:
        box->setIcon(QMessageBox::Critical);
        break;
    case DialogKind::Information:
    case DialogKind::Input:
        box->setIcon(QMessageBox::Information);
        break;
    }
    const bool question = request.kind == DialogKind::Confirmation;
    for (int i = 0; i < request.buttons.size(); ++i) {
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
        if (question)
            role = i == 0 ? QMessageBox::YesRole : QMessageBox::NoRole;
        QPushButton* button = box->addButton(request.buttons[i], role);
        button->setProperty(kButtonIndex, i);
        if (i == request.defaultButton)
            box->setDefaultButton(button);
        if (i == request.escapeButton)
            box->setEscapeButton(button);
    }
    if (!request.details.isEmpty())
        addDetailsField(*box, request.details);
    return box;
}

DialogAnswer QtDialogs::show(QWidget* owner, const DialogRequest& request) {
    DialogAnswer answer;
    if (request.kind == DialogKind::Input) {
        InputDialog dialog(owner, request);
        answer.button = dialog.exec() == QDialog::Accepted ? 0 : request.escapeButton;
        answer.text = dialog.answerText();
        return answer;
    }
    const auto box = createMessageBox(owner, request);
    box->exec();
    if (const QAbstractButton* clicked = box->clickedButton())
        answer.button = clicked->property(kButtonIndex).toInt();
    return answer;
}

bool QtDialogs::runLearnDialog(LearnDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

void Dialogs::runCategoriesDialog(CategoriesDialog& dialog) {
    dialog.exec();
}

} // namespace tallemo
