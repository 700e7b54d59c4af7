// zelbo_udp_session: zelbo_udp built from the same composition root for the session-end test where the system has no
// messages a test could send (Linux; on Windows the test sends the real exe Windows' own); never shipped. Any line on
// standard input plays a logoff that another program cancelled: the end's query, then its cancellation, through the
// program's own watcher.

#include "CommObjects.h"
#include "ProgramMain.h"

#include "ui/SessionWatcher.h"

#include <QSocketNotifier>

#include <unistd.h>

int main(int argc, char* argv[])
{
    return programMain(argc, argv, [](CommObjects&, const ProgramPaths&, SessionWatcher& session) {
        auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &session);
        QObject::connect(input, &QSocketNotifier::activated, &session, [input, &session] {
            char line[64];
            if (::read(STDIN_FILENO, line, sizeof line) <= 0) {
                input->setEnabled(false);
                return;
            }
            session.sessionEnding();
            session.sessionEndCancelled();
        });
    });
}
