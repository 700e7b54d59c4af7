#include "ui/frmFolder.h"

#include "base/CrLf.h"
#include "base/Platform.h"
#include "base/SaveVolumes.h"
#include "base/Cp932.h"
#include "ui/OkButtons.h"
#include "ui/WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int DirListWidth = 260;
constexpr int DirListHeight = 240;

// The settings dialog shows native separators; inside, paths are clean, absolute and use '/'.
QString internalPath(const QString& text)
{
    if (text.isEmpty()) {
        return QString();
    }
    return QDir::cleanPath(QFileInfo(QDir::fromNativeSeparators(text)).absoluteFilePath());
}

// Without per-drive current directories, the process's current directory stands for the drive it lies on and
// every other drive starts at its root.
QString driveCurrentDirectory(const QString& rootPath)
{
    const QString current = QDir::currentPath();
    if (QStorageInfo(current).rootPath() == rootPath) {
        return current;
    }
    return rootPath;
}

} // namespace

frmFolder::frmFolder(const QString& startFolder, QWidget* owner, QWidget* mainWindow, MessageSink& messages)
    : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      m_startFolder(startFolder), m_ownerLock(this, owner, OwnerLock::OnRelease::EnableAndActivate),
      m_mainWindow(mainWindow), m_messages(messages)
{
    setObjectName(QStringLiteral("frmFolder"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("保存ﾌｫﾙﾀﾞ"));
    if (mainWindow != nullptr) {
        connect(mainWindow, &QObject::destroyed, this, &QObject::deleteLater);
    }
    buildControls();
    adjustSize();
    setFixedSize(size());
}

frmFolder* frmFolder::open(const QString& startFolder, QWidget* owner, QWidget* mainWindow, MessageSink& messages)
{
    auto* picker = new frmFolder(startFolder, owner, mainWindow, messages);
    picker->Form_Load();
    picker->show();
    return picker;
}

QString frmFolder::path() const
{
    return QDir::toNativeSeparators(m_dirPath);
}

void frmFolder::buildControls()
{
    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    for (const QString& root : saveVolumeRoots()) {
        Drive1->addItem(QDir::toNativeSeparators(root), root);
    }
    connect(Drive1, &QComboBox::currentIndexChanged, this, &frmFolder::Drive1_Change);

    Dir1 = new QTreeWidget(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setHeaderHidden(true);
    Dir1->setRootIsDecorated(false);
    Dir1->setItemsExpandable(false);
    Dir1->setExpandsOnDoubleClick(false);
    // The open path is always shown expanded: no fold arrows.
    Dir1->setStyleSheet(QStringLiteral("QTreeView::branch { image: none; }"));
    Dir1->setFixedSize(DirListWidth, DirListHeight);
    // Long or deep folder names scroll sideways instead of being cut to look alike.
    Dir1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Dir1->header()->setStretchLastSection(false);
    Dir1->installEventFilter(this);
    // A single click only highlights; the folder that is open changes on a double-click.
    connect(Dir1, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { Dir1_DblClick(item); });

    cmdOK = makeOkButtons(this, [this](int index) { cmdOK_Click(index); });

    auto* root = new QHBoxLayout(this);
    auto* lists = new QVBoxLayout;
    lists->addWidget(Drive1);
    lists->addWidget(Dir1);
    root->addLayout(lists);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK[0]);
    buttons->addWidget(cmdOK[1]);
    buttons->addStretch(1);
    root->addLayout(buttons);
}

void frmFolder::Form_Load()
{
    if (m_mainWindow) {
        centreOver(this, m_mainWindow);
    }
    m_ownerLock.lock();
    ShowStartFolder();
}

void frmFolder::ShowStartFolder()
{
    // A folder that cannot be shown falls back without a message; only a failing drive change reports.
    if (!showFolder(m_startFolder)) {
        showFolder(QDir::currentPath());
    }
}

bool frmFolder::showFolder(const QString& folder)
{
    const QString path = internalPath(folder);
    if (path.isEmpty()) {
        return false;
    }
    const QStorageInfo volume(path);
    if (!volume.isValid()) {
        return false;
    }
    // Choosing another drive runs Drive1_Change first, as picking it by hand would.
    Drive1->setCurrentIndex(driveIndex(volume.rootPath()));
    return !setDirPath(path).has_value();
}

int frmFolder::driveIndex(const QString& rootPath)
{
    const int found = Drive1->findData(rootPath, PathRole);
    if (found >= 0) {
        return found;
    }
    // A volume the list left out (a pseudo or hidden mount) is still a place the user may have chosen.
    const QSignalBlocker blocker(Drive1);
    Drive1->addItem(QDir::toNativeSeparators(rootPath), rootPath);
    return Drive1->count() - 1;
}

void frmFolder::Drive1_Change()
{
    const QString root = Drive1->currentData(PathRole).toString();
    if (const auto error = setDirPath(driveCurrentDirectory(root))) {
        QApplication::beep();
        reportError(*error);
    }
}

void frmFolder::Dir1_DblClick(QTreeWidgetItem* item)
{
    if (item == nullptr) {
        return;
    }
    if (const auto error = setDirPath(item->data(0, PathRole).toString())) {
        QApplication::beep();
        reportError(*error);
    }
}

std::optional<SystemError> frmFolder::setDirPath(const QString& folder)
{
    if (auto error = checkFolder(folder)) {
        return error;
    }

    m_dirPath = folder;
    Dir1->clear();

    QStringList chain;
    QDir walker(folder);
    while (true) {
        chain.prepend(walker.absolutePath());
        if (walker.isRoot() || !walker.cdUp()) {
            break;
        }
    }
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem* open = nullptr;
    for (const QString& step : chain) {
        auto* item = open == nullptr ? new QTreeWidgetItem(Dir1) : new QTreeWidgetItem(open);
        const QDir dir(step);
        item->setText(0, dir.isRoot() ? QDir::toNativeSeparators(step) : dir.dirName());
        item->setData(0, PathRole, step);
        item->setIcon(0, openIcon);
        open = item;
    }
    const QFileInfoList subfolders = QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                                QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo& info : subfolders) {
        auto* item = new QTreeWidgetItem(open);
        item->setText(0, info.fileName());
        item->setData(0, PathRole, QDir::cleanPath(info.absoluteFilePath()));
        item->setIcon(0, closedIcon);
    }
    Dir1->expandAll();
    Dir1->setCurrentItem(open);
    Dir1->scrollToItem(open);
    return std::nullopt;
}

void frmFolder::reportError(const SystemError& error)
{
    m_messages.showMessage(QStringLiteral("ｴﾗｰ ") + QString::number(error.number) + CrLf + error.description,
                           QCoreApplication::applicationName(), MessageIcon::None);
}

void frmFolder::cmdOK_Click(int index)
{
    if (index == 0) {
        const QString folder = path();
        // The settings file would store another folder's name; the picker stays open for another choice.
        if (!Cp932::roundTrips(folder)) {
            m_messages.showMessage(QStringLiteral("保存ﾌｫﾙﾀﾞ") + CrLf +
                                       QStringLiteral("に使用できない文字が含まれています！！"),
                                   QCoreApplication::applicationName(), MessageIcon::None);
            return;
        }
        emit folderChosen(folder);
    }
    if (index == 0 || index == 1) {
        close();
    }
}

void frmFolder::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void frmFolder::Form_Unload()
{
    m_ownerLock.release();
}

bool frmFolder::eventFilter(QObject* watched, QEvent* event)
{
    // Enter on a highlighted folder opens it, like a double-click; it never closes the picker.
    if (watched == Dir1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Dir1_DblClick(Dir1->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
