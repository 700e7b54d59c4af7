#include "config/MailPasswordInput.h"

#include <QTest>

using Refusal = MailPasswordInput::Refusal;

class TestMailPasswordInput : public QObject
{
    Q_OBJECT

private slots:
    void storesOnlyThePasswordMeant_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("keepBlanks");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("refusal");
        const int none = int(Refusal::None);
        QTest::newRow("CRLF") << QByteArray("s3cret\r\n") << false << QStringLiteral("s3cret") << none;
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBFひみつ\n") << false << QStringLiteral("ひみつ")
                                        << none;
        QTest::newRow("cp932") << QByteArray("\x82\xD0\x82\xDD\x82\xC2") << false << QStringLiteral("ひみつ") << none;
        QTest::newRow("blank inside") << QByteArray("a b\r\n") << false << QStringLiteral("a b") << none;
        QTest::newRow("echo's blank") << QByteArray("s3cret \r\n") << false << QString() << int(Refusal::Blanks);
        QTest::newRow("ideographic blank")
            << QByteArray("\xE3\x80\x80s3cret") << false << QString() << int(Refusal::Blanks);
        QTest::newRow("blanks that belong")
            << QByteArray("\ts3cret \r\n") << true << QStringLiteral("\ts3cret ") << none;
        QTest::newRow("PowerShell's UTF-16")
            << QByteArray("\xFF\xFEs\0e\0c\0\r\0", 10) << true << QString() << int(Refusal::Utf16);
        QTest::newRow("UTF-16 without BOM") << QByteArray("s\0e\0c\0", 6) << false << QString() << int(Refusal::Nul);
        QTest::newRow("only a line end") << QByteArray("\r\n") << true << QString() << int(Refusal::Empty);
    }
    void storesOnlyThePasswordMeant()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, keepBlanks);
        QFETCH(QString, password);
        QFETCH(int, refusal);
        const MailPasswordInput input = MailPasswordInput::fromLine(line, keepBlanks);
        QCOMPARE(int(input.refusal), refusal);
        QCOMPARE(input.password, password);
    }
};

QTEST_GUILESS_MAIN(TestMailPasswordInput)
#include "TestMailPasswordInput.moc"
