// The window as a desktop program: the open file's name in the title, the recent list in the
// File menu, and settings files dropped onto the window.
#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <optional>

#include "ui/CTarvexDlg.h"

namespace {

const QString kRecentKey = QStringLiteral("recentFiles");

// The user's settings of the program (~/.config/tarvex/tarvex.conf on Linux).
std::unique_ptr<QSettings> UserSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("tarvex"), QStringLiteral("tarvex"));
}

void StoreRecentFiles(const QStringList& files) {
    UserSettings()->setValue(kRecentKey, files);
}

// The one local settings file a drag carries, or nothing. It is taken only as a copy: a
// drag that offers to move the file only is refused, so the source never deletes it.
std::optional<QString> DraggedSettingsFile(const QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (mime == nullptr || !mime->hasUrls() || !(event->possibleActions() & Qt::CopyAction))
        return std::nullopt;
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls[0].isLocalFile()) return std::nullopt;
    const QString path = urls[0].toLocalFile();
    if (!path.endsWith(QLatin1String(".tcf"), Qt::CaseInsensitive)) return std::nullopt;
    return path;
}

}  // namespace

// ---- Title ------------------------------------------------------------------------------------

void CTarvexDlg::UpdateTitle() {
    if (!hasFilePath) {
        setWindowModified(false);
        setWindowTitle(QStringLiteral("Tarvex"));
        return;
    }
    QString name = QFileInfo(filePath).fileName();
    name.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));  // a literal "[*]"
    setWindowTitle(QStringLiteral("Tarvex - %1[*]").arg(name));
    setWindowModified(!fileContent_ || fileContent_->path != filePath ||
                      fileContent_->record != gyro.workingRecord);
}

void CTarvexDlg::NoteFileContent(const QString& path, bool known) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    if (known) {
        fileContent_ = FileContent{path, gyro.workingRecord};
        files.prepend(path);
    } else if (fileContent_ && fileContent_->path == path) {
        fileContent_.reset();
    }
    StoreRecentFiles(files.mid(0, kRecentFiles));
    UpdateRecentMenu();
    UpdateTitle();
}

// ---- Recent list --------------------------------------------------------------------------------

QStringList CTarvexDlg::RecentFiles() {
    QStringList files = UserSettings()->value(kRecentKey).toStringList();
    files.removeAll(QString());
    files.removeDuplicates();
    return files.mid(0, kRecentFiles);
}

void CTarvexDlg::BuildRecentMenu(QMenu* file) {
    for (int i = 0; i < kRecentFiles; ++i) {
        auto* action = new QAction(this);
        const int id = ids::FileRecent1 + i;
        action->setObjectName(QStringLiteral("a%1").arg(id));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, i] { OnRecentFile(i); });
        file->addAction(action);
        actions_[id] = action;
    }
    file->setToolTipsVisible(true);
    // Another Tarvex may have changed the list since.
    connect(file, &QMenu::aboutToShow, this, [this] { UpdateRecentMenu(); });
    retranslators_.push_back([this] { UpdateRecentMenu(); });
}

void CTarvexDlg::UpdateRecentMenu() {
    const QStringList files = RecentFiles();
    for (int i = 0; i < kRecentFiles; ++i) {
        QAction* action = Action(ids::FileRecent1 + i);
        if (i >= files.size()) {
            // An empty list shows one grayed "Recent File" item.
            action->setVisible(i == 0);
            action->setEnabled(false);
            action->setText(tr("Recent File", "menu"));
            action->setToolTip(QString());
            continue;
        }
        const QString name = QFileInfo(files[i]).fileName();
        const bool sameName = std::count_if(files.begin(), files.end(), [&](const QString& f) {
                                  return QFileInfo(f).fileName() == name;
                              }) > 1;
        QString label = sameName ? QDir::toNativeSeparators(files[i]) : name;
        label.replace(u'&', QLatin1String("&&"));
        action->setText(QStringLiteral("&%1 %2").arg(QString::number(i + 1), label));
        action->setToolTip(QDir::toNativeSeparators(files[i]));
        action->setEnabled(true);
        action->setVisible(true);
    }
}

void CTarvexDlg::OnRecentFile(int index) {
    const QStringList files = RecentFiles();
    if (index >= 0 && index < files.size()) OpenSettingsFile(files[index]);
}

// ---- Dropped files
// -------------------------------------------------------------------------------

void CTarvexDlg::AcceptSettingsFileDrops() {
    setAcceptDrops(true);
    // A line edit that takes text would take a file's path as text instead.
    for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->installEventFilter(this);
}

void CTarvexDlg::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void CTarvexDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (DraggedSettingsFile(event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CTarvexDlg::dropEvent(QDropEvent* event) {
    const std::optional<QString> path = DraggedSettingsFile(event);
    if (!path) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Opened once the drag has ended, so a message box does not hold up the file manager.
    QMetaObject::invokeMethod(
        this, [this, file = *path] { OpenSettingsFile(file); }, Qt::QueuedConnection);
}

bool CTarvexDlg::eventFilter(QObject* watched, QEvent* event) {
    // Files dragged over a line edit are the window's to take or refuse; dragged text stays
    // the line edit's.
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
        static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
        if (type == QEvent::Drop)
            dropEvent(static_cast<QDropEvent*>(event));
        else
            dragMoveEvent(static_cast<QDragMoveEvent*>(event));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
