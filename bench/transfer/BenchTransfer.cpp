// bench_transfer: the record rate of the real link and engine against terminal_sim, beside a raw Qt UDP
// ping-pong of the same datagrams; then the CPU cost of polling a silent cradle. Loopback only.

#include "config/ProgramPaths.h"
#include "config/Settings.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/FakeRunHost.h"
#include "link/CommControl.h"
#include "link/UdpLink.h"
#include "output/UploadOutput.h"
#include "protocol/Clock.h"
#include "protocol/DiskRunFiles.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>
#include <memory>
#include <optional>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct CpuTimes
{
    double user = 0;
    double system = 0;
    long maxRssKb = 0;
};

CpuTimes cpuNow()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    CpuTimes times;
    times.user = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6;
    times.system = double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
    times.maxRssKb = usage.ru_maxrss;
    return times;
}

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

// terminal_sim as a child; its port comes from its first output line.
class Sim
{
public:
    Sim(const QString& program, const QStringList& arguments)
    {
        m_process.setProgram(program);
        m_process.setArguments(QStringList{QStringLiteral("--bind"), QStringLiteral("127.0.0.1:0"),
                                           QStringLiteral("--quiet"), QStringLiteral("--exit-after-idle"),
                                           QStringLiteral("30")} +
                               arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000)) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("PORT "))) {
                port = static_cast<quint16>(line.mid(5).toUInt());
            }
        }
    }
    ~Sim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    QString output() { return QString::fromUtf8(m_process.readAllStandardOutput()); }

    quint16 port = 0;

private:
    QProcess m_process;
};

// The program's objects, wired as the main window wires them, with a headless host.
struct Program
{
    explicit Program(const QString& folder)
    {
        paths.ProgramFolder = folder;
        paths.IniPath = folder + QStringLiteral("/zelbo_udp.ini");
        paths.BackFilePath = folder + QStringLiteral("/Back.txt");
        settings.SaveFolder = folder + QStringLiteral("/save");
        QDir().mkpath(settings.SaveFolder);
        settings.RemoteHost = QStringLiteral("127.0.0.1");
        settings.LocalPort = QString::number(freePort());
        settings.TimeAdjust = QStringLiteral("0");
        settings.OverWrite = 1;
    }

    void build()
    {
        link = std::make_unique<UdpLink>(host, settings);
        files = std::make_unique<DiskRunFiles>(paths.BackFilePath);
        output = std::make_unique<UploadOutput>(settings, paths, messages, QStringLiteral("ZELBO_UDP"));
        control = std::make_unique<CommControl>(host, *link, clock, *output, *files, settings);
    }

    ProgramPaths paths;
    Settings settings;
    FakeRunHost host;
    RecordingMessageSink messages;
    SystemClock clock;
    std::unique_ptr<UdpLink> link;
    std::unique_ptr<DiskRunFiles> files;
    std::unique_ptr<UploadOutput> output;
    std::unique_ptr<CommControl> control;
};

std::optional<double> transferRate(const QString& simPath, const QString& folder, int records, long& maxRssKb)
{
    Sim sim(simPath, {QStringLiteral("--records"), QString::number(records)});
    if (sim.port == 0) {
        std::fprintf(stderr, "bench_transfer: terminal_sim did not start\n");
        return std::nullopt;
    }
    Program program(folder);
    program.settings.RemotePort = QString::number(sim.port);
    program.build();
    program.control->Timer1_Timer();

    const CpuTimes before = cpuNow();
    QElapsedTimer elapsed;
    elapsed.start();
    program.control->cmdComm_Click(0);
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    const CpuTimes after = cpuNow();
    maxRssKb = after.maxRssKb;

    const QString expected = QStringLiteral("ﾚｺｰﾄﾞ受信<%1> : 正常終了").arg(records);
    const QFileInfo upload(program.settings.SaveFolder + QStringLiteral("/DATA.txt"));
    if (!program.host.status.endsWith(expected) || !upload.exists()) {
        std::fprintf(stderr, "bench_transfer: the transfer failed: %s\n", qPrintable(program.host.status));
        return std::nullopt;
    }
    std::printf("transfer: %d records in %.3f s (CPU user %.3f s, system %.3f s), upload file %lld bytes\n", records,
                seconds, after.user - before.user, after.system - before.system, static_cast<long long>(upload.size()));
    return records / seconds;
}

// The same exchanges with the same peer, without engine, files or checks: "VOL", then "ACK" for every reply.
// Blocking: the client sleeps in waitForReadyRead, the floor the loopback and the peer allow.
// Event-driven: the client answers from a readyRead slot in an event loop, as a program with a window must.
std::optional<double> rawPingPongRate(const QString& simPath, int records, bool eventDriven)
{
    Sim sim(simPath, {QStringLiteral("--records"), QString::number(records)});
    QUdpSocket socket;
    if (sim.port == 0 || !socket.bind(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "bench_transfer: raw ping-pong could not start\n");
        return std::nullopt;
    }
    // As many exchanges as the transfer: the file-name frame, every record and "END".
    const int exchanges = records + 2;
    QByteArray buffer(70000, Qt::Uninitialized);
    int replies = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    socket.writeDatagram(QByteArray("VOL\r"), QHostAddress::LocalHost, sim.port);
    if (eventDriven) {
        QEventLoop loop;
        QObject::connect(&socket, &QUdpSocket::readyRead, &loop, [&] {
            while (socket.hasPendingDatagrams()) {
                socket.readDatagram(buffer.data(), buffer.size());
                if (++replies == exchanges) {
                    loop.quit();
                    return;
                }
                socket.writeDatagram(QByteArray("ACK\r"), QHostAddress::LocalHost, sim.port);
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
                socket.writeDatagram(QByteArray("ACK\r"), QHostAddress::LocalHost, sim.port);
            }
        }
    }
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    if (replies != exchanges) {
        std::fprintf(stderr, "bench_transfer: raw ping-pong lost a reply\n");
        return std::nullopt;
    }
    std::printf("raw ping-pong (%s): %d exchanges in %.3f s\n", eventDriven ? "event-driven" : "blocking", exchanges,
                seconds);
    return records / seconds;
}

// AutoStart polling of a cradle that never answers: "VOL" and a one-second reply wait, over and over.
bool idlePolling(const QString& folder, int seconds)
{
    // A bound port that nobody reads: no ICMP refusals, no wake-ups of our own.
    const int silent = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (silent < 0 || ::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::fprintf(stderr, "bench_transfer: no silent port\n");
        return false;
    }
    Program program(folder);
    program.settings.RemotePort = QString::number(ntohs(address.sin_port));
    program.settings.AutoStart = 1;
    program.build();
    QTimer::singleShot(seconds * 1000, [&program] { program.control->cmdComm_Click(1); });

    const CpuTimes before = cpuNow();
    QElapsedTimer elapsed;
    elapsed.start();
    program.control->Timer1_Timer();
    const double wall = double(elapsed.nsecsElapsed()) / 1e9;
    const CpuTimes after = cpuNow();
    ::close(silent);

    const double cpu = (after.user - before.user) + (after.system - before.system);
    std::printf("idle polling: %.1f s wall, CPU %.3f s (user %.3f, system %.3f) = %.3f %% of one core "
                "(target <= 0.5 %%)\n",
                wall, cpu, after.user - before.user, after.system - before.system, 100.0 * cpu / wall);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Transfer rate and idle polling cost of the UDP link."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("records"), QStringLiteral("Records to transfer (default 30000)."), QStringLiteral("N")},
        {QStringLiteral("idle-seconds"), QStringLiteral("Length of the idle polling (default 30)."),
         QStringLiteral("S")},
        {QStringLiteral("sim"), QStringLiteral("Path of terminal_sim."), QStringLiteral("PATH"),
         QStringLiteral(TERMINAL_SIM_PATH)},
    });
    parser.process(app);
    const int records =
        parser.isSet(QStringLiteral("records")) ? parser.value(QStringLiteral("records")).toInt() : 30000;
    const int idleSeconds =
        parser.isSet(QStringLiteral("idle-seconds")) ? parser.value(QStringLiteral("idle-seconds")).toInt() : 30;
    const QString simPath = parser.value(QStringLiteral("sim"));
    if (records < 1 || records > 32767 || idleSeconds < 1) {
        std::fprintf(stderr, "bench_transfer: --records 1..32767, --idle-seconds >= 1\n");
        return 1;
    }

    QTemporaryDir transferDir;
    QTemporaryDir idleDir;
    if (!transferDir.isValid() || !idleDir.isValid()) {
        return 1;
    }
    long maxRssKb = 0;
    const std::optional<double> transfer = transferRate(simPath, transferDir.path(), records, maxRssKb);
    if (!transfer) {
        return 1;
    }
    std::printf("peak memory (ru_maxrss) after the transfer: %.1f MiB\n", double(maxRssKb) / 1024.0);
    const std::optional<double> blocking = rawPingPongRate(simPath, records, false);
    const std::optional<double> eventDriven = rawPingPongRate(simPath, records, true);
    if (!blocking || !eventDriven) {
        return 1;
    }
    std::printf("records per second: transfer %.0f, raw blocking %.0f, raw event-driven %.0f\n", *transfer, *blocking,
                *eventDriven);
    std::printf("transfer / raw blocking = %.1f %%, transfer / raw event-driven = %.1f %% (target >= 80 %%)\n",
                100.0 * *transfer / *blocking, 100.0 * *transfer / *eventDriven);
    std::fflush(stdout);
    return idlePolling(idleDir.path(), idleSeconds) ? 0 : 1;
}
