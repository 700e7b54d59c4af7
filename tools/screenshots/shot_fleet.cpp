// Renders the fleet window over a folder of sample status files (polling, failing, stopped, silent) into a PNG file:
//   QT_QPA_PLATFORM=offscreen shot_fleet docs/fleet.png

#include "FleetCommand.h"
#include "output/StatusReport.h"
#include "ui/UiFont.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Sample
{
    const char* pc;
    const char* user;
    const char* profile;
    StatusRecord::State state;
    int storedMinutesAgo;
    const char* failure;
    int silentMinutes; // the file's age; 0 for a fresh one
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    applyJapaneseUiFont();
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_fleet OUTPUT.png\n");
        return 2;
    }
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QTemporaryDir dir;
    if (!dir.isValid()) {
        return 1;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const Sample samples[] = {
        {"SOUKO-PC01", "tanaka", "", StatusRecord::State::Polling, 12, nullptr, 0},
        {"SOUKO-PC02", "suzuki", "1F", StatusRecord::State::Polling, 95, nullptr, 0},
        {"SOUKO-PC02", "suzuki", "2F", StatusRecord::State::Failing, 240,
         "保存ﾌｫﾙﾀﾞが存在しません : \\\\fs01\\棚卸\\2F  53:ﾈｯﾄﾜｰｸ ﾊﾟｽが見つかりません。", 0},
        {"JIMU-PC07", "sato", "", StatusRecord::State::Stopped, 600, nullptr, 0},
        {"HANBAI-PC03", "yamada", "", StatusRecord::State::Polling, 1500, nullptr, 95},
    };
    for (const Sample& sample : samples) {
        StatusRecord record;
        record.version = QStringLiteral("1.0.0");
        record.pc = QString::fromUtf8(sample.pc);
        record.user = QString::fromUtf8(sample.user);
        record.profile = QString::fromUtf8(sample.profile);
        record.state = sample.state;
        const QDateTime written = now.addSecs(-60 * sample.silentMinutes - 40);
        record.written = written;
        record.lastPoll = written.addSecs(-2);
        const QDateTime stored = now.addSecs(-60 * sample.storedMinutesAgo);
        record.lastStored =
            StatusRecord::StoredCycle{stored, QStringLiteral("棚卸@%1.txt").arg(sample.storedMinutesAgo),
                                      sample.storedMinutesAgo / 3 + 8, QStringLiteral("D:\\受信\\棚卸.txt")};
        if (sample.failure) {
            record.failure = StatusRecord::Failure{QString::fromUtf8(sample.failure), now.addSecs(-3 * 3600), 1260};
        }
        record.today = now.date();
        record.acknowledged = 3;
        record.cancelled = sample.failure ? 1260 : 0;
        QFile file(QDir(dir.path()).filePath(statusCopyName(record.pc, record.user, record.profile)));
        const QByteArray bytes = statusJson(record);
        // Written when the copy last wrote it: a silent one long ago.
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
            !file.setFileTime(written, QFileDevice::FileModificationTime)) {
            return 1;
        }
    }

    const QString folder = QStringLiteral("\\\\fs01\\zelbo\\status");
    FleetWindow window(folder, [path = dir.path()] { return fleetTable(path); });
    QSignalSpy shown(&window, &FleetWindow::refreshed);
    window.resize(1500, 230);
    window.show();
    if (!shown.wait(10000)) {
        return 1;
    }
    return window.grab().save(output) ? 0 : 1;
}
