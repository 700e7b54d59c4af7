#include "config/SettingsFile.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"
#include "ui/MainWindow.h"
#include "ui/UiFont.h"
#include "ui/frmAbout.h"
#include "ui/frmFolder.h"
#include "ui/frmSetting.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Taller than the face the windows were laid out for (line height about 1.45 em against 1.0), as tall as the Windows
// fallbacks get.
const QString TallFace = QStringLiteral("Noto Sans CJK JP");

// Puts the tall face in front of every control's own families, keeping each one's size and weight. The secondary
// windows take their owner's font before they lay themselves out.
void putTallFaceFirst(QWidget* window)
{
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        QFont font = widget->font();
        if (font.families().value(0) != TallFace) {
            font.setFamilies(QStringList{TallFace} + font.families());
            widget->setFont(font);
        }
    }
}

// Where the control draws its caption.
QRect textArea(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QRect area = label->contentsRect().marginsRemoved(QMargins(1, 1, 1, 1) * label->margin());
        if (label->indent() > 0 && (label->alignment() & Qt::AlignLeft)) {
            area.setLeft(area.left() + label->indent());
        }
        return area;
    }
    auto* button = qobject_cast<QAbstractButton*>(widget);
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QStyle::SubElement element = qobject_cast<QCheckBox*>(button)      ? QStyle::SE_CheckBoxContents
                                       : qobject_cast<QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
                                                                             : QStyle::SE_PushButtonContents;
    return button->style()->subElementRect(element, &option, button);
}

// What of text drawText shows in area: the lines as it places them, narrowed from their line boxes to the glyphs'
// ink. It clips to area, and a tall face's line box may overhang a 16-pixel row while its glyphs do not.
QRect inkRect(const QFontMetrics& metrics, const QRect& area, int flags, const QString& text)
{
    QRect lines = metrics.boundingRect(area, flags, text);
    QString glyphs = text;
    glyphs.remove(u'\r').replace(u'\n', u' ');
    const QRect ink = metrics.tightBoundingRect(glyphs); // relative to the baseline
    lines.setTop(lines.top() + metrics.ascent() + ink.top());
    lines.setBottom(lines.bottom() - metrics.descent() + ink.bottom());
    return lines;
}

// The controls of window whose caption does not fit where it is drawn, with the sizes.
QStringList captionsCut(QWidget* window, const QStringList& skipped)
{
    QStringList cut;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || skipped.contains(widget->objectName())) {
            continue;
        }
        QString text;
        int flags = 0;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
            flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
            flags = Qt::TextShowMnemonic |
                    (qobject_cast<QPushButton*>(button) ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        }
        if (text.isEmpty()) {
            continue;
        }
        const QRect area = textArea(widget);
        const QRect needed = inkRect(widget->fontMetrics(), area, flags, text);
        if (!area.contains(needed)) {
            const auto describe = [](const QRect& r) {
                return QStringLiteral("%1x%2 at (%3,%4)").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
            };
            cut << QString::fromLatin1(widget->metaObject()->className()) + u' ' + widget->objectName() + u' ' + text +
                       QStringLiteral(": needs ") + describe(needed) + QStringLiteral(", has ") + describe(area);
        }
    }
    return cut;
}

} // namespace

class TestTextFits : public QObject
{
    Q_OBJECT

private slots:
    void everyCaptionFitsInTheTallestFace()
    {
        if (!QFontDatabase::families().contains(TallFace)) {
            QSKIP("Noto Sans CJK JP (fonts-noto-cjk) is not installed");
        }
        QCoreApplication::setApplicationName(QStringLiteral("ZELBO_UDP"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.5"));
        QCoreApplication::setOrganizationName(QStringLiteral("ZELBO"));
        applyJapaneseUiFont();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ProgramPaths paths = testProgramPaths(dir.path());
        Settings sample = SettingsFile::defaults(paths.ProgramFolder);
        sample.RemoteHost = QStringLiteral("127.0.0.1");
        QVERIFY(!writeTestFile(QDir(dir.path()), QStringLiteral("zelbo_udp.ini"), SettingsFile::formatFile(sample))
                     .isEmpty());
        RecordingMessageSink sink;
        SettingsFile file(paths, sink);
        SettingsState settings;
        MainWindow window(settings, paths, file, sink);
        QVERIFY(window.Form_Load());
        window.show();
        QCOMPARE(window.font().pointSize(), 9);
        window.setFileCaption(QDir::separator() + QStringLiteral("ORDERS-20261207.txt"));
        window.SetCommState(0);

        putTallFaceFirst(&window);
        QPointer<frmSetting> dialog = frmSetting::open(settings, file, sink, &window, {});
        QPointer<frmFolder> picker = frmFolder::open(settings.effective().SaveFolder, dialog, &window, sink);
        QPointer<frmAbout> about = frmAbout::open(&window);
        for (QWidget* shown : {static_cast<QWidget*>(&window), static_cast<QWidget*>(dialog.data()),
                               static_cast<QWidget*>(picker.data()), static_cast<QWidget*>(about.data())}) {
            QVERIFY(shown != nullptr);
            QCOMPARE(QFontInfo(shown->font()).family(), TallFace);
            // The main window's file and folder boxes show data in rows of a fixed 16 pixels (252 twips), where
            // this face's descenders (g, p, y) lose their lowest pixel; the captions must fit whole.
            const QStringList dataBoxes = {QStringLiteral("lblFile"), QStringLiteral("lblFolder")};
            const QStringList cut = captionsCut(shown, shown == &window ? dataBoxes : QStringList());
            QVERIFY2(cut.isEmpty(), qPrintable(shown->objectName() + QStringLiteral(": ") + cut.join(u'\n')));
        }
        delete about.data();
        delete picker.data();
        delete dialog.data();
        QVERIFY(sink.boxes.isEmpty());
    }
};

QTEST_MAIN(TestTextFits)
#include "TestTextFits.moc"
