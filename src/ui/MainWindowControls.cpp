#include "ui/MainWindowControls.h"

#include "ui/SunkenBox.h"
#include "ui/UiFont.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

constexpr int TwipsPerPixel = 15;
constexpr int ClientWidthTwips = 6375;
constexpr int ClientHeightTwips = 5655;
// The note's size in the face the window was laid out for; a taller face is stepped down towards the windows' own
// size until it fits.
constexpr int NotePointSize = 12;
constexpr int MinNotePointSize = 9;

QRect twips(int left, int top, int width, int height)
{
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel);
}

QLabel* makeLabel(QWidget& window, const char* name, const QString& caption, const QRect& rect)
{
    auto* label = new QLabel(caption, &window);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    // Folder, file and status texts are shown as they are, never read as markup.
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* makeBox(QWidget& window, const char* name, const QRect& rect)
{
    QLabel* box = makeSunkenBox(QString::fromLatin1(name), &window);
    box->setGeometry(rect);
    return box;
}

QPushButton* makeButton(QWidget& window, const QString& name, const QString& caption, const QRect& rect)
{
    auto* button = new QPushButton(caption, &window);
    button->setObjectName(name);
    button->setGeometry(rect);
    button->setAutoDefault(false);
    return button;
}

} // namespace

QSize MainWindowControls::clientSize()
{
    return QSize(ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);
}

void MainWindowControls::build(QWidget& window)
{
    const QFont font = japaneseUiFont(window.font());
    window.setFont(font);
    buildCaptions(window);
    buildStatusBox(window);
    buildProgressBar(window);
    buildNote(window, font);
    buildCommButtons(window);
    buildLights(window);
    buildSettingButtons(window);
}

void MainWindowControls::buildCaptions(QWidget& window)
{
    Label2 = makeLabel(window, "Label2", QStringLiteral("ﾌｧｲﾙ名"), twips(120, 120, 1212, 252));
    lblFile = makeBox(window, "lblFile", twips(1440, 120, 4812, 252));
    Label1 = makeLabel(window, "Label1", QStringLiteral("保存ﾌｫﾙﾀﾞ"), twips(120, 480, 1212, 252));
    lblFolder = makeBox(window, "lblFolder", twips(1440, 480, 4812, 252));
    Label4 = makeLabel(window, "Label4", QStringLiteral("最終ｽﾃｰﾀｽ"), twips(120, 840, 1212, 252));
}

void MainWindowControls::buildStatusBox(QWidget& window)
{
    // A label draws a long text from its top whatever its alignment, so the status box is a read-only text view
    // made to look like the other boxes.
    lblStatus = new QPlainTextEdit(&window);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(twips(1440, 840, 4815, 1815));
    lblStatus->setReadOnly(true);
    lblStatus->setFocusPolicy(Qt::NoFocus);
    lblStatus->viewport()->setCursor(Qt::ArrowCursor);
    lblStatus->setFrameShape(QFrame::Panel);
    lblStatus->setFrameShadow(QFrame::Sunken);
    lblStatus->setLineWidth(1);
    lblStatus->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lblStatus->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    lblStatus->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    lblStatus->document()->setDocumentMargin(boxTextIndent(lblStatus));
    QPalette palette = lblStatus->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, palette.color(QPalette::WindowText));
    lblStatus->setPalette(palette);
}

void MainWindowControls::buildProgressBar(QWidget& window)
{
    Progbar = new QProgressBar(&window);
    Progbar->setObjectName(QStringLiteral("Progbar"));
    Progbar->setGeometry(twips(120, 2760, 6135, 375));
    Progbar->setMinimum(0);
    Progbar->setTextVisible(false);
    Progbar->setVisible(false);
}

void MainWindowControls::buildNote(QWidget& window, const QFont& font)
{
    // Down to the buttons rather than 975 twips: faces other than the one the window was laid out for need a little
    // more line height.
    lblNote = makeLabel(window, "lblNote", QString(), twips(120, 3240, 6135, 1185));
    QFont noteFont = font;
    noteFont.setPointSize(NotePointSize);
    noteFont.setBold(true);
    lblNote->setFont(noteFont);
    QPalette palette = lblNote->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    lblNote->setPalette(palette);
    lblNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void MainWindowControls::buildCommButtons(QWidget& window)
{
    const std::array<QString, 2> captions = {QStringLiteral("通信ｽﾀｰﾄ"), QStringLiteral("通信ｽﾄｯﾌﾟ")};
    const std::array<int, 2> tops = {4440, 5040};
    for (std::size_t i = 0; i < 2; ++i) {
        cmdComm[i] =
            makeButton(window, QStringLiteral("cmdComm%1").arg(i), captions[i], twips(120, tops[i], 1212, 492));
    }
}

void MainWindowControls::buildLights(QWidget& window)
{
    // Status(0) red for idle, Status(1) cyan for a run; the two lie on top of each other.
    const std::array<QColor, 2> colours = {QColor(0xFF, 0x00, 0x00), QColor(0x00, 0xFF, 0xFF)};
    for (std::size_t i = 0; i < 2; ++i) {
        auto* light = new QFrame(&window);
        light->setObjectName(QStringLiteral("Status%1").arg(i));
        light->setGeometry(twips(1440, 4440, 3375, 1095));
        light->setFrameShape(QFrame::Box);
        light->setAutoFillBackground(true);
        QPalette palette = light->palette();
        palette.setColor(QPalette::Window, colours[i]);
        light->setPalette(palette);
        Status[i] = light;
    }
}

void MainWindowControls::buildSettingButtons(QWidget& window)
{
    cmdSetting = makeButton(window, QStringLiteral("cmdSetting"), QStringLiteral("設定"), twips(4920, 4440, 1332, 492));
    cmdInfo = makeButton(window, QStringLiteral("cmdInfo"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), twips(4920, 5040, 1332, 492));
}

void MainWindowControls::fitNoteFont() const
{
    const QRect area = lblNote->contentsRect();
    QFont font = lblNote->font();
    for (int size = NotePointSize; size >= MinNotePointSize; --size) {
        font.setPointSize(size);
        const QRect needed = QFontMetrics(font, lblNote).boundingRect(area, int(lblNote->alignment()), lblNote->text());
        if (area.contains(needed)) {
            break;
        }
    }
    if (font != lblNote->font()) {
        lblNote->setFont(font);
    }
}
