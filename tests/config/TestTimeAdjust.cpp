#include "config/TimeAdjust.h"

#include <QTest>

class TestTimeAdjust : public QObject
{
    Q_OBJECT

private slots:
    void clockAdjust_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("on");
        QTest::newRow("1") << QStringLiteral("1") << true;
        QTest::newRow("0") << QStringLiteral("0") << false;
        QTest::newRow("blank 1") << QStringLiteral(" 1") << true;
        QTest::newRow("1.0") << QStringLiteral("1.0") << true;
        QTest::newRow("01") << QStringLiteral("01") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("2") << QStringLiteral("2") << false;
        QTest::newRow("letters") << QStringLiteral("yes") << false;
    }
    void clockAdjust()
    {
        QFETCH(QString, text);
        QFETCH(bool, on);
        QCOMPARE(isClockAdjustOn(text), on);
    }
};

QTEST_GUILESS_MAIN(TestTimeAdjust)
#include "TestTimeAdjust.moc"
