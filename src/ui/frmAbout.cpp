#include "ui/frmAbout.h"

#include "ui/AppIcon.h"
#include "ui/WindowPlacement.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVersionNumber>

#include <utility>

namespace {

constexpr int IconSize = 32;
constexpr int TitlePointSizeStep = 2;

const QString PictureResource = QStringLiteral(":/images/about.png");

// "Ver." and major.minor.revision of a version text, each in plain decimal; missing parts count as 0.
QString versionText(const QString& applicationVersion)
{
    const QVersionNumber version = QVersionNumber::fromString(applicationVersion);
    return QStringLiteral("Ver.%1.%2.%3")
        .arg(version.majorVersion())
        .arg(version.minorVersion())
        .arg(version.microVersion());
}

} // namespace

frmAbout::frmAbout(QWidget* mainWindow, std::function<void()> openNotices)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      m_ownerLock(this, mainWindow, OwnerLock::OnRelease::EnableAndActivate), m_openNotices(std::move(openNotices))
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    buildControls();
    // Reached by OK, Enter, Esc and the close box alike.
    connect(this, &QDialog::finished, this, &frmAbout::Form_Unload);
}

frmAbout* frmAbout::open(QWidget* mainWindow, std::function<void()> openNotices)
{
    auto* box = new frmAbout(mainWindow, std::move(openNotices));
    box->Form_Load();
    box->show();
    return box;
}

void frmAbout::buildControls()
{
    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
        icon = applicationIcon();
    }
    picIcon->setPixmap(icon.pixmap(IconSize, IconSize));
    picIcon->setFixedSize(IconSize, IconSize);

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setTextFormat(Qt::PlainText);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + TitlePointSizeStep);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setTextFormat(Qt::PlainText);
    lblCompany = new QLabel(this);
    lblCompany->setObjectName(QStringLiteral("lblCompany"));
    lblCompany->setTextFormat(Qt::PlainText);

    auto* Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(PictureResource));
    Image1->setAlignment(Qt::AlignCenter);

    // The etched separator: a grey line over a white one.
    const std::array<QColor, 2> lineColours = {QColor(0x80, 0x80, 0x80), QColor(0xFF, 0xFF, 0xFF)};
    for (std::size_t i = 0; i < Line1.size(); ++i) {
        auto* line = new QFrame(this);
        line->setObjectName(QStringLiteral("Line1%1").arg(i));
        line->setFixedHeight(1);
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, lineColours[i]);
        line->setPalette(palette);
        Line1[i] = line;
    }

    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    // After OK, which keeps the focus and Enter; the box stays open while the licences are read.
    auto* cmdNotices = new QPushButton(QStringLiteral("ﾗｲｾﾝｽ情報"), this);
    cmdNotices->setObjectName(QStringLiteral("cmdNotices"));
    cmdNotices->setAutoDefault(false);
    cmdNotices->setEnabled(static_cast<bool>(m_openNotices));
    connect(cmdNotices, &QPushButton::clicked, this, [this] { m_openNotices(); });

    auto* root = new QVBoxLayout(this);
    root->setSizeConstraint(QLayout::SetFixedSize);
    auto* top = new QHBoxLayout;
    top->addWidget(picIcon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addWidget(lblCompany);
    top->addLayout(texts, 1);
    root->addLayout(top);
    root->addWidget(Image1);
    auto* separator = new QVBoxLayout;
    separator->setSpacing(0);
    separator->addWidget(Line1[0]);
    separator->addWidget(Line1[1]);
    root->addLayout(separator);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdNotices);
    bottom->addStretch(1);
    bottom->addWidget(cmdOK);
    root->addLayout(bottom);
}

void frmAbout::Form_Load()
{
    const QString title = QCoreApplication::applicationName();
    setWindowTitle(title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    lblVersion->setText(versionText(QCoreApplication::applicationVersion()));
    lblTitle->setText(title);
    lblCompany->setText(QCoreApplication::organizationName());
    // Centred once the texts are in, so the size the box will have is known.
    adjustSize();
    if (const QWidget* mainWindow = m_ownerLock.owner()) {
        centreOver(this, mainWindow);
    }
    m_ownerLock.lock();
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::Form_Unload()
{
    m_ownerLock.release();
}
