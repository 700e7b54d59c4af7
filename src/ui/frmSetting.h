#pragma once
// The options dialog: shows the live settings in its controls, keeps every edit of the user's own settings in its copy
// EditSettings and hands that copy to SettingsFile and its owner on OK. A setting a policy holds shows the policy's
// value, greyed, and keeps the user's own value in EditSettings. It knows nothing of runs; the main window is only
// disabled and enabled again.

#include "base/MessageSink.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "config/SettingsState.h"
#include "ui/MailSignIn.h"
#include "ui/OwnerLock.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class frmFolder;

class frmSetting : public QWidget
{
    Q_OBJECT

public:
    // What OK hands back: the user's own settings as edited, never a policy's value, applied by the owner whether or
    // not the file could be written.
    using Apply = std::function<void(const Settings& userSettings)>;

    frmSetting(const SettingsState& settings, const SettingsFile& file, MessageSink& messages, QWidget* mainWindow,
               Apply apply, MailSignIn::Tools mailTools = {});

    // Builds a new dialog, loads it and shows it without waiting; it deletes itself when closed.
    static frmSetting* open(const SettingsState& settings, const SettingsFile& file, MessageSink& messages,
                            QWidget* mainWindow, Apply apply, MailSignIn::Tools mailTools = {});

    // What the folder picker's OK writes: the label's text, and through its change event EditSettings.SaveFolder.
    void setFolderText(const QString& folder);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildFileFrames();
    void buildOptionFrames();
    void buildMailFrame();
    void layoutControls();
    QGroupBox* makeTwoOptions(const char* groupName, const QString& caption, const QString& toolTip, const char* name,
                              std::array<QRadioButton*, 2>& buttons, const std::array<QString, 2>& captions,
                              void (frmSetting::*handler)(int), Qt::Orientation orientation);
    QGroupBox* makeGroup(const char* name, const QString& caption, const QString& toolTip);
    QLineEdit* makeText(const char* name, const QString& toolTip = QString());
    template <std::size_t N>
    QButtonGroup* makeOptions(const char* name, std::array<QRadioButton*, N>& buttons,
                              const std::array<QString, N>& captions, void (frmSetting::*handler)(int));

    void Form_Load();
    void LoadDialogSettings();
    // The edit as the dialog shows it, with the policies' values where they hold: what the rules and the mail see.
    Settings shownSettings() const { return m_settings.withLockedValues(EditSettings); }
    void Form_Unload();
    void cmdOK_Click(int index);
    void cmdFolderRef_Click();

    // Every control writes what it shows into EditSettings as it changes.
    void lblFolder_Change() { EditSettings.SaveFolder = lblFolder->text(); }
    void txtLocalPort_Change() { EditSettings.LocalPort = txtLocalPort->text(); }
    void txtRemoteHost_Change() { EditSettings.RemoteHost = txtRemoteHost->text(); }
    void txtRemotePort_Change() { EditSettings.RemotePort = txtRemotePort->text(); }
    void txtFixFname_Change() { EditSettings.FixFname = txtFixFname->text(); }
    void txtMailAddress_Change() { EditSettings.MailAddress = txtMailAddress->text(); }
    void txtMailSub_Change() { EditSettings.MailSub = txtMailSub->text(); }
    void txtFromMailAddress_Change() { EditSettings.FromMailAddress = txtFromMailAddress->text(); }
    void txtMailServer_Change()
    {
        EditSettings.MailServer = txtMailServer->text();
        m_signIn->keyChanged(shownSettings());
    }
    void txtMailUser_Change()
    {
        EditSettings.MailUser = txtMailUser->text();
        m_signIn->keyChanged(shownSettings());
    }
    void optAddDate_Click(int index) { EditSettings.AddDate = static_cast<std::int16_t>(index); }
    void optCrcType_Click(int index) { EditSettings.CrcType = static_cast<std::int16_t>(index); }
    void optOverWrite_Click(int index) { EditSettings.OverWrite = static_cast<std::int16_t>(index); }
    void optStartUpSize_Click(int index) { EditSettings.StartUpSize = static_cast<std::int16_t>(index); }
    void optAutoStart_Click(int index) { EditSettings.AutoStart = static_cast<std::int16_t>(index); }
    void optProtocol_Click(int index) { EditSettings.Protocol = static_cast<std::int16_t>(index); }
    void chkSendMail_Click();
    void chkTimeAdjust_Click();
    void chkField_Click(int index);

    const SettingsState& m_settings;
    const SettingsFile& m_file;
    MessageSink& m_messages;
    OwnerLock m_ownerLock;
    Apply m_apply;
    QPointer<frmFolder> m_picker;
    MailSignIn::Tools m_mailTools;
    MailSignIn* m_signIn = nullptr;

    Settings EditSettings;

    QLineEdit* txtLocalPort = nullptr;
    QLineEdit* txtRemoteHost = nullptr;
    QLineEdit* txtRemotePort = nullptr;
    QLineEdit* txtFixFname = nullptr;
    std::array<QRadioButton*, 5> optAddDate{};
    QLabel* lblFolder = nullptr;
    QPushButton* cmdFolderRef = nullptr;
    std::array<QCheckBox*, Settings::FieldCount> chkField{};
    std::array<QRadioButton*, 2> optOverWrite{};
    std::array<QRadioButton*, 2> optStartUpSize{};
    std::array<QRadioButton*, 2> optAutoStart{};
    std::array<QRadioButton*, 2> optCrcType{};
    std::array<QRadioButton*, 2> optProtocol{};
    QCheckBox* chkSendMail = nullptr;
    QLineEdit* txtMailAddress = nullptr;
    QLineEdit* txtMailSub = nullptr;
    QLineEdit* txtFromMailAddress = nullptr;
    QLineEdit* txtMailServer = nullptr;
    QLineEdit* txtMailUser = nullptr;
    QLineEdit* txtMailPassword = nullptr;
    QPushButton* cmdMailTest = nullptr;
    QCheckBox* chkTimeAdjust = nullptr;
    std::array<QPushButton*, 2> cmdOK{};

    QGroupBox* fraUDP = nullptr;
    QGroupBox* fraFixFname = nullptr;
    QGroupBox* fraAddDate = nullptr;
    QGroupBox* fraFolder = nullptr;
    QGroupBox* fraField = nullptr;
    QGroupBox* fraOverWrite = nullptr;
    QGroupBox* fraStartUpSize = nullptr;
    QGroupBox* fraAutoStart = nullptr;
    QGroupBox* fraCrcType = nullptr;
    QGroupBox* fraProtocol = nullptr;
    QGroupBox* fraMail = nullptr;
};
