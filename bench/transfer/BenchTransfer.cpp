// bench_transfer: the record rate of the real link and engine against terminal_sim, with the real main window
// (offscreen unless QT_QPA_PLATFORM says otherwise) and with a headless host, beside an ideal client (plain blocking
// system calls) and a raw Qt ping-pong of the same datagrams; once on bare loopback and once with the simulator
// holding every record back 1 ms, as a terminal on a LAN does; then the CPU cost of polling a silent cradle.
// Loopback only. The rounds alternate the kinds, so a busy machine slows them alike.

#include "CommObjects.h"
#include "CpuTimes.h"
#include "IdealClient.h"

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

// How the simulator serves: the records, and with a per-record delay the pace of a terminal on a LAN.
struct Pace
{
    int records = 0;
    int delayMs = 0;
};

// terminal_sim on a port of its own, quiet, gone by itself once idle.
quint16 startSim(SimProcess& sim, const Pace& pace)
{
    QStringList arguments{QStringLiteral("--quiet"), QStringLiteral("--exit-after-idle"), QStringLiteral("30"),
                          QStringLiteral("--records"), QString::number(pace.records)};
    if (pace.delayMs > 0) {
        arguments << QStringLiteral("--delay") << QStringLiteral("1") << QStringLiteral("--delay-ms")
                  << QString::number(pace.delayMs);
    }
    return sim.start(arguments);
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

// The main window as the program shows it: loaded from a settings file of its own (the run's settings written out),
// shown and drawn.
struct ShownWindow
{
    explicit ShownWindow(Program& program)
        : file(program.paths, program.messages), window(loaded, program.paths, file, program.messages)
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
    SettingsState loaded;
    MainWindow window;
};

std::optional<double> transferRate(const QString& simPath, Host kind, const Pace& pace, long& maxRssKb)
{
    const int records = pace.records;
    QTemporaryDir folder;
    SimProcess sim(simPath);
    const quint16 simPort = startSim(sim, pace);
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

// The same exchanges with the same peer, without engine, files or checks, answered from a readyRead slot in a Qt
// event loop: the floor for a program that must keep a window alive.
std::optional<double> rawPingPongRate(const QString& simPath, const Pace& pace)
{
    const int records = pace.records;
    SimProcess sim(simPath);
    const quint16 simPort = startSim(sim, pace);
    QUdpSocket socket;
    if (simPort == 0 || !socket.bind(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "bench_transfer: raw ping-pong could not start\n");
        return std::nullopt;
    }
    // As many exchanges as the transfer: the file-name frame, every record and "END".
    const int exchanges = records + 2;
    QByteArray buffer(70000, Qt::Uninitialized);
    int replies = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    socket.writeDatagram(QByteArray("VOL\r"), QHostAddress::LocalHost, simPort);
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
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    if (replies != exchanges) {
        std::fprintf(stderr, "bench_transfer: raw ping-pong lost a reply\n");
        return std::nullopt;
    }
    std::printf("raw Qt ping-pong: %d exchanges in %.3f s\n", exchanges, seconds);
    return records / seconds;
}

// The ideal client against the same simulator: the floor for this pace.
std::optional<double> idealRate(const QString& simPath, const Pace& pace)
{
    SimProcess sim(simPath);
    const quint16 simPort = startSim(sim, pace);
    const double seconds = simPort == 0 ? -1 : idealClientSeconds(simPort, pace.records + 2);
    if (seconds <= 0) {
        std::fprintf(stderr, "bench_transfer: the ideal client lost a reply\n");
        return std::nullopt;
    }
    std::printf("ideal client: %d exchanges in %.3f s\n", pace.records + 2, seconds);
    return pace.records / seconds;
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

// One pace's rounds: the kinds alternate within a round, so a busy machine slows them alike; the ratio is taken
// within each round.
struct PaceFigures
{
    Series window;
    Series headless;
    Series ideal;
    Series rawQt;
    Series windowToIdeal;
    Series headlessToIdeal;
};

bool runRounds(const QString& simPath, const Pace& pace, int rounds, PaceFigures& figures)
{
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d (%d records, %d ms per record at the simulator)\n", round, pace.records, pace.delayMs);
        long maxRssKb = 0;
        // Alternate which goes first, so neither always meets a warm or a cold machine.
        std::optional<double> idealFirst;
        if (round % 2 == 0) {
            idealFirst = idealRate(simPath, pace);
        }
        const std::optional<double> windowRate = transferRate(simPath, Host::Window, pace, maxRssKb);
        if (round == 1 && windowRate) {
            std::printf("peak memory of this benchmark process so far: %.1f MiB\n", double(maxRssKb) / 1024.0);
        }
        const std::optional<double> idealAfter = round % 2 == 0 ? idealFirst : idealRate(simPath, pace);
        if (!windowRate || !idealAfter) {
            return false;
        }
        figures.window.values.push_back(*windowRate);
        figures.ideal.values.push_back(*idealAfter);
        figures.windowToIdeal.values.push_back(*windowRate / *idealAfter);
        const std::optional<double> headlessRate = transferRate(simPath, Host::Headless, pace, maxRssKb);
        const std::optional<double> rawQtRate = rawPingPongRate(simPath, pace);
        if (!headlessRate || !rawQtRate) {
            return false;
        }
        figures.headless.values.push_back(*headlessRate);
        figures.rawQt.values.push_back(*rawQtRate);
        figures.headlessToIdeal.values.push_back(*headlessRate / *idealAfter);
        std::fflush(stdout);
    }
    return true;
}

void printFigures(const char* title, const PaceFigures& figures, double target)
{
    std::printf("%s: records per second, median of %zu rounds (lowest-highest):\n", title,
                figures.window.values.size());
    printRate("main window", figures.window);
    printRate("headless host", figures.headless);
    printRate("raw Qt ping-pong", figures.rawQt);
    printRate("ideal client", figures.ideal);
    printRatio("main window / ideal client", figures.windowToIdeal, target);
    std::printf("  %-28s %5.1f %%\n", "headless host / ideal client", 100 * figures.headlessToIdeal.median());
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
        {QStringLiteral("records"), QStringLiteral("Records per loopback transfer (default 30000)."),
         QStringLiteral("N")},
        {QStringLiteral("rounds"), QStringLiteral("Loopback rounds (default 5)."), QStringLiteral("R")},
        {QStringLiteral("lan-records"), QStringLiteral("Records per transfer at a LAN's pace (default 8000)."),
         QStringLiteral("N")},
        {QStringLiteral("lan-rounds"), QStringLiteral("Rounds at a LAN's pace, 0 for none (default 3)."),
         QStringLiteral("R")},
        {QStringLiteral("delay-ms"), QStringLiteral("Per-record delay at the simulator for a LAN's pace (default 1)."),
         QStringLiteral("MS")},
        {QStringLiteral("idle-seconds"), QStringLiteral("Length of the idle polling, 0 for none (default 30)."),
         QStringLiteral("S")},
        {QStringLiteral("sim"), QStringLiteral("Path of terminal_sim."), QStringLiteral("PATH"),
         QStringLiteral(TERMINAL_SIM_PATH)},
    });
    parser.process(app);
    auto intOption = [&parser](const char* name, int fallback) {
        const QString key = QString::fromLatin1(name);
        return parser.isSet(key) ? parser.value(key).toInt() : fallback;
    };
    const Pace loopback{intOption("records", 30000), 0};
    const int rounds = intOption("rounds", 5);
    const Pace lan{intOption("lan-records", 8000), intOption("delay-ms", 1)};
    const int lanRounds = intOption("lan-rounds", 3);
    const int idleSeconds = intOption("idle-seconds", 30);
    // Absolute: loading the main window makes the save folder the current directory.
    const QString simPath = QFileInfo(parser.value(QStringLiteral("sim"))).absoluteFilePath();
    const auto recordsOk = [](int n) { return n >= 1 && n <= 32767; };
    if (!recordsOk(loopback.records) || !recordsOk(lan.records) || rounds < 1 || lanRounds < 0 || lan.delayMs < 1 ||
        idleSeconds < 0) {
        std::fprintf(stderr, "bench_transfer: --records and --lan-records 1..32767, --rounds >= 1, --lan-rounds >= 0, "
                             "--delay-ms >= 1, --idle-seconds >= 0\n");
        return 1;
    }

    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    PaceFigures bare;
    PaceFigures paced;
    if (!runRounds(simPath, loopback, rounds, bare) || (lanRounds > 0 && !runRounds(simPath, lan, lanRounds, paced))) {
        return 1;
    }
    printFigures("loopback", bare, 0.85);
    if (lanRounds > 0) {
        printFigures("a LAN's pace", paced, 0.98);
    }
    // Windows, transfers and clients together; run.sh measures the program on its own.
    std::printf("peak memory of this benchmark process: %.1f MiB\n", double(cpuNow().maxRssKb) / 1024.0);
    std::fflush(stdout);
    if (idleSeconds == 0) {
        return 0;
    }
    QTemporaryDir idleDir;
    return idleDir.isValid() && idlePolling(idleDir.path(), idleSeconds) ? 0 : 1;
}
