#include "fakes/RecordingMessageSink.h"
#include "fakes/SystemErrorText.h"
#include "ui/frmFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#endif

#include <memory>

namespace {

// What the system reports for a folder that is not there; its description comes from the system too.
#ifdef Q_OS_WIN
constexpr int NoSuchFolderError = ERROR_FILE_NOT_FOUND;
#else
constexpr int NoSuchFolderError = ENOENT;
#endif

// A real double-click: press and release, then the double-click event and its release.
void doubleClick(QWidget* widget, const QPoint& pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
}

} // namespace

class TestFolderPicker : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingMessageSink m_sink;
    std::unique_ptr<QWidget> m_main;
    std::unique_ptr<QWidget> m_owner;
    QPointer<frmFolder> m_picker;
    QString m_startDir;

    QString native(const QString& relative) const
    {
        return QDir::toNativeSeparators(relative.isEmpty() ? m_dir->path() : m_dir->filePath(relative));
    }
    QTreeWidget* dirList() const { return m_picker->findChild<QTreeWidget*>(QStringLiteral("Dir1")); }
    QComboBox* driveList() const { return m_picker->findChild<QComboBox*>(QStringLiteral("Drive1")); }
    QPushButton* button(int index) const
    {
        return m_picker->findChild<QPushButton*>(QStringLiteral("cmdOK%1").arg(index));
    }
    QPoint itemCentre(const QString& text) const
    {
        const QList<QTreeWidgetItem*> found = dirList()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        if (found.size() != 1) {
            qWarning("folder %s listed %d times", qPrintable(text), int(found.size()));
            return QPoint(-1, -1);
        }
        return dirList()->visualItemRect(found[0]).center();
    }
    void open(const QString& start) { m_picker = frmFolder::open(start, m_owner.get(), m_main.get(), m_sink); }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("ZELBO_UDP"));
        m_startDir = QDir::currentPath();
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QDir root(m_dir->path());
        QVERIFY(root.mkpath(QStringLiteral("受信/inner")));
        QVERIFY(root.mkpath(QStringLiteral("backup")));
        m_sink.boxes.clear();
        m_main = std::make_unique<QWidget>();
        m_main->setGeometry(200, 150, 425, 377);
        m_main->show();
        m_owner = std::make_unique<QWidget>();
        m_owner->setGeometry(700, 500, 300, 200);
        m_owner->show();
    }

    void cleanup()
    {
        delete m_picker.data();
        m_owner.reset();
        m_main.reset();
        QDir::setCurrent(m_startDir);
    }

    void opensAtFolderCentredOverMainWindow()
    {
        open(native(QString()));
        QVERIFY(m_picker);
        QCOMPARE(m_picker->windowTitle(), QStringLiteral("保存ﾌｫﾙﾀﾞ"));
        QCOMPARE(m_picker->path(), native(QString()));
        QCOMPARE(driveList()->currentData().toString(), QStorageInfo(m_dir->path()).rootPath());
        QCOMPARE(dirList()->currentItem()->text(0), QDir(m_dir->path()).dirName());
        QVERIFY(itemCentre(QStringLiteral("受信")).y() > 0);
        QVERIFY(itemCentre(QStringLiteral("backup")).y() > 0);
        QVERIFY(!m_owner->isEnabled());
        QVERIFY(m_main->isEnabled()); // the settings dialog, not the picker, holds the main window
        // Frames are centred, not insides; halving an odd difference leaves half a pixel.
        const QPointF offset = QRectF(m_picker->frameGeometry()).center() - QRectF(m_main->frameGeometry()).center();
        QVERIFY(qAbs(offset.x()) <= 0.5);
        QVERIFY(qAbs(offset.y()) <= 0.5);
        QCOMPARE(m_picker->minimumSize(), m_picker->maximumSize());
        QCOMPARE(button(0)->text(), QStringLiteral("OK"));
        QCOMPARE(button(1)->text(), QStringLiteral("ｷｬﾝｾﾙ"));
        QVERIFY(button(0)->y() < button(1)->y());
        QVERIFY(m_sink.boxes.isEmpty());
    }

    void okReturnsTheOpenFolderNotTheHighlightedOne()
    {
        open(native(QString()));
        QSignalSpy chosen(m_picker, &frmFolder::folderChosen);

        QTest::mouseClick(dirList()->viewport(), Qt::LeftButton, Qt::NoModifier, itemCentre(QStringLiteral("backup")));
        QCOMPARE(dirList()->currentItem()->text(0), QStringLiteral("backup"));
        QCOMPARE(m_picker->path(), native(QString()));

        doubleClick(dirList()->viewport(), itemCentre(QStringLiteral("受信")));
        QCOMPARE(m_picker->path(), native(QStringLiteral("受信")));
        QTest::mouseClick(dirList()->viewport(), Qt::LeftButton, Qt::NoModifier, itemCentre(QStringLiteral("inner")));
        QCOMPARE(dirList()->currentItem()->text(0), QStringLiteral("inner"));

        QTest::mouseClick(button(0), Qt::LeftButton);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.at(0).at(0).toString(), native(QStringLiteral("受信")));
        QTRY_VERIFY(m_picker.isNull());
        QVERIFY(m_owner->isEnabled());
    }

    void enterOpensTheHighlightedFolderAndEscDoesNotClose()
    {
        open(native(QString()));
        QTest::mouseClick(dirList()->viewport(), Qt::LeftButton, Qt::NoModifier, itemCentre(QStringLiteral("backup")));
        QTest::keyClick(dirList(), Qt::Key_Return);
        QCOMPARE(m_picker->path(), native(QStringLiteral("backup")));
        QTest::keyClick(m_picker, Qt::Key_Escape);
        QTest::keyClick(driveList(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(m_picker && m_picker->isVisible());
        QVERIFY(!m_owner->isEnabled());

        // Going up: the folder's parent is listed above it.
        doubleClick(dirList()->viewport(), itemCentre(QDir(m_dir->path()).dirName()));
        QCOMPARE(m_picker->path(), native(QString()));
    }

    void longFolderNamesAreShownWhole()
    {
        const QString longName = QStringLiteral("受信ﾃﾞｰﾀ_2026年12月分_東京営業所_棚卸_再集計済み_最終版_A");
        QVERIFY(QDir(m_dir->path()).mkpath(longName));
        open(native(QString()));
        const QList<QTreeWidgetItem*> found = dirList()->findItems(longName, Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        // Whole in its row, reached by scrolling sideways rather than cut to look like its neighbours.
        QVERIFY(dirList()->visualItemRect(found[0]).width() > dirList()->fontMetrics().horizontalAdvance(longName));
        QVERIFY(dirList()->horizontalScrollBar()->maximum() > 0);
    }

    void missingStartFolderFallsBackToCurrentDirectory_data()
    {
        QTest::addColumn<QString>("start");
        QTest::newRow("deleted") << QStringLiteral("gone");
        QTest::newRow("empty") << QString();
    }
    void missingStartFolderFallsBackToCurrentDirectory()
    {
        QFETCH(QString, start);
        QVERIFY(QDir::setCurrent(m_dir->filePath(QStringLiteral("backup"))));
        open(start.isEmpty() ? QString() : native(start));
        QCOMPARE(m_picker->path(), native(QStringLiteral("backup")));
        QVERIFY(m_sink.boxes.isEmpty());
    }

    void unreadableDriveBeepsReportsAndKeepsTheFolder()
    {
        open(native(QString()));
        const int before = driveList()->currentIndex();
        const QString missingRoot = m_dir->filePath(QStringLiteral("no-medium"));
        driveList()->addItem(QDir::toNativeSeparators(missingRoot), missingRoot);
        driveList()->setCurrentIndex(driveList()->count() - 1);

        QCOMPARE(m_sink.boxes.size(), 1);
        QCOMPARE(m_sink.boxes[0].text,
                 QStringLiteral("ｴﾗｰ %1\r\n").arg(NoSuchFolderError) + systemErrorText(NoSuchFolderError));
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("ZELBO_UDP"));
        QCOMPARE(m_sink.boxes[0].icon, MessageIcon::None);
        QCOMPARE(m_picker->path(), native(QString()));
        QCOMPARE(driveList()->currentIndex(), driveList()->count() - 1);
        QVERIFY(itemCentre(QStringLiteral("受信")).y() > 0);

        // The lists stay usable: picking the good drive again works.
        driveList()->setCurrentIndex(before);
        QCOMPARE(m_sink.boxes.size(), 1);
        QVERIFY(!m_picker->path().isEmpty());
    }

    void everyWayOfClosingGivesTheOwnerBack_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("OK") << 0;
        QTest::newRow("ｷｬﾝｾﾙ") << 1;
        QTest::newRow("close box") << 2;
    }
    void everyWayOfClosingGivesTheOwnerBack()
    {
        QFETCH(int, way);
        open(native(QString()));
        QSignalSpy chosen(m_picker, &frmFolder::folderChosen);
        m_owner->hide();
        if (way == 2) {
            m_picker->close();
        } else {
            QTest::mouseClick(button(way), Qt::LeftButton);
        }
        QTRY_VERIFY(m_picker.isNull());
        QVERIFY(m_owner->isEnabled());
        QVERIFY(m_owner->isVisible());
        QCOMPARE(chosen.size(), way == 0 ? 1 : 0);
    }
};

QTEST_MAIN(TestFolderPicker)
#include "TestFolderPicker.moc"
