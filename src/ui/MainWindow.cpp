#include "ui/MainWindow.h"

#include "base/Platform.h"
#include "config/Policies.h"
#include "config/SettingsCheck.h"
#include "ui/FileViewer.h"
#include "ui/SunkenBox.h"
#include "ui/frmAbout.h"
#include "ui/frmSetting.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

constexpr int StartUpDelayMs = 500;

} // namespace

QString fileViewerPath(const QString& folderCaption, const QString& fileCaption)
{
    QString folder = folderCaption;
    if (folder.endsWith(QDir::separator()) || folder.endsWith(u'/')) {
        folder.chop(1);
    }
    return folder + fileCaption;
}

MainWindow::MainWindow(SettingsState& settings, ProgramPaths& paths, const SettingsFile& settingsFile,
                       MessageSink& messages, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_paths(paths), m_settingsFile(settingsFile), m_messages(messages),
      m_openFile(openInTextEditor)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("ZELBO_UDP for Windows(MAIL対応)"));
    // Fixed border with a minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(clientSize());
    build(*this);
    connectControls();
    m_displays = std::make_unique<RunDisplays>(*lblStatus, *Progbar);

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(StartUpDelayMs);
    connect(&Timer1, &QTimer::timeout, this, &MainWindow::Timer1_Timer);
}

MainWindow::~MainWindow()
{
    setBusyCursor(false);
    setKeepAwake(false);
}

void MainWindow::connectControls()
{
    lblFile->installEventFilter(this);
    lblFile->setToolTip(QStringLiteral("ﾀﾞﾌﾞﾙｸﾘｯｸでﾌｧｲﾙを開きます"));
    // A long folder is shortened in the middle to fit, re-done when the label's width changes.
    lblFolder->installEventFilter(this);
    lblNote->installEventFilter(this);
    // The status box's only menu entry opens the day's history.
    lblStatus->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lblStatus, &QWidget::customContextMenuRequested, this, &MainWindow::showStatusMenu);
    for (int i = 0; i < 2; ++i) {
        connect(cmdComm[static_cast<std::size_t>(i)], &QPushButton::clicked, this, [this, i] { cmdComm_Click(i); });
    }
    connect(cmdSetting, &QPushButton::clicked, this, &MainWindow::cmdSetting_Click);
    connect(cmdInfo, &QPushButton::clicked, this, &MainWindow::cmdInfo_Click);
}

bool MainWindow::Form_Load()
{
    const CheckResult check = CheckSettings(m_settings, m_settingsFile, m_messages, m_paths.dataFolder);
    if (!check.settingsWritable) {
        return false;
    }
    if (!check.statusText.isEmpty()) {
        setStatusText(check.statusText);
    }
    for (const QString& note : check.notes) {
        addStartNote(note);
    }
    m_refusedPresets = check.refusedPresets;
    m_historyNotes = check.refusedPresets + check.installNotes;
    m_awaitSaveFolder = check.awaitSaveFolder;
    ApplyWindowSettings();
    lblNote->setText(QStringLiteral("ZELBO_UDPはUDPｸﾗｲｱﾝﾄとして動作します。\r\n"
                                    "ｲｰｻﾈｯﾄｸﾚｰﾄﾞﾙをUDPｻｰﾊﾞｰに設定してくだい。\r\n"
                                    "\r\n"
                                    "TR30/TR31/TR32 Ver.3.0以降に対応しています。"));
    fitNoteFont();
    // The window comes up with its start-up texts in place.
    flushDisplays();
    return true;
}

void MainWindow::addStartNote(const QString& note)
{
    ShowStatus(m_displays->statusText().isEmpty() ? 0 : 1, note);
    m_startNotes << note;
    flushDisplays();
}

void MainWindow::ApplyWindowSettings()
{
    setSaveFolderCaption(m_settings.effective().SaveFolder);
    m_startMinimised = m_settings.effective().StartUpSize == 1;
}

void MainWindow::showAfterLoad()
{
    // Input waits for the first tick, which enables the window: a dialog opened earlier would otherwise be
    // enabled underneath by that tick, or an automatic start would begin while it is open.
    setEnabled(false);
    if (m_startMinimised) {
        showMinimized();
    } else {
        show();
    }
    // The delay starts once loading has finished, so a start-up message box cannot race the first tick.
    Timer1.start();
}

void MainWindow::setSaveFolderCaption(const QString& folder)
{
    m_saveFolder = folder;
    lblFolder->setToolTip(folder);
    showFolderCaption();
}

void MainWindow::showPolicies()
{
    setSaveFolderCaption(m_settings.effective().SaveFolder);
    showSettingButton();
}

void MainWindow::showSettingButton()
{
    const bool locked = m_settings.dialogLocked();
    cmdSetting->setToolTip(locked ? lockedByPolicyText() : QString());
    // Before the first tick the window itself is disabled, and the tick sets the button.
    if (m_commMode >= 0) {
        cmdSetting->setEnabled(m_commMode == 0 && !locked);
    }
}

void MainWindow::showFolderCaption()
{
    const int width = lblFolder->contentsRect().width() - boxTextIndent(lblFolder);
    lblFolder->setText(lblFolder->fontMetrics().elidedText(m_saveFolder, Qt::ElideMiddle, width));
}

void MainWindow::ShowStatus(std::int16_t mode, const QString& text)
{
    if (mode == 0) {
        setStatusText(text);
    } else if (mode == 1) {
        setStatusText(m_displays->statusText() + QStringLiteral("\r\n") + text);
    }
}

void MainWindow::setStatusText(const QString& text)
{
    m_displays->setStatusText(text);
}

void MainWindow::flushDisplays()
{
    m_displays->flush();
}

void MainWindow::flushDueDisplays()
{
    m_displays->flushDue();
}

void MainWindow::SetCommState(std::int16_t mode)
{
    if (mode != 0 && mode != 1) {
        return;
    }
    // A run starts or ends here: what it last reported must not wait for the next screen update.
    flushDisplays();
    for (std::size_t i = 0; i < 2; ++i) {
        cmdComm[i]->setEnabled(false);
        Status[i]->setVisible(false);
    }
    cmdComm[static_cast<std::size_t>(mode)]->setEnabled(true);
    Status[static_cast<std::size_t>(mode)]->setVisible(true);
    m_commMode = mode;
    showSettingButton();
    cmdInfo->setEnabled(mode == 0);
    if (mode == 0) {
        setKeepAwake(false);
    }
    emit commStateChanged(mode);
}

void MainWindow::setKeepAwake(bool on)
{
    if (on != m_keepAwake) {
        m_keepAwake = on;
        keepSystemAwake(on);
    }
}

void MainWindow::setProgressMax(int max)
{
    Progbar->setMaximum(max);
}

void MainWindow::setProgressValue(int value)
{
    m_displays->setProgressValue(value);
}

void MainWindow::setProgressVisible(bool visible)
{
    // The bar appears and disappears with its latest value (full at END).
    flushDisplays();
    Progbar->setVisible(visible);
}

void MainWindow::setFileCaption(const QString& caption)
{
    lblFile->setText(caption);
}

void MainWindow::setBusyCursor(bool busy)
{
    if (busy == m_busyCursor) {
        return;
    }
    m_busyCursor = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void MainWindow::beep()
{
    QApplication::beep();
}

void MainWindow::cmdComm_Click(int index)
{
    if (m_comm.cmdComm_Click) {
        m_comm.cmdComm_Click(index);
    }
}

void MainWindow::cmdSetting_Click()
{
    frmSetting::open(
        m_settings, m_settingsFile, m_messages, this,
        [this](const Settings& user) {
            m_settings.setUser(user);
            setSaveFolderCaption(m_settings.effective().SaveFolder);
            emit settingsApplied();
        },
        m_mailTools);
}

void MainWindow::cmdInfo_Click()
{
    frmAbout::open(this, [this] { openInEditor(m_paths.noticesPath); });
}

void MainWindow::Timer1_Timer()
{
    setEnabled(true);
    Timer1.stop();
    if (m_awaitSaveFolder) {
        awaitSaveFolder();
        return;
    }
    if (m_comm.Timer1_Timer) {
        m_comm.Timer1_Timer();
        return;
    }
    m_running = false;
    SetCommState(0);
}

void MainWindow::awaitSaveFolder()
{
    switch (saveFolderWaitStep(setCurrentFolder(m_settings.effective().SaveFolder), m_saveFolderChecks,
                               m_saveFolderWaitChecks)) {
    case SaveFolderWaitStep::Start:
        setStatusText(QString());
        break;
    case SaveFolderWaitStep::CheckAgain:
        ++m_saveFolderChecks;
        QTimer::singleShot(SaveFolderCheckInterval, this, [this] { awaitSaveFolder(); });
        return;
    case SaveFolderWaitStep::GiveUp:
    default:
        // Its box does not hold the polling.
        setStatusText(saveFolderMissingText());
        m_messages.showMessageNoWait(saveFolderMissingText(), QStringLiteral("エラー！！"), MessageIcon::Critical);
        break;
    }
    m_awaitSaveFolder = false;
    Timer1_Timer();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_comm.Form_Unload && m_comm.Form_Unload()) {
        event->ignore();
        return;
    }
    event->accept();
    // Open dialogs go with the main window.
    QCoreApplication::quit();
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (childAt(event->position().toPoint()) == nullptr) {
        Form_DblClick();
    }
    QWidget::mouseDoubleClickEvent(event);
}

void MainWindow::Form_DblClick()
{
    showMinimized();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblFile && event->type() == QEvent::MouseButtonDblClick) {
        lblFile_DblClick();
        return true;
    }
    if (watched == lblFolder && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)) {
        showFolderCaption();
    }
    if (watched == lblNote && event->type() == QEvent::FontChange) {
        fitNoteFont();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::lblFile_DblClick()
{
    if (lblFile->text().isEmpty()) {
        return;
    }
    openInEditor(fileViewerPath(m_saveFolder, lblFile->text()));
}

void MainWindow::showStatusMenu(const QPoint& pos)
{
    auto* menu = new QMenu(lblStatus);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* history = menu->addAction(QStringLiteral("履歴ﾌｧｲﾙを開く"));
    connect(history, &QAction::triggered, this, &MainWindow::openHistory);
    // Before the first cycle there is nothing to open.
    history->setEnabled(QFileInfo::exists(m_paths.historyPath));
    // Not exec(): a run underneath would stand still while the menu is open.
    menu->popup(lblStatus->viewport()->mapToGlobal(pos));
}

void MainWindow::openHistory()
{
    openInEditor(m_paths.historyPath);
}

void MainWindow::openInEditor(const QString& path)
{
    if (m_openFile && !m_openFile(path)) {
        // The box keeps the last run's result above this line.
        ShowStatus(1, QStringLiteral("ﾌｧｲﾙを開けません : ") + path);
    }
}
