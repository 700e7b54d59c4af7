#pragma once
// The main window: start-up sequence, status displays and buttons. It is the RunHost of the upload run; start and
// stop decisions belong to CommControl (protocol/), settings rules to config/.

#include "base/MessageSink.h"
#include "base/ProgramPaths.h"
#include "config/SaveFolderWait.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "config/SettingsState.h"
#include "protocol/RunHost.h"
#include "ui/MailSignIn.h"
#include "ui/MainWindowControls.h"
#include "ui/RunDisplays.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// The path the file viewer opens: the folder caption without a trailing separator, then the file caption
// (which begins with a separator).
QString fileViewerPath(const QString& folderCaption, const QString& fileCaption);

// The controls are members under their objectNames (lblStatus, cmdComm…), built and laid out by MainWindowControls.
class MainWindow : public QWidget, public RunHost, private MainWindowControls
{
    Q_OBJECT

public:
    // False when the file could not be opened.
    using FileOpener = std::function<bool(const QString& path)>;
    // Start, stop, first-tick and close decisions; set by the application once the link exists.
    struct CommHandlers
    {
        std::function<void(int index)> cmdComm_Click;
        std::function<void()> Timer1_Timer;
        std::function<bool()> Form_Unload; // true: a run was active, keep the window
    };

    // settings: the live settings, whose user part the settings dialog changes.
    MainWindow(SettingsState& settings, ProgramPaths& paths, const SettingsFile& settingsFile, MessageSink& messages,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence. False when the settings file could not be written and the program must end.
    bool Form_Load();
    // Shows the window in the state StartUpSize asks for, disabled until the first tick of the 500 ms start-up
    // timer, and starts that timer.
    void showAfterLoad();
    // The start-up's own status lines (a first start's data folder, presets not taken), which the first run shows
    // again under its own first line.
    const QStringList& startNotes() const { return m_startNotes; }
    // After Form_Load: a start-up line found outside the window (a lock file that could not be made), shown and
    // repeated as the start-up's own.
    void addStartNote(const QString& note);
    // Start notes for the day's history as well: presets not taken, what a first start found about the install.
    const QStringList& historyNotes() const { return m_historyNotes; }
    // The presets a first start did not take, for the system log.
    const QStringList& refusedPresets() const { return m_refusedPresets; }

    void setCommHandlers(CommHandlers handlers) { m_comm = std::move(handlers); }
    void setFileOpener(FileOpener opener) { m_openFile = std::move(opener); }
    // What the settings dialog's mail sign-in uses: the password store and the test send.
    void setMailTools(MailSignIn::Tools tools) { m_mailTools = std::move(tools); }
    void setSaveFolderCaption(const QString& folder);
    // The policies changed the live settings: the folder caption and "設定" (closed by LOCKSETTINGS) follow.
    void showPolicies();
    // Keeps the PC from sleeping while on: for a transfer between the terminal's file name and the final answer.
    // Idle polling never keeps it awake; an ended or stopped run (SetCommState(0)) switches it off.

    // RunHost
    bool isRunning() const override { return m_running; }
    void setRunning(bool running) override { m_running = running; }
    void ShowStatus(std::int16_t mode, const QString& text) override;
    void setStatusText(const QString& text) override;
    void SetCommState(std::int16_t mode) override;
    void setKeepAwake(bool on) override;

    // How often a save folder missing at an automatic start is checked again (config/SaveFolderWait); tests shorten
    // the wait, the program keeps the default.
    void setSaveFolderWaitChecks(int checks) { m_saveFolderWaitChecks = checks; }
    void setProgressMax(int max) override;
    void setProgressValue(int value) override;
    void setProgressVisible(bool visible) override;
    void setFileCaption(const QString& caption) override;
    void setBusyCursor(bool busy) override;
    void beep() override;
    void flushDisplays() override;
    void flushDueDisplays() override;
    void idlePoll() override { emit idlePolled(); }

signals:
    // SetCommState's mode, 1 as a run starts and 0 as it ends, for what shows the run outside the window.
    void commStateChanged(std::int16_t mode);
    // The settings dialog's OK changed the user's settings.
    void settingsApplied();
    // The run asked the terminal and had no answer, nor a link error: for what shows the run outside the window.
    void idlePolled();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void awaitSaveFolder();
    void connectControls();
    void ApplyWindowSettings();
    void cmdComm_Click(int index);
    void cmdSetting_Click();
    void cmdInfo_Click();
    void Timer1_Timer();
    void lblFile_DblClick();
    void showStatusMenu(const QPoint& pos);
    void openHistory();
    void openInEditor(const QString& path);
    void Form_DblClick();
    void showFolderCaption();
    void showSettingButton();

    SettingsState& m_settings;
    ProgramPaths& m_paths;
    const SettingsFile& m_settingsFile;
    MessageSink& m_messages;
    MailSignIn::Tools m_mailTools;

    bool m_running = false;
    std::int16_t m_commMode = -1; // SetCommState's last mode; none before the first tick
    bool m_busyCursor = false;
    bool m_startMinimised = false;
    bool m_keepAwake = false;
    // The first tick waits for a missing save folder before the automatic start.
    bool m_awaitSaveFolder = false;
    int m_saveFolderChecks = 0;
    int m_saveFolderWaitChecks = SaveFolderWaitChecks;
    CommHandlers m_comm;
    FileOpener m_openFile;
    QString m_saveFolder;
    QStringList m_startNotes;
    QStringList m_historyNotes;
    QStringList m_refusedPresets;

    // The status box and the progress bar at screen rate; made once they exist.
    std::unique_ptr<RunDisplays> m_displays;

    QTimer Timer1;
};
