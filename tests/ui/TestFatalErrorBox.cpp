#include "fakes/RecordingMessageSink.h"
#include "ui/FatalErrorBox.h"

#include <QApplication>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

// The handler Qt calls for every message, read without changing it.
QtMessageHandler currentHandler()
{
    const QtMessageHandler handler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(handler);
    return handler;
}

// Stands in for Qt's handler, which writes to stderr (QtTest's would end the test at a fatal message).
QStringList logged;
void logMessage(QtMsgType, const QMessageLogContext&, const QString& text)
{
    logged << text;
}

} // namespace

class TestFatalErrorBox : public QObject
{
    Q_OBJECT

private slots:
    void fatalErrorsReachTheUserAsABox()
    {
        QCoreApplication::setApplicationName(QStringLiteral("ZELBO_UDP"));
        const QtMessageHandler testHandler = qInstallMessageHandler(logMessage);
        RecordingMessageSink sink;
        {
            FatalErrorBox fatalError(sink);
            // Called directly: through qFatal Qt would end the test once the handler returns.
            const QtMessageHandler handler = currentHandler();
            QVERIFY(handler != logMessage);
            const QMessageLogContext context;
            handler(QtWarningMsg, context, QStringLiteral("a warning"));
            QVERIFY(sink.boxes.isEmpty());
            handler(QtFatalMsg, context, QStringLiteral("no platform plugin"));
            QCOMPARE(sink.boxes.size(), 1);
            QCOMPARE(sink.boxes[0].title, QStringLiteral("ZELBO_UDP"));
            QCOMPARE(sink.boxes[0].text, QStringLiteral("予期しないｴﾗｰのため終了します\r\nno platform plugin"));
            QCOMPARE(sink.boxes[0].icon, MessageIcon::Critical);
            QCOMPARE(logged, (QStringList{QStringLiteral("a warning"), QStringLiteral("no platform plugin")}));

            // Another thread may not show a box; stderr has it.
            std::unique_ptr<QThread> worker(
                QThread::create([&] { handler(QtFatalMsg, context, QStringLiteral("in the mail thread")); }));
            worker->start();
            QVERIFY(worker->wait());
            QCOMPARE(sink.boxes.size(), 1);
            QCOMPARE(logged.size(), 3);

            // What main() catches.
            fatalError.report(QStringLiteral("std::bad_alloc"));
            QCOMPARE(sink.boxes.size(), 2);
            QCOMPARE(sink.boxes[1].text, QStringLiteral("予期しないｴﾗｰのため終了します\r\nstd::bad_alloc"));
        }
        // The earlier handler is back once the program's objects are gone.
        QVERIFY(qInstallMessageHandler(testHandler) == logMessage);
    }
};

QTEST_MAIN(TestFatalErrorBox)
#include "TestFatalErrorBox.moc"
