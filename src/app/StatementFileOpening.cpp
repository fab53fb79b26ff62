// ファイルを開く… and files dropped on the window: a statement file's text into the text area.

#include "app/TForm1.h"

#include "AppError.h"
#include "app/DocumentText.h"
#include "converters/StatementKinds.h"
#include "files/StatementDecoding.h"
#include "settings/IniSettings.h"
#include "text/LineModel.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

namespace tallemo {

namespace {

// The window holds the whole file and its text at once; larger files are the companion's.
constexpr qint64 kMaxWindowFileSize = qint64{64} * 1024 * 1024;

const QString kFileSection = QStringLiteral("File");
const QString kLastFolderKey = QStringLiteral("LastFolder");

// The local file a drag carries, when it carries exactly one.
QString droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return {};
    return urls.front().toLocalFile();
}

QString askForFile(QWidget* owner, const QString& folder) {
    return QFileDialog::getOpenFileName(owner, QStringLiteral("明細のファイルを開く"), folder,
                                        QStringLiteral("CSV・テキスト (*.csv *.txt);;"
                                                       "すべてのファイル (*)"));
}

} // namespace

void TForm1::OpenFileExecute(QObject* /*Sender*/) {
    const QString folder = ReadIniString(FIniFileName, kFileSection, kLastFolderKey, QString());
    const QString start =
        !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
    const QString path =
        m_chooseStatementFile ? m_chooseStatementFile(this, start) : askForFile(this, start);
    if (path.isEmpty())
        return;
    openStatementFile(path);
}

void TForm1::openStatementFile(const QString& path) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (info.isDir()) {
        showMessage(
            QStringLiteral("%1 はフォルダーです。明細のファイルを選んでください").arg(name));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage(QStringLiteral("%1 を読めません（%2）").arg(name, file.errorString()));
        return;
    }
    const auto tooLarge = [&] {
        showMessage(QStringLiteral("%1 は大きすぎます（ウィンドウで開けるのは 64 MiB まで、"
                                   "tallemo-convert ならどの大きさでも読めます）")
                        .arg(name));
    };
    if (file.size() > kMaxWindowFileSize) {
        tooLarge();
        return;
    }
    // One byte more than allowed tells a file whose size was not known up front (a pipe).
    const QByteArray bytes = file.read(kMaxWindowFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        showMessage(QStringLiteral("%1 を読めません（%2）").arg(name, file.errorString()));
        return;
    }
    if (bytes.size() > kMaxWindowFileSize) {
        tooLarge();
        return;
    }
    const auto decoded = decodeStatement(bytes);
    if (const auto* refused = std::get_if<UndecodableText>(&decoded)) {
        showMessage(QStringLiteral("%1 は UTF-8 でも Windows-31J でもありません（%2 行目、"
                                   "オフセット %3 のバイトから UTF-8 ではありません）")
                        .arg(name)
                        .arg(refused->line)
                        .arg(refused->firstByteNotUtf8));
        return;
    }
    const auto& read = std::get<DecodedText>(decoded);
    // The text ends at its first NUL, as a paste's would.
    const qsizetype nul = read.text.indexOf(QChar(u'\0'));
    const QString text = nul < 0 ? read.text : read.text.left(nul);

    setDocumentText(*Memo1->document(), text);
    Memo1->moveCursor(QTextCursor::End);
    // The folder is a convenience for the next time: a settings file that cannot be written
    // must not turn a file that was read into an error.
    try {
        WriteIniString(FIniFileName, kFileSection, kLastFolderKey, info.absolutePath());
    } catch (const AppError&) {
    }

    QString message = QStringLiteral("%1 を開きました（%2、%3 行）")
                          .arg(name, encodingName(read.encoding))
                          .arg(pastedLineCount(text));
    const std::vector<RankedKind> ranked = m_kinds->rank(LineModel::fromPastedText(text));
    std::optional<KindMention> suggestion;
    if (!ranked.empty()) {
        const StatementKind& kind = *ranked.front().kind;
        message += u'。';
        suggestion = KindMention{kind.id, message.size(), kind.caption.size()};
        message += QStringLiteral("%1の明細のようです").arg(kind.caption);
    }
    showMessage(message, suggestion);
}

bool TForm1::handleFileDrop(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = dynamic_cast<QDragMoveEvent*>(event);
        if (drag == nullptr || droppedFile(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = dynamic_cast<QDropEvent*>(event);
        const QString path = drop == nullptr ? QString() : droppedFile(drop->mimeData());
        if (path.isEmpty())
            return false;
        drop->acceptProposedAction();
        run([this, path] { openStatementFile(path); });
        return true;
    }
    default:
        return false;
    }
}

} // namespace tallemo
