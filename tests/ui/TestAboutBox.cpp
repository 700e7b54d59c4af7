#include "ui/frmAbout.h"

#include "ui/AppIcon.h"

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>

class TestAboutBox : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_main;
    QPointer<frmAbout> m_box;

    QString text(const char* name) const
    {
        const auto* label = m_box->findChild<QLabel*>(QString::fromLatin1(name));
        return label != nullptr ? label->text() : QStringLiteral("<missing>");
    }

private slots:
    void init()
    {
        QCoreApplication::setApplicationName(QStringLiteral("ZELBO_UDP"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.5"));
        QCoreApplication::setOrganizationName(QStringLiteral("ZELBO"));
        m_main = std::make_unique<QWidget>();
        m_main->setGeometry(200, 150, 425, 377);
        m_main->show();
    }

    void cleanup()
    {
        delete m_box.data();
        m_main.reset();
    }

    // Every size a window asks for is a drawing of its own, not another size scaled.
    void applicationIconHasEveryDrawnSize()
    {
        const QIcon icon = applicationIcon();
        for (const int size : {16, 24, 32, 48, 64, 256}) {
            const QString file = size == 64 ? QStringLiteral(":/icons/zelbo_udp.png")
                                            : QStringLiteral(":/icons/zelbo_udp-%1.png").arg(size);
            const QImage drawn(file);
            QCOMPARE(drawn.size(), QSize(size, size));
            QCOMPARE(icon.pixmap(QSize(size, size)).toImage().convertToFormat(drawn.format()), drawn);
        }
    }

    void showsTheApplicationsOwnInformation()
    {
        m_box = frmAbout::open(m_main.get());
        QCOMPARE(m_box->windowTitle(), QStringLiteral("ZELBO_UDPのﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(text("lblTitle"), QStringLiteral("ZELBO_UDP"));
        QCOMPARE(text("lblVersion"), QStringLiteral("Ver.1.2.5"));
        QCOMPARE(text("lblCompany"), QStringLiteral("ZELBO"));
        QVERIFY(!m_box->findChild<QLabel*>(QStringLiteral("picIcon"))->pixmap().isNull());
        QVERIFY(!m_box->findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
        QVERIFY(!QPixmap(QStringLiteral(":/icons/zelbo_udp.png")).isNull());

        auto* grey = m_box->findChild<QFrame*>(QStringLiteral("Line10"));
        auto* white = m_box->findChild<QFrame*>(QStringLiteral("Line11"));
        QVERIFY(grey && white);
        QVERIFY(grey->y() < white->y());
        QCOMPARE(grey->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));
        QCOMPARE(white->palette().color(QPalette::Window), QColor(Qt::white));

        QVERIFY(!m_main->isEnabled());
        QCOMPARE(m_box->minimumSize(), m_box->maximumSize());
        // Frames are centred, not insides; halving an odd difference leaves half a pixel.
        const QPointF offset = QRectF(m_box->frameGeometry()).center() - QRectF(m_main->frameGeometry()).center();
        QVERIFY(qAbs(offset.x()) <= 0.5);
        QVERIFY(qAbs(offset.y()) <= 0.5);
    }

    void emptyCompanyLeavesTheLabelEmpty()
    {
        QCoreApplication::setOrganizationName(QString());
        m_box = frmAbout::open(m_main.get());
        QCOMPARE(text("lblCompany"), QString());
    }

    void versionText_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QStringLiteral("1.2.5") << QStringLiteral("Ver.1.2.5");
        QTest::newRow("leading zeros") << QStringLiteral("01.02.005") << QStringLiteral("Ver.1.2.5");
        QTest::newRow("two digits") << QStringLiteral("10.11.12") << QStringLiteral("Ver.10.11.12");
        QTest::newRow("major only") << QStringLiteral("3") << QStringLiteral("Ver.3.0.0");
        QTest::newRow("four parts") << QStringLiteral("1.0.0.7") << QStringLiteral("Ver.1.0.0");
        QTest::newRow("suffix") << QStringLiteral("2.1.4-rc1") << QStringLiteral("Ver.2.1.4");
        QTest::newRow("none") << QString() << QStringLiteral("Ver.0.0.0");
    }
    void versionText()
    {
        QFETCH(QString, version);
        QFETCH(QString, expected);
        QCoreApplication::setApplicationVersion(version);
        m_box = frmAbout::open(m_main.get());
        QCOMPARE(text("lblVersion"), expected);
    }

    void everyWayOfClosingGivesTheMainWindowBack_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("OK") << 0;
        QTest::newRow("Enter") << 1;
        QTest::newRow("Esc") << 2;
        QTest::newRow("close box") << 3;
    }
    void everyWayOfClosingGivesTheMainWindowBack()
    {
        QFETCH(int, way);
        m_box = frmAbout::open(m_main.get());
        m_main->hide();
        QVERIFY(!m_main->isEnabled());
        switch (way) {
        case 0:
            QTest::mouseClick(m_box->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
            break;
        case 1:
            QTest::keyClick(m_box, Qt::Key_Return);
            break;
        case 2:
            QTest::keyClick(m_box, Qt::Key_Escape);
            break;
        default:
            m_box->close();
            break;
        }
        QTRY_VERIFY(m_box.isNull());
        QVERIFY(m_main->isEnabled());
        QVERIFY(m_main->isVisible());
    }
};

QTEST_MAIN(TestAboutBox)
#include "TestAboutBox.moc"
