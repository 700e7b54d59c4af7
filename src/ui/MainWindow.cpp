#include "ui/MainWindow.h"

#include "config/SettingsCheck.h"
#include "ui/frmAbout.h"
#include "ui/frmSetting.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

namespace {

constexpr int TwipsPerPixel = 15;
constexpr int StartUpDelayMs = 500;
constexpr qsizetype MaxStatusLines = 200;
constexpr int ClientWidthTwips = 6375;
constexpr int ClientHeightTwips = 5655;

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel);
}

// The design font is a Japanese Windows face; IPAPGothic has nearly its metrics, so the four-line note still fits.
QStringList japaneseFamilies(const QString& first)
{
    return {first,
            QStringLiteral("MS PGothic"),
            QStringLiteral("IPAPGothic"),
            QStringLiteral("IPAexGothic"),
            QStringLiteral("Noto Sans CJK JP"),
            QStringLiteral("VL PGothic"),
            QStringLiteral("Sans Serif")};
}

const QString StopText = QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました");

} // namespace

QString FileViewerPath(const QString& folderCaption, const QString& fileCaption)
{
    QString folder = folderCaption;
    if (folder.endsWith(QDir::separator()) || folder.endsWith(u'/')) {
        folder.chop(1);
    }
    return folder + fileCaption;
}

MainWindow::MainWindow(Settings& settings, ProgramPaths& paths, const SettingsFile& settingsFile, MessageSink& messages,
                       QWidget* parent)
    : QWidget(parent), m_settings(settings), m_paths(paths), m_settingsFile(settingsFile), m_messages(messages),
      m_openFile([](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); })
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("ZELBO_UDP for Windows(MAIL対応)"));
    // Fixed border with a minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);
    buildControls();

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(StartUpDelayMs);
    connect(&Timer1, &QTimer::timeout, this, &MainWindow::Timer1_Timer);
}

MainWindow::~MainWindow()
{
    setBusyCursor(false);
}

void MainWindow::buildControls()
{
    QFont font = this->font();
    font.setFamilies(japaneseFamilies(QStringLiteral("ＭＳ Ｐゴシック")));
    setFont(font);

    auto makeLabel = [this](const char* name, const QString& caption, const QRect& rect) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(rect);
        // Folder, file and status texts are shown as they are, never read as markup.
        label->setTextFormat(Qt::PlainText);
        return label;
    };
    auto makeBox = [&](const char* name, const QRect& rect) {
        QLabel* label = makeLabel(name, QString(), rect);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::white);
        label->setPalette(palette);
        return label;
    };

    Label2 = makeLabel("Label2", QStringLiteral("ﾌｧｲﾙ名"), twips(120, 120, 1212, 252));
    lblFile = makeBox("lblFile", twips(1440, 120, 4812, 252));
    lblFile->installEventFilter(this);
    lblFile->setToolTip(QStringLiteral("ﾀﾞﾌﾞﾙｸﾘｯｸでﾌｧｲﾙを開きます"));
    Label1 = makeLabel("Label1", QStringLiteral("保存ﾌｫﾙﾀﾞ"), twips(120, 480, 1212, 252));
    lblFolder = makeBox("lblFolder", twips(1440, 480, 4812, 252));
    Label4 = makeLabel("Label4", QStringLiteral("最終ｽﾃｰﾀｽ"), twips(120, 840, 1212, 252));
    lblStatus = makeBox("lblStatus", twips(1440, 840, 4815, 1815));
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStatus->setWordWrap(true);

    Progbar = new QProgressBar(this);
    Progbar->setObjectName(QStringLiteral("Progbar"));
    Progbar->setGeometry(twips(120, 2760, 6135, 375));
    Progbar->setMinimum(0);
    Progbar->setTextVisible(false);
    Progbar->setVisible(false);

    // Down to the buttons rather than 975 twips: fonts other than the design face need a little more line height.
    lblNote = makeLabel("lblNote", QString(), twips(120, 3240, 6135, 1185));
    QFont noteFont = font;
    noteFont.setPointSize(12);
    noteFont.setBold(true);
    lblNote->setFont(noteFont);
    QPalette notePalette = lblNote->palette();
    notePalette.setColor(QPalette::WindowText, Qt::red);
    lblNote->setPalette(notePalette);
    lblNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    const std::array<QString, 2> commCaptions = {QStringLiteral("通信ｽﾀｰﾄ"), QStringLiteral("通信ｽﾄｯﾌﾟ")};
    const std::array<int, 2> commTops = {4440, 5040};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QPushButton(commCaptions[static_cast<std::size_t>(i)], this);
        button->setObjectName(QStringLiteral("cmdComm%1").arg(i));
        button->setGeometry(twips(120, commTops[static_cast<std::size_t>(i)], 1212, 492));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { cmdComm_Click(i); });
        cmdComm[static_cast<std::size_t>(i)] = button;
    }

    // Status(0) red for idle, Status(1) cyan for a run; the two lie on top of each other.
    const std::array<QColor, 2> lightColours = {QColor(0xFF, 0x00, 0x00), QColor(0x00, 0xFF, 0xFF)};
    for (int i = 0; i < 2; ++i) {
        auto* light = new QFrame(this);
        light->setObjectName(QStringLiteral("Status%1").arg(i));
        light->setGeometry(twips(1440, 4440, 3375, 1095));
        light->setFrameShape(QFrame::Box);
        light->setAutoFillBackground(true);
        QPalette palette = light->palette();
        palette.setColor(QPalette::Window, lightColours[static_cast<std::size_t>(i)]);
        light->setPalette(palette);
        Status[static_cast<std::size_t>(i)] = light;
    }

    cmdSetting = new QPushButton(QStringLiteral("設定"), this);
    cmdSetting->setObjectName(QStringLiteral("cmdSetting"));
    cmdSetting->setGeometry(twips(4920, 4440, 1332, 492));
    cmdSetting->setAutoDefault(false);
    connect(cmdSetting, &QPushButton::clicked, this, &MainWindow::cmdSetting_Click);

    cmdInfo = new QPushButton(QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), this);
    cmdInfo->setObjectName(QStringLiteral("cmdInfo"));
    cmdInfo->setGeometry(twips(4920, 5040, 1332, 492));
    cmdInfo->setAutoDefault(false);
    connect(cmdInfo, &QPushButton::clicked, this, &MainWindow::cmdInfo_Click);
}

bool MainWindow::Form_Load()
{
    const CheckResult check = CheckSettings(m_settings, m_settingsFile, m_messages);
    if (!check.settingsWritable) {
        return false;
    }
    if (!check.statusText.isEmpty()) {
        setStatusText(check.statusText);
    }
    ApplyWindowSettings();
    lblNote->setText(QStringLiteral("ZELBO_UDPはUDPｸﾗｲｱﾝﾄとして動作します。\r\n"
                                    "ｲｰｻﾈｯﾄｸﾚｰﾄﾞﾙをUDPｻｰﾊﾞｰに設定してくだい。\r\n"
                                    "\r\n"
                                    "TR30/TR31/TR32 Ver.3.0以降に対応しています。"));
    return true;
}

void MainWindow::ApplyWindowSettings()
{
    setSaveFolderCaption(m_settings.SaveFolder);
    m_startMinimised = m_settings.StartUpSize == 1;
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
    lblFolder->setText(folder);
}

void MainWindow::ShowStatus(std::int16_t mode, const QString& text)
{
    if (mode == 0) {
        setStatusText(text);
    } else if (mode == 1) {
        setStatusText(lblStatus->text() + QStringLiteral("\r\n") + text);
    }
}

void MainWindow::setStatusText(const QString& text)
{
    // Automatic cycles keep appending lines all day: only the newest ones are kept, and once the box is full it
    // shows its last lines, so the latest result is always in view.
    QString kept = text;
    const qsizetype lines = kept.count(QStringLiteral("\r\n")) + 1;
    if (lines > MaxStatusLines) {
        qsizetype cut = -1;
        for (qsizetype i = 0; i < lines - MaxStatusLines; ++i) {
            cut = kept.indexOf(QStringLiteral("\r\n"), cut + 1) + 1;
        }
        kept = kept.mid(cut + 1);
    }
    lblStatus->setText(kept);
    const QRect area = lblStatus->contentsRect();
    const bool overflows = lblStatus->heightForWidth(area.width()) > area.height();
    lblStatus->setAlignment(Qt::AlignLeft | (overflows ? Qt::AlignBottom : Qt::AlignTop));
}

void MainWindow::SetCommState(std::int16_t mode)
{
    if (mode != 0 && mode != 1) {
        return;
    }
    for (std::size_t i = 0; i < 2; ++i) {
        cmdComm[i]->setEnabled(false);
        Status[i]->setVisible(false);
    }
    cmdComm[static_cast<std::size_t>(mode)]->setEnabled(true);
    Status[static_cast<std::size_t>(mode)]->setVisible(true);
    cmdSetting->setEnabled(mode == 0);
    cmdInfo->setEnabled(mode == 0);
}

void MainWindow::setProgressMax(int max)
{
    Progbar->setMaximum(max);
}

void MainWindow::setProgressValue(int value)
{
    Progbar->setValue(value);
}

int MainWindow::progressMax() const
{
    return Progbar->maximum();
}

void MainWindow::setProgressVisible(bool visible)
{
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
        return;
    }
    // Without a link only Stop has something to do.
    if (index == 1) {
        m_running = false;
        SetCommState(0);
        ShowStatus(1, StopText);
    }
}

void MainWindow::cmdSetting_Click()
{
    frmSetting::open(m_settings, m_settingsFile, m_messages, this,
                     [this](const QString& folder) { setSaveFolderCaption(folder); });
}

void MainWindow::cmdInfo_Click()
{
    frmAbout::open(this);
}

void MainWindow::Timer1_Timer()
{
    setEnabled(true);
    Timer1.stop();
    if (m_comm.Timer1_Timer) {
        m_comm.Timer1_Timer();
        return;
    }
    m_running = false;
    SetCommState(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    bool keepOpen = false;
    if (m_comm.Form_Unload) {
        keepOpen = m_comm.Form_Unload();
    } else if (m_running) {
        cmdComm_Click(1);
        keepOpen = true;
    }
    if (keepOpen) {
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
    return QWidget::eventFilter(watched, event);
}

void MainWindow::lblFile_DblClick()
{
    if (lblFile->text().isEmpty()) {
        return;
    }
    if (m_openFile) {
        m_openFile(FileViewerPath(lblFolder->text(), lblFile->text()));
    }
}
