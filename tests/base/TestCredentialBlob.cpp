#include "base/CredentialBlob.h"

#include <QTest>

namespace {

QByteArray utf16Le(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

class TestCredentialBlob : public QObject
{
    Q_OBJECT

private slots:
    void readsOldUtf8AndCmdkeysUtf16_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<QString>("password");
        // Written by this program before: UTF-8, also where the bytes would pass as UTF-16LE (here of CJK).
        QTest::newRow("old ASCII, even") << QByteArray("Pa55w0rd") << QStringLiteral("Pa55w0rd");
        QTest::newRow("old Japanese") << QStringLiteral("ひみつ1").toUtf8() << QStringLiteral("ひみつ1");
        // cmdkey and the control panel: UTF-16LE without terminator.
        QTest::newRow("cmdkey ASCII") << utf16Le(QStringLiteral("Pa55w0rd")) << QStringLiteral("Pa55w0rd");
        QTest::newRow("cmdkey mixed") << utf16Le(QStringLiteral("日本語pass")) << QStringLiteral("日本語pass");
        QTest::newRow("cmdkey, bytes not UTF-8")
            << utf16Le(QStringLiteral("パスワード")) << QStringLiteral("パスワード");
        QTest::newRow("cmdkey, UTF-8 with DEL") << utf16Le(QStringLiteral("ひみつ")) << QStringLiteral("ひみつ");
        QTest::newRow("cmdkey, surrogate pair") << utf16Le(QStringLiteral("𠮷野家")) << QStringLiteral("𠮷野家");
        // The one text both ways is read as UTF-8.
        QTest::newRow("limit") << utf16Le(QStringLiteral("あいうえ")) << QStringLiteral("B0D0F0H0");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("neither") << QByteArray("ab\xff") << QStringLiteral("ab\uFFFD");
    }
    void readsOldUtf8AndCmdkeysUtf16()
    {
        QFETCH(QByteArray, blob);
        QFETCH(QString, password);
        QCOMPARE(CredentialBlob::toPassword(blob), password);
    }

    void writesUtf16LeThatReadsBack_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("utf16");
        QTest::newRow("ASCII") << QStringLiteral("Pa55w0rd") << true;
        QTest::newRow("blanks inside and around") << QStringLiteral(" a b ") << true;
        QTest::newRow("Japanese") << QStringLiteral("ひみつ") << true;
        QTest::newRow("surrogate pair") << QStringLiteral("𠮷") << true;
        QTest::newRow("would read as ASCII") << QStringLiteral("あいうえ") << false;
    }
    void writesUtf16LeThatReadsBack()
    {
        QFETCH(QString, password);
        QFETCH(bool, utf16);
        const QByteArray blob = CredentialBlob::fromPassword(password);
        QCOMPARE(blob, utf16 ? utf16Le(password) : password.toUtf8());
        QCOMPARE(CredentialBlob::toPassword(blob), password);
    }
};

QTEST_GUILESS_MAIN(TestCredentialBlob)
#include "TestCredentialBlob.moc"
