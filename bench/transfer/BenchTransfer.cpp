// bench_transfer: the record rate of the real link and engine against terminal_sim, with a headless host and with
// the real main window (offscreen unless QT_QPA_PLATFORM says otherwise), beside a raw Qt UDP ping-pong of the same
// datagrams; then the CPU cost of polling a silent cradle. Loopback only. The rounds interleave the kinds, so a
// busy machine slows them alike.

#include "CommObjects.h"
#include "CpuTimes.h"

#include "base/ProgramPaths.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/FakeRunHost.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "simulator/SimProcess.h"
#include "ui/MainWindow.h"
#include "ui/UiFont.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace {

// terminal_sim on a port of its own, quiet, gone by itself once idle.
quint16 startSim(SimProcess& sim, int records)
{
    return sim.start({QStringLiteral("--quiet"), QStringLiteral("--exit-after-idle"), QStringLiteral("30"),
                      QStringLiteral("--records"), QString::number(records)});
}

// The program's objects, wired as the application wires them, around a given host.
struct Program
{
    explicit Program(const QString& folder) : paths(testProgramPaths(folder))
    {
        settings.SaveFolder = folder + QStringLiteral("/save");
        QDir().mkpath(settings.SaveFolder);
        settings.RemoteHost = QStringLiteral("127.0.0.1");
        settings.LocalPort = QString::number(freeUdpPort());
        settings.TimeAdjust = QStringLiteral("0");
        settings.OverWrite = 1;
    }

    void build(RunHost& host)
    {
        comm = std::make_unique<CommObjects>(host, settings, paths, messages, QStringLiteral("ZELBO_UDP"));
    }
    CommControl& control() { return comm->control(); }

    ProgramPaths paths;
    Settings settings;
    RecordingMessageSink messages;
    std::unique_ptr<CommObjects> comm;
};

enum class Host
{
    Headless,
    Window,
};

// The main window as the program shows it: loaded from a settings file of its own, shown and drawn.
struct ShownWindow
{
    explicit ShownWindow(Program& program)
        : file(program.paths, program.messages), window(program.settings, program.paths, file, program.messages)
    {
    }

    bool show(const Settings& settings, const ProgramPaths& paths)
    {
        {
            QFile ini(paths.IniPath);
            const QByteArray bytes = SettingsFile::formatFile(settings);
            if (!ini.open(QIODevice::WriteOnly) || ini.write(bytes) != bytes.size() || !ini.flush()) {
                return false;
            }
        }
        if (!window.Form_Load()) {
            return false;
        }
        window.show();
        QElapsedTimer waited;
        waited.start();
        while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return window.windowHandle() && window.windowHandle()->isExposed();
    }

    QString status() const { return window.findChild<QPlainTextEdit*>(QStringLiteral("lblStatus"))->toPlainText(); }

    SettingsFile file;
    MainWindow window;
};

std::optional<double> transferRate(const QString& simPath, Host kind, int records, long& maxRssKb)
{
    QTemporaryDir folder;
    SimProcess sim(simPath);
    const quint16 simPort = startSim(sim, records);
    if (simPort == 0 || !folder.isValid()) {
        std::fprintf(stderr, "bench_transfer: terminal_sim did not start\n");
        return std::nullopt;
    }
    Program program(folder.path());
    program.settings.RemotePort = QString::number(simPort);
    FakeRunHost headless;
    std::unique_ptr<ShownWindow> shown;
    if (kind == Host::Window) {
        shown = std::make_unique<ShownWindow>(program);
        if (!shown->show(program.settings, program.paths)) {
            std::fprintf(stderr, "bench_transfer: the main window did not come up\n");
            return std::nullopt;
        }
        program.build(shown->window);
    } else {
        program.build(headless);
    }
    program.control().Timer1_Timer();

    const CpuTimes before = cpuNow();
    QElapsedTimer elapsed;
    elapsed.start();
    program.control().cmdComm_Click(0);
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    const CpuTimes after = cpuNow();
    maxRssKb = after.maxRssKb;

    // The window shows the final text as soon as the run has ended.
    const QString status = shown ? shown->status() : headless.status;
    const QString expected = QStringLiteral("ﾚｺｰﾄﾞ受信<%1> : 正常終了").arg(records);
    const QFileInfo upload(program.settings.SaveFolder + QStringLiteral("/DATA.txt"));
    if (!status.endsWith(expected) || !upload.exists()) {
        std::fprintf(stderr, "bench_transfer: the transfer failed: %s\n", qPrintable(status));
        return std::nullopt;
    }
    std::printf("transfer (%s): %d records in %.3f s (CPU user %.3f s, system %.3f s), upload file %lld bytes\n",
                shown ? "main window" : "headless host", records, seconds, after.user - before.user,
                after.system - before.system, static_cast<long long>(upload.size()));
    return records / seconds;
}

// The same exchanges with the same peer, without engine, files or checks: "VOL", then "ACK" for every reply.
// Blocking: the client sleeps in waitForReadyRead, the floor the loopback and the peer allow.
// Event-driven: the client answers from a readyRead slot in an event loop, as a program with a window must.
std::optional<double> rawPingPongRate(const QString& simPath, int records, bool eventDriven)
{
    SimProcess sim(simPath);
    const quint16 simPort = startSim(sim, records);
    QUdpSocket socket;
    if (simPort == 0 || !socket.bind(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "bench_transfer: raw ping-pong could not start\n");
        return std::nullopt;
    }
    // As many exchanges as the transfer: the file-name frame, every record and "END".
    const int exchanges = records + 2;
    QByteArray buffer(70000, Qt::Uninitialized);
    int replies = 0;
    const CpuTimes before = cpuNow();
    QElapsedTimer elapsed;
    elapsed.start();
    socket.writeDatagram(QByteArray("VOL\r"), QHostAddress::LocalHost, simPort);
    if (eventDriven) {
        QEventLoop loop;
        QObject::connect(&socket, &QUdpSocket::readyRead, &loop, [&] {
            while (socket.hasPendingDatagrams()) {
                socket.readDatagram(buffer.data(), buffer.size());
                if (++replies == exchanges) {
                    loop.quit();
                    return;
                }
                socket.writeDatagram(QByteArray("ACK\r"), QHostAddress::LocalHost, simPort);
            }
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    } else {
        while (replies < exchanges) {
            if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(2000)) {
                break;
            }
            socket.readDatagram(buffer.data(), buffer.size());
            if (++replies < exchanges) {
                socket.writeDatagram(QByteArray("ACK\r"), QHostAddress::LocalHost, simPort);
            }
        }
    }
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    const CpuTimes after = cpuNow();
    if (replies != exchanges) {
        std::fprintf(stderr, "bench_transfer: raw ping-pong lost a reply\n");
        return std::nullopt;
    }
    std::printf("raw ping-pong (%s): %d exchanges in %.3f s (CPU user %.3f s, system %.3f s)\n",
                eventDriven ? "event-driven" : "blocking", exchanges, seconds, after.user - before.user,
                after.system - before.system);
    return records / seconds;
}

// AutoStart polling of a cradle that never answers: "VOL" and a one-second reply wait, over and over.
bool idlePolling(const QString& folder, int seconds)
{
    // A bound port that nobody reads: no ICMP refusals. Qt stops watching a socket nobody reads right after its
    // first datagram, so it adds no wake-ups to the figure.
    QUdpSocket silent;
    if (!silent.bind(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "bench_transfer: no silent port\n");
        return false;
    }
    Program program(folder);
    program.settings.RemotePort = QString::number(silent.localPort());
    program.settings.AutoStart = 1;
    FakeRunHost host;
    program.build(host);
    QTimer::singleShot(seconds * 1000, [&program] { program.control().cmdComm_Click(1); });

    const CpuTimes before = cpuNow();
    QElapsedTimer elapsed;
    elapsed.start();
    program.control().Timer1_Timer();
    const double wall = double(elapsed.nsecsElapsed()) / 1e9;
    const CpuTimes after = cpuNow();

    const double cpu = (after.user - before.user) + (after.system - before.system);
    std::printf("idle polling: %.1f s wall, CPU %.3f s (user %.3f, system %.3f) = %.3f %% of one core "
                "(target <= 0.5 %%)\n",
                wall, cpu, after.user - before.user, after.system - before.system, 100.0 * cpu / wall);
    return true;
}

// Figures of the same kind over the rounds.
struct Series
{
    std::vector<double> values;

    double median() const
    {
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    double min() const { return *std::min_element(values.begin(), values.end()); }
    double max() const { return *std::max_element(values.begin(), values.end()); }
};

void printRate(const char* name, const Series& series)
{
    std::printf("  %-20s %6.0f  (%.0f-%.0f)\n", name, series.median(), series.min(), series.max());
}

void printRatio(const char* name, const Series& series, double target)
{
    std::printf("  %-28s %5.1f %%  (%.1f-%.1f %%, target >= %.0f %%)\n", name, 100 * series.median(),
                100 * series.min(), 100 * series.max(), 100 * target);
}

} // namespace

int main(int argc, char* argv[])
{
    // The real window needs no display: offscreen unless another platform is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    applyJapaneseUiFont();
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Transfer rate and idle polling cost of the UDP link."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("records"), QStringLiteral("Records to transfer (default 30000)."), QStringLiteral("N")},
        {QStringLiteral("rounds"), QStringLiteral("Rounds of every kind of transfer (default 3)."),
         QStringLiteral("R")},
        {QStringLiteral("idle-seconds"), QStringLiteral("Length of the idle polling (default 30)."),
         QStringLiteral("S")},
        {QStringLiteral("sim"), QStringLiteral("Path of terminal_sim."), QStringLiteral("PATH"),
         QStringLiteral(TERMINAL_SIM_PATH)},
    });
    parser.process(app);
    auto intOption = [&parser](const char* name, int fallback) {
        const QString key = QString::fromLatin1(name);
        return parser.isSet(key) ? parser.value(key).toInt() : fallback;
    };
    const int records = intOption("records", 30000);
    const int rounds = intOption("rounds", 3);
    const int idleSeconds = intOption("idle-seconds", 30);
    // Absolute: loading the main window makes the save folder the current directory.
    const QString simPath = QFileInfo(parser.value(QStringLiteral("sim"))).absoluteFilePath();
    if (records < 1 || records > 32767 || rounds < 1 || idleSeconds < 1) {
        std::fprintf(stderr, "bench_transfer: --records 1..32767, --rounds >= 1, --idle-seconds >= 1\n");
        return 1;
    }

    QTemporaryDir idleDir;
    if (!idleDir.isValid()) {
        return 1;
    }
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    Series headless;
    Series window;
    Series eventDriven;
    Series blocking;
    Series windowToHeadless;
    Series headlessToEventDriven;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d\n", round);
        long maxRssKb = 0;
        const std::optional<double> headlessRate = transferRate(simPath, Host::Headless, records, maxRssKb);
        if (round == 1 && headlessRate) {
            std::printf("peak memory (ru_maxrss) after the first transfer: %.1f MiB\n", double(maxRssKb) / 1024.0);
        }
        const std::optional<double> windowRate = transferRate(simPath, Host::Window, records, maxRssKb);
        const std::optional<double> eventDrivenRate = rawPingPongRate(simPath, records, true);
        const std::optional<double> blockingRate = rawPingPongRate(simPath, records, false);
        if (!headlessRate || !windowRate || !eventDrivenRate || !blockingRate) {
            return 1;
        }
        headless.values.push_back(*headlessRate);
        window.values.push_back(*windowRate);
        eventDriven.values.push_back(*eventDrivenRate);
        blocking.values.push_back(*blockingRate);
        windowToHeadless.values.push_back(*windowRate / *headlessRate);
        headlessToEventDriven.values.push_back(*headlessRate / *eventDrivenRate);
        std::fflush(stdout);
    }
    std::printf("records per second, median of %d rounds (lowest-highest):\n", rounds);
    printRate("headless host", headless);
    printRate("main window", window);
    printRate("raw event-driven", eventDriven);
    printRate("raw blocking", blocking);
    std::printf("ratios within a round, median (lowest-highest):\n");
    printRatio("main window / headless host", windowToHeadless, 0.9);
    printRatio("headless / raw event-driven", headlessToEventDriven, 0.9);
    std::fflush(stdout);
    return idlePolling(idleDir.path(), idleSeconds) ? 0 : 1;
}
