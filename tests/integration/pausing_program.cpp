// zelbo_udp_pausing: zelbo_udp built from the same composition root for the tests that kill it mid-cycle; never
// shipped. ZELBO_TEST_PAUSE_AT names a checkpoint of the cycle's output, where the program leaves the file
// "PAUSED.<checkpoint>" in its folder (a Windows GUI program has no stderr to watch) and stands still to be killed.

#include "CommObjects.h"
#include "ProgramMain.h"

#include "base/ProgramPaths.h"

#include <QFile>
#include <QString>
#include <QThread>

int main(int argc, char* argv[])
{
    const QByteArray point = qgetenv("ZELBO_TEST_PAUSE_AT");
    return programMain(argc, argv, [point](CommObjects& comm, const ProgramPaths& paths, SessionWatcher&) {
        if (point.isEmpty()) {
            return;
        }
        comm.output().setCheckpoint([point, folder = paths.ProgramFolder](const char* reached) {
            if (point != reached) {
                return;
            }
            QFile flag(folder + QStringLiteral("/PAUSED.") + QString::fromLatin1(point));
            (void)flag.open(QIODevice::WriteOnly);
            flag.close();
            // Blocks the file work on purpose, as a kill at this point would find it: the cycle waits for this step and
            // cannot move on meanwhile. A test-only program; the shipped one never pauses.
            QThread::sleep(120);
        });
    });
}
