#include "ui/frmSetting.h"

#include "base/CrLf.h"
#include "config/RefusalRules.h"
#include "config/TimeAdjust.h"
#include "ui/OkButtons.h"
#include "ui/SettingControls.h"
#include "ui/SingleLineValidator.h"
#include "ui/SunkenBox.h"
#include "ui/WindowPlacement.h"
#include "ui/frmFolder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <limits>
#include <utility>

namespace {

constexpr int FieldColumns = 5;
constexpr int FolderLabelWidth = 430;

std::int16_t checkValue(const QCheckBox* box)
{
    return box->isChecked() ? 1 : 0;
}

// A box shows ticked only for exactly 1; any other stored value leaves it clear without stopping the load.
bool isTicked(std::int16_t value)
{
    return value == 1;
}

template <std::size_t N> void selectOption(const std::array<QRadioButton*, N>& buttons, std::int16_t index)
{
    if (index >= 0 && static_cast<std::size_t>(index) < N) {
        buttons[static_cast<std::size_t>(index)]->setChecked(true);
    }
}

} // namespace

frmSetting::frmSetting(const SettingsState& settings, const SettingsFile& file, MessageSink& messages,
                       QWidget* mainWindow, Apply apply, MailSignIn::Tools mailTools)
    : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      m_settings(settings), m_file(file), m_messages(messages),
      m_ownerLock(this, mainWindow, OwnerLock::OnRelease::Enable), m_apply(std::move(apply)),
      m_mailTools(std::move(mailTools)), EditSettings(settings.user())
{
    setObjectName(QStringLiteral("frmSetting"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ｵﾌﾟｼｮﾝ設定"));
    buildControls();
    adjustSize();
    setFixedSize(size());
}

frmSetting* frmSetting::open(const SettingsState& settings, const SettingsFile& file, MessageSink& messages,
                             QWidget* mainWindow, Apply apply, MailSignIn::Tools mailTools)
{
    auto* dialog = new frmSetting(settings, file, messages, mainWindow, std::move(apply), std::move(mailTools));
    dialog->Form_Load();
    dialog->show();
    return dialog;
}

QGroupBox* frmSetting::makeGroup(const char* name, const QString& caption, const QString& toolTip)
{
    auto* group = new QGroupBox(caption, this);
    group->setObjectName(QString::fromLatin1(name));
    group->setToolTip(toolTip);
    return group;
}

QLineEdit* frmSetting::makeText(const char* name, const QString& toolTip)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setToolTip(toolTip);
    edit->setValidator(new SingleLineValidator(edit));
    // No length limit: Qt's default of 32767 characters would cut a long pasted text without a word.
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

template <std::size_t N>
QButtonGroup* frmSetting::makeOptions(const char* name, std::array<QRadioButton*, N>& buttons,
                                      const std::array<QString, N>& captions, void (frmSetting::*handler)(int))
{
    auto* group = new QButtonGroup(this);
    for (std::size_t i = 0; i < N; ++i) {
        auto* button = new QRadioButton(captions[i], this);
        button->setObjectName(QString::fromLatin1(name) + QString::number(i));
        group->addButton(button, static_cast<int>(i));
        buttons[i] = button;
    }
    // Toggled rather than clicked, so keyboard selection counts as well; only the newly selected button writes.
    connect(group, &QButtonGroup::idToggled, this, [this, handler](int id, bool checked) {
        if (checked) {
            (this->*handler)(id);
        }
    });
    return group;
}

void frmSetting::buildControls()
{
    // Built in tab order: the frames top to bottom, then the corner.
    buildFileFrames();
    buildOptionFrames();
    buildMailFrame();
    chkTimeAdjust = new QCheckBox(QStringLiteral("PCと日時を合わせる"), this);
    chkTimeAdjust->setObjectName(QStringLiteral("chkTimeAdjust"));
    connect(chkTimeAdjust, &QCheckBox::toggled, this, &frmSetting::chkTimeAdjust_Click);

    cmdOK = makeOkButtons(this, [this](int index) { cmdOK_Click(index); });

    connect(txtLocalPort, &QLineEdit::textChanged, this, &frmSetting::txtLocalPort_Change);
    connect(txtRemoteHost, &QLineEdit::textChanged, this, &frmSetting::txtRemoteHost_Change);
    connect(txtRemotePort, &QLineEdit::textChanged, this, &frmSetting::txtRemotePort_Change);
    connect(txtFixFname, &QLineEdit::textChanged, this, &frmSetting::txtFixFname_Change);

    layoutControls();
}

void frmSetting::buildFileFrames()
{
    // UDP設定
    fraUDP = makeGroup("fraUDP", QStringLiteral("UDP設定"), QStringLiteral("UDPﾊﾟﾗﾒｰﾀを指定してください"));
    txtLocalPort = makeText("txtLocalPort", QStringLiteral("ﾊﾞｲﾝﾄﾞするﾛｰｶﾙﾎﾟｰﾄ番号を指定してください"));
    txtRemoteHost = makeText("txtRemoteHost", QStringLiteral("ﾘﾓｰﾄﾎｽﾄのIPｱﾄﾞﾚｽを指定してください"));
    txtRemotePort = makeText("txtRemotePort", QStringLiteral("ﾘﾓｰﾄﾎﾟｰﾄ番号を指定してください"));
    auto* udpGrid = new QGridLayout(fraUDP);
    udpGrid->addWidget(new QLabel(QStringLiteral("ﾛｰｶﾙﾎﾟｰﾄ(Bind)"), fraUDP), 0, 0);
    udpGrid->addWidget(txtLocalPort, 0, 1);
    udpGrid->addWidget(new QLabel(QStringLiteral("ﾘﾓｰﾄﾎｽﾄ"), fraUDP), 1, 0);
    udpGrid->addWidget(txtRemoteHost, 1, 1);
    udpGrid->addWidget(new QLabel(QStringLiteral("ﾘﾓｰﾄﾎﾟｰﾄ"), fraUDP), 2, 0);
    udpGrid->addWidget(txtRemotePort, 2, 1);

    // 保存ﾌｧｲﾙ名
    const QString fixFnameTip = QStringLiteral("保存したいﾌｧｲﾙ名(拡張子はTXT固定、指定不要)を指定してください");
    fraFixFname = makeGroup("fraFixFname", QStringLiteral("保存ﾌｧｲﾙ名"), fixFnameTip);
    txtFixFname = makeText("txtFixFname", fixFnameTip);
    (new QVBoxLayout(fraFixFname))->addWidget(txtFixFname);

    // 日付・時刻付加
    fraAddDate = makeGroup("fraAddDate", QStringLiteral("日付・時刻付加"),
                           QStringLiteral("日付・時刻の付加方法を指定してください"));
    makeOptions<5>("optAddDate", optAddDate,
                   {QStringLiteral("日付・時刻なし"), QStringLiteral("ﾌｧｲﾙ名を日付(YYYYMMDD)にする"),
                    QStringLiteral("ﾌｧｲﾙ名を日時(YYYYMMDDHHMM)にする"),
                    QStringLiteral("ﾌｧｲﾙ名に日時(YYYYMMDD)を付加する"),
                    QStringLiteral("ﾌｧｲﾙ名に日時(YYYYMMDDHHMM)を付加する")},
                   &frmSetting::optAddDate_Click);
    const std::array<QString, 5> addDateTips = {
        QStringLiteral("ﾌｧｲﾙ名.TXT で保存"), QStringLiteral("YYYYMMDD.TXT で保存"),
        QStringLiteral("YYYYMMDDーHHMM.TXT で保存"), QStringLiteral("ﾌｧｲﾙ名-YYYYMMDD.TXT で保存"),
        QStringLiteral("ﾌｧｲﾙ名-YYYYMMDD-HHMM.TXT で保存")};
    auto* addDateColumn = new QVBoxLayout(fraAddDate);
    for (std::size_t i = 0; i < optAddDate.size(); ++i) {
        optAddDate[i]->setToolTip(addDateTips[i]);
        addDateColumn->addWidget(optAddDate[i]);
    }

    // 保存ﾌｫﾙﾀﾞ
    fraFolder = makeGroup("fraFolder", QStringLiteral("保存ﾌｫﾙﾀﾞ"), QStringLiteral("保存ﾌｫﾙﾀﾞを選択してください"));
    lblFolder = makeSunkenBox(QStringLiteral("lblFolder"), fraFolder);
    // A long path is clipped rather than widening the fixed-size dialog.
    lblFolder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblFolder->setMinimumWidth(FolderLabelWidth);
    cmdFolderRef = new QPushButton(QStringLiteral("参照"), fraFolder);
    cmdFolderRef->setObjectName(QStringLiteral("cmdFolderRef"));
    cmdFolderRef->setAutoDefault(true);
    connect(cmdFolderRef, &QPushButton::clicked, this, &frmSetting::cmdFolderRef_Click);
    auto* folderRow = new QHBoxLayout(fraFolder);
    folderRow->addWidget(lblFolder, 1);
    folderRow->addWidget(cmdFolderRef);
}

QGroupBox* frmSetting::makeTwoOptions(const char* groupName, const QString& caption, const QString& toolTip,
                                      const char* name, std::array<QRadioButton*, 2>& buttons,
                                      const std::array<QString, 2>& captions, void (frmSetting::*handler)(int),
                                      Qt::Orientation orientation)
{
    QGroupBox* group = makeGroup(groupName, caption, toolTip);
    makeOptions<2>(name, buttons, captions, handler);
    QBoxLayout* box = orientation == Qt::Horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(group))
                                                    : static_cast<QBoxLayout*>(new QVBoxLayout(group));
    box->addWidget(buttons[0]);
    box->addWidget(buttons[1]);
    return group;
}

void frmSetting::buildOptionFrames()
{
    // 取り込みﾌｨｰﾙﾄﾞ選択: F1 to F20 in four rows of five.
    fraField = makeGroup("fraField", QStringLiteral("取り込みﾌｨｰﾙﾄﾞ選択"),
                         QStringLiteral("取り込みたいﾌｨｰﾙﾄﾞをﾁｪｯｸしてください"));
    {
        auto* grid = new QGridLayout(fraField);
        for (int i = 0; i < Settings::FieldCount; ++i) {
            auto* box = new QCheckBox(QStringLiteral("F%1").arg(i + 1), fraField);
            box->setObjectName(QStringLiteral("chkField%1").arg(i));
            connect(box, &QCheckBox::toggled, this, [this, i] { chkField_Click(i); });
            grid->addWidget(box, i / FieldColumns, i % FieldColumns);
            chkField[static_cast<std::size_t>(i)] = box;
        }
    }

    fraOverWrite =
        makeTwoOptions("fraOverWrite", QStringLiteral("保存ﾓｰﾄﾞ"), QStringLiteral("保存ﾓｰﾄﾞを選択してください"),
                       "optOverWrite", optOverWrite, {QStringLiteral("追加ﾓｰﾄﾞ"), QStringLiteral("上書ﾓｰﾄﾞ")},
                       &frmSetting::optOverWrite_Click, Qt::Horizontal);
    fraStartUpSize = makeTwoOptions("fraStartUpSize", QStringLiteral("ｽﾀｰﾄｻｲｽﾞ"),
                                    QStringLiteral("ZELBOを最小化して起動する場合は、｢ｱｲｺﾝ｣を選択してください"),
                                    "optStartUpSize", optStartUpSize, {QStringLiteral("ﾉｰﾏﾙ"), QStringLiteral("ｱｲｺﾝ")},
                                    &frmSetting::optStartUpSize_Click, Qt::Horizontal);
    fraAutoStart = makeTwoOptions("fraAutoStart", QStringLiteral("ｵｰﾄｽﾀｰﾄ"),
                                  QStringLiteral("ZELBO実行時、通信をｵｰﾄｽﾀｰﾄする場合は、「する」を選択してください"),
                                  "optAutoStart", optAutoStart, {QStringLiteral("しない"), QStringLiteral("する")},
                                  &frmSetting::optAutoStart_Click, Qt::Horizontal);
    fraCrcType = makeTwoOptions("fraCrcType", QStringLiteral("CRCﾀｲﾌﾟ"),
                                QStringLiteral("ﾁｪｯｸｻﾑの計算方法を選択してください（通常は、「ﾀｲﾌﾟ1」）"), "optCrcType",
                                optCrcType, {QStringLiteral("ﾀｲﾌﾟ1"), QStringLiteral("ﾀｲﾌﾟ2")},
                                &frmSetting::optCrcType_Click, Qt::Horizontal);
    fraProtocol = makeTwoOptions("fraProtocol", QStringLiteral("ﾌﾟﾛﾄｺﾙ"),
                                 QStringLiteral("通信ﾌﾟﾛﾄｺﾙを選択してください(通常は、｢専用｣)"), "optProtocol",
                                 optProtocol, {QStringLiteral("専用"), QStringLiteral("ｼﾝﾌﾟﾙ")},
                                 &frmSetting::optProtocol_Click, Qt::Horizontal);
}

void frmSetting::layoutControls()
{
    // Top to bottom.
    auto* root = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    auto* topLeft = new QVBoxLayout;
    topLeft->addWidget(fraUDP);
    topLeft->addWidget(fraFixFname);
    top->addLayout(topLeft, 1);
    top->addWidget(fraAddDate);
    root->addLayout(top);

    root->addWidget(fraFolder);

    auto* fields = new QHBoxLayout;
    fields->addWidget(fraField, 1);
    auto* modes = new QVBoxLayout;
    modes->addWidget(fraOverWrite);
    modes->addWidget(fraStartUpSize);
    fields->addLayout(modes);
    root->addLayout(fields);

    auto* small = new QHBoxLayout;
    small->addWidget(fraAutoStart);
    small->addWidget(fraCrcType);
    small->addWidget(fraProtocol);
    root->addLayout(small);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(fraMail, 1);
    auto* corner = new QVBoxLayout;
    corner->addWidget(chkTimeAdjust);
    corner->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdOK[0]);
    buttons->addWidget(cmdOK[1]);
    corner->addLayout(buttons);
    bottom->addLayout(corner);
    root->addLayout(bottom);
}

void frmSetting::buildMailFrame()
{
    fraMail =
        makeGroup("fraMail", QStringLiteral("ﾒｰﾙ送信"),
                  QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞしたﾌｧｲﾙを添付して、指定ｱﾄﾞﾚｽへﾒｰﾙしたい場合は、この項目を設定してください"));
    chkSendMail = new QCheckBox(QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙを添付してﾒｰﾙする"), fraMail);
    chkSendMail->setObjectName(QStringLiteral("chkSendMail"));
    connect(chkSendMail, &QCheckBox::toggled, this, &frmSetting::chkSendMail_Click);
    txtMailAddress = makeText("txtMailAddress");
    txtMailSub = makeText("txtMailSub");
    txtFromMailAddress = makeText("txtFromMailAddress");
    txtMailServer = makeText("txtMailServer");
    txtMailUser = makeText("txtMailUser", QStringLiteral("ｻｲﾝｲﾝが必要なﾒｰﾙｻｰﾊﾞｰのﾕｰｻﾞｰ名。空ならｻｲﾝｲﾝしません"));
    txtMailPassword = makeText("txtMailPassword");
    cmdMailTest = new QPushButton(QStringLiteral("ﾃｽﾄ送信"), fraMail);
    cmdMailTest->setObjectName(QStringLiteral("cmdMailTest"));
    cmdMailTest->setToolTip(QStringLiteral("いまの設定で、添付なしのﾃｽﾄﾒｰﾙを1通送ります"));
    m_signIn = new MailSignIn(std::move(m_mailTools), txtMailPassword, cmdMailTest, m_messages, this);

    auto* grid = new QGridLayout(fraMail);
    grid->addWidget(chkSendMail, 0, 0, 1, 2);
    // The test button takes the free space beside the check box, so the frame grows by the sign-in rows only.
    grid->addWidget(cmdMailTest, 0, 1, Qt::AlignRight);
    const std::array<std::pair<QString, QLineEdit*>, 4> rows = {{
        {QStringLiteral("宛先ﾒｰﾙｱﾄﾞﾚｽ(To)"), txtMailAddress},
        {QStringLiteral("件名"), txtMailSub},
        {QStringLiteral("差出人ﾒｰﾙｱﾄﾞﾚｽ(From)"), txtFromMailAddress},
        {QStringLiteral("ﾒｰﾙｻｰﾊﾞｰ"), txtMailServer},
    }};
    for (int row = 0; row < int(rows.size()); ++row) {
        grid->addWidget(new QLabel(rows[std::size_t(row)].first, fraMail), row + 1, 0);
        grid->addWidget(rows[std::size_t(row)].second, row + 1, 1);
    }
    // User and password share one row, so the dialog still fits a 768-pixel-high screen.
    auto* signIn = new QHBoxLayout;
    signIn->addWidget(txtMailUser, 3);
    signIn->addWidget(new QLabel(QStringLiteral("ﾊﾟｽﾜｰﾄﾞ"), fraMail));
    signIn->addWidget(txtMailPassword, 2);
    grid->addWidget(new QLabel(QStringLiteral("ﾕｰｻﾞｰ名"), fraMail), int(rows.size()) + 1, 0);
    grid->addLayout(signIn, int(rows.size()) + 1, 1);

    connect(txtMailAddress, &QLineEdit::textChanged, this, &frmSetting::txtMailAddress_Change);
    connect(txtMailSub, &QLineEdit::textChanged, this, &frmSetting::txtMailSub_Change);
    connect(txtFromMailAddress, &QLineEdit::textChanged, this, &frmSetting::txtFromMailAddress_Change);
    connect(txtMailServer, &QLineEdit::textChanged, this, &frmSetting::txtMailServer_Change);
    connect(txtMailUser, &QLineEdit::textChanged, this, &frmSetting::txtMailUser_Change);
    connect(cmdMailTest, &QPushButton::clicked, this, [this] { m_signIn->cmdMailTest_Click(shownSettings()); });
}

void frmSetting::Form_Load()
{
    if (const QWidget* mainWindow = m_ownerLock.owner()) {
        // At the main window's corner; the dialog is taller than the main window, so near the bottom of a small
        // screen it moves up just enough to keep OK and ｷｬﾝｾﾙ on the screen.
        moveWithinScreen(this, mainWindow->pos(), mainWindow);
    }
    m_ownerLock.lock();
    LoadDialogSettings();
}

void frmSetting::LoadDialogSettings()
{
    // The controls show what the run uses; EditSettings keeps the user's own values below.
    const Settings& shown = m_settings.effective();
    lblFolder->setText(shown.SaveFolder);
    lblFolder_Change();
    selectOption(optOverWrite, shown.OverWrite);
    selectOption(optStartUpSize, shown.StartUpSize);
    selectOption(optAutoStart, shown.AutoStart);
    selectOption(optCrcType, shown.CrcType);
    selectOption(optProtocol, shown.Protocol);
    chkSendMail->setChecked(isTicked(shown.SendMail));
    txtMailAddress->setText(shown.MailAddress);
    txtMailSub->setText(shown.MailSub);
    txtFromMailAddress->setText(shown.FromMailAddress);
    txtMailServer->setText(shown.MailServer);
    txtMailUser->setText(shown.MailUser);
    // A long address in the narrow field shows from its start.
    txtMailUser->setCursorPosition(0);
    txtLocalPort->setText(shown.LocalPort);
    txtRemoteHost->setText(shown.RemoteHost);
    txtRemotePort->setText(shown.RemotePort);
    selectOption(optAddDate, shown.AddDate);
    txtFixFname->setText(shown.FixFname);
    // Ticked exactly when the run will set the clock, however the file writes the 1 ("1.0", " 1").
    chkTimeAdjust->setChecked(isClockAdjustOn(shown.TimeAdjust));
    for (std::size_t i = 0; i < chkField.size(); ++i) {
        chkField[i]->setChecked(isTicked(shown.FieldSelect[i]));
    }
    // The controls' events wrote what they could show; values they cannot show are kept as stored, and so are the
    // user's own values under a policy's.
    EditSettings = m_settings.user();
    m_signIn->load(shownSettings());
    lockPolicyControls(*this, m_settings);
}

void frmSetting::setFolderText(const QString& folder)
{
    lblFolder->setText(folder);
    lblFolder_Change();
}

void frmSetting::cmdOK_Click(int index)
{
    if (index == 1) {
        close();
        return;
    }
    if (index != 0) {
        return;
    }
    // Judged as shown, the policies' values with the user's edits: what the run will use.
    const QString refusal = settingsRefusal(shownSettings());
    if (!refusal.isEmpty()) {
        m_messages.showMessage(refusal, QCoreApplication::applicationName(), MessageIcon::None);
        return;
    }
    if (!m_signIn->commit(shownSettings())) {
        return;
    }
    m_file.WriteSettingsFile(EditSettings);
    // Applied even after a failed write.
    if (m_apply) {
        m_apply(EditSettings);
    }
    close();
}

void frmSetting::cmdFolderRef_Click()
{
    m_picker = frmFolder::open(lblFolder->text(), this, m_ownerLock.owner(), m_messages);
    connect(m_picker, &frmFolder::folderChosen, this, &frmSetting::setFolderText);
}

void frmSetting::closeEvent(QCloseEvent* event)
{
    // The picker writes into this dialog, and a test send reports to it: neither may lose it underneath.
    if ((m_picker && m_picker->isVisible()) || m_signIn->busy()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmSetting::Form_Unload()
{
    m_ownerLock.release();
}

void frmSetting::chkSendMail_Click()
{
    EditSettings.SendMail = checkValue(chkSendMail);
}

void frmSetting::chkTimeAdjust_Click()
{
    EditSettings.TimeAdjust = QString::number(checkValue(chkTimeAdjust));
}

void frmSetting::chkField_Click(int index)
{
    EditSettings.FieldSelect[static_cast<std::size_t>(index)] = checkValue(chkField[static_cast<std::size_t>(index)]);
}
