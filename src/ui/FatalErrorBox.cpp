#include "ui/FatalErrorBox.h"

#include "base/CrLf.h"
#include "base/MessageSink.h"

#include <QApplication>
#include <QString>
#include <QThread>

#include <cstdio>

namespace {

// Qt's message handler is one per process, so the box it reaches is too.
MessageSink* fatalMessages = nullptr;
QtMessageHandler previousHandler = nullptr;
bool boxShown = false;

void showFatalBox(const QString& text)
{
    // Only the GUI thread of a QApplication may show a box; a second fatal error while the box is up stays on
    // stderr.
    const QCoreApplication* application = QCoreApplication::instance();
    if (fatalMessages == nullptr || boxShown || application == nullptr || !application->inherits("QApplication") ||
        QThread::currentThread() != application->thread()) {
        return;
    }
    boxShown = true;
    fatalMessages->showMessage(QStringLiteral("予期しないｴﾗｰのため終了します") + CrLf + text,
                               QCoreApplication::applicationName(), MessageIcon::Critical);
    boxShown = false;
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    // stderr or the debugger as before; Qt ends the program after a fatal message once this returns.
    previousHandler(type, context, text);
    if (type == QtFatalMsg) {
        showFatalBox(text);
    }
}

} // namespace

FatalErrorBox::FatalErrorBox(MessageSink& messages)
{
    fatalMessages = &messages;
    previousHandler = qInstallMessageHandler(handleMessage);
}

FatalErrorBox::~FatalErrorBox()
{
    qInstallMessageHandler(previousHandler);
    fatalMessages = nullptr;
}

void FatalErrorBox::report(const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(text));
    showFatalBox(text);
}
