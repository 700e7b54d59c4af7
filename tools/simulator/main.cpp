// terminal_sim: a handheld terminal in its cradle, on loopback, for trying and testing the program without a device.

#include "TerminalSim.h"

#include "base/Cp932.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

bool fail(const QString& message)
{
    std::fprintf(stderr, "terminal_sim: %s\n", qPrintable(message));
    return false;
}

std::optional<std::pair<QHostAddress, quint16>> parseBind(const QString& text)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return std::nullopt;
    }
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
    }
    QHostAddress address;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!address.setAddress(host) || !ok || port > 65535) {
        return std::nullopt;
    }
    // The simulator is for this machine only.
    if (!address.isLoopback()) {
        return std::nullopt;
    }
    return std::make_pair(address, static_cast<quint16>(port));
}

QStringList generatedRecords(int count)
{
    QStringList records;
    records.reserve(count);
    for (int i = 1; i <= count; ++i) {
        records.append(QStringLiteral("%1,49%2,%3,ﾃｽﾄｼｮｳﾋﾝ,品名%1")
                           .arg(i, 5, 10, QLatin1Char('0'))
                           .arg(qint64(i) * 7919 % 100000000000LL, 11, 10, QLatin1Char('0'))
                           .arg(i % 100));
    }
    return records;
}

bool readRecords(const QString& path, QStringList& records)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    }
    QByteArray content = file.readAll();
    if (content.endsWith("\r\n")) {
        content.chop(2);
    } else if (content.endsWith('\n')) {
        content.chop(1);
    }
    if (content.isEmpty()) {
        return true;
    }
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        records.append(Cp932::decode(line));
    }
    return true;
}

bool parseFault(const QCommandLineParser& parser, const QString& name, FaultSpec& spec)
{
    if (!parser.isSet(name)) {
        return true;
    }
    const std::optional<FaultSpec> parsed = FaultSpec::parse(parser.value(name));
    if (!parsed) {
        return fail(QStringLiteral("--%1 takes a probability 0..1 or @n,m,... (record numbers from 1)").arg(name));
    }
    spec = *parsed;
    return true;
}

bool parseInt(const QCommandLineParser& parser, const QString& name, int minimum, int maximum, int& value)
{
    if (!parser.isSet(name)) {
        return true;
    }
    bool ok = false;
    const int parsed = parser.value(name).toInt(&ok);
    if (!ok || parsed < minimum || parsed > maximum) {
        return fail(QStringLiteral("--%1 must be a number from %2 to %3").arg(name).arg(minimum).arg(maximum));
    }
    value = parsed;
    return true;
}

bool parseOptions(const QCommandLineParser& parser, SimOptions& options)
{
    const auto bind = parseBind(parser.value(QStringLiteral("bind")));
    if (!bind) {
        return fail(QStringLiteral("--bind takes a loopback ADDR:PORT, for example 127.0.0.1:6001"));
    }
    options.bindAddress = bind->first;
    options.bindPort = bind->second;

    if (parser.isSet(QStringLiteral("file"))) {
        if (!readRecords(parser.value(QStringLiteral("file")), options.records)) {
            return false;
        }
    } else {
        int count = 20;
        if (!parseInt(parser, QStringLiteral("records"), 0, 32767, count)) {
            return false;
        }
        options.records = generatedRecords(count);
    }
    for (const QString& path : parser.values(QStringLiteral("then-file"))) {
        QStringList later;
        if (!readRecords(path, later)) {
            return false;
        }
        options.laterRecords.append(later);
    }
    if (parser.isSet(QStringLiteral("name"))) {
        options.name = parser.value(QStringLiteral("name"));
    }
    int crc = 0;
    int protocol = 0;
    int seed = 1;
    if (!parseInt(parser, QStringLiteral("crc"), 0, 1, crc) ||
        !parseInt(parser, QStringLiteral("protocol"), 0, 1, protocol) ||
        !parseInt(parser, QStringLiteral("cycles"), 0, 1000000, options.cycles) ||
        !parseInt(parser, QStringLiteral("exit-after-idle"), 0, 86400, options.exitAfterIdleSeconds) ||
        !parseInt(parser, QStringLiteral("seed"), 0, 0x7fffffff, seed) ||
        !parseInt(parser, QStringLiteral("delay-ms"), 0, 60000, options.delayMs) ||
        !parseInt(parser, QStringLiteral("bad-tw"), 0, 1000000, options.badTwCount) ||
        !parseInt(parser, QStringLiteral("bad-name"), 0, 1000000, options.badNameCount) ||
        !parseInt(parser, QStringLiteral("retransmit"), 0, 60000, options.retransmitMs) ||
        !parseInt(parser, QStringLiteral("foreign-gap-ms"), 0, 60000, options.foreignGapMs)) {
        return false;
    }
    options.crcType = static_cast<std::int16_t>(crc);
    options.protocol = static_cast<std::int16_t>(protocol);
    options.seed = static_cast<quint32>(seed);

    if (!parseFault(parser, QStringLiteral("drop"), options.drop) ||
        !parseFault(parser, QStringLiteral("bad-crc"), options.badCrc) ||
        !parseFault(parser, QStringLiteral("bad-seq"), options.badSeq) ||
        !parseFault(parser, QStringLiteral("repeat"), options.repeat) ||
        !parseFault(parser, QStringLiteral("delay"), options.delay) ||
        !parseFault(parser, QStringLiteral("foreign"), options.foreign)) {
        return false;
    }
    if (parser.isSet(QStringLiteral("foreign-from"))) {
        QHostAddress from;
        if (!from.setAddress(parser.value(QStringLiteral("foreign-from"))) || !from.isLoopback()) {
            return fail(QStringLiteral("--foreign-from takes a loopback address such as 127.0.0.2"));
        }
        options.foreignFrom = from;
    }
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.tracePath = parser.value(QStringLiteral("trace"));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("terminal_sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays a data terminal in its UDP cradle on loopback. Faults take a probability (0..1, drawn per record "
        "from --seed) or @n,m,... (record numbers from 1); they hit a record's first transmission only."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("bind"), QStringLiteral("Loopback address and port to serve on (port 0: any free port)."),
         QStringLiteral("ADDR:PORT"), QStringLiteral("127.0.0.1:6001")},
        {QStringLiteral("file"), QStringLiteral("Serve this cp932 text file, one record per line."),
         QStringLiteral("PATH")},
        {QStringLiteral("records"), QStringLiteral("Serve N generated records (default 20)."), QStringLiteral("N")},
        {QStringLiteral("then-file"),
         QStringLiteral("After a cycle answered ACK, serve this file next (repeatable, in order)."),
         QStringLiteral("PATH")},
        {QStringLiteral("name"), QStringLiteral("File name announced in the file-name frame (default DATA)."),
         QStringLiteral("NAME")},
        {QStringLiteral("crc"), QStringLiteral("Checksum type: 0 from the ^, 1 from the data (default 0)."),
         QStringLiteral("0|1")},
        {QStringLiteral("protocol"), QStringLiteral("0 dedicated frames, 1 simple bare records (default 0)."),
         QStringLiteral("0|1")},
        {QStringLiteral("cycles"), QStringLiteral("Serve N files, then exit; 0 forever (default 1)."),
         QStringLiteral("N")},
        {QStringLiteral("exit-after-idle"),
         QStringLiteral("Exit after SECONDS without a datagram; 0 never (default 60)."), QStringLiteral("SECONDS")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the fault draws (default 1)."), QStringLiteral("N")},
        {QStringLiteral("drop"), QStringLiteral("Do not send the record."), QStringLiteral("FAULT")},
        {QStringLiteral("bad-crc"), QStringLiteral("Send the record with a wrong checksum."), QStringLiteral("FAULT")},
        {QStringLiteral("bad-seq"), QStringLiteral("Send the record with a wrong sequence character."),
         QStringLiteral("FAULT")},
        {QStringLiteral("repeat"), QStringLiteral("Send the record again after its ACK, as if the ACK was lost."),
         QStringLiteral("FAULT")},
        {QStringLiteral("delay"), QStringLiteral("Send the record --delay-ms late."), QStringLiteral("FAULT")},
        {QStringLiteral("delay-ms"), QStringLiteral("Delay of --delay (default 300)."), QStringLiteral("MS")},
        {QStringLiteral("foreign"), QStringLiteral("Before the record, send \"END\" from --foreign-from."),
         QStringLiteral("FAULT")},
        {QStringLiteral("foreign-from"), QStringLiteral("Source address of --foreign (default 127.0.0.2)."),
         QStringLiteral("ADDR")},
        {QStringLiteral("foreign-gap-ms"), QStringLiteral("Pause between the foreign and the real datagram."),
         QStringLiteral("MS")},
        {QStringLiteral("bad-tw"), QStringLiteral("Answer the first N clock settings with NG."), QStringLiteral("N")},
        {QStringLiteral("bad-name"), QStringLiteral("Send the first N file-name frames with a wrong checksum."),
         QStringLiteral("N")},
        {QStringLiteral("retransmit"),
         QStringLiteral("Resend the last datagram when the PC has not answered within MS (default 0: never)."),
         QStringLiteral("MS")},
        {QStringLiteral("trace"), QStringLiteral("Write the trace to PATH instead of stdout."), QStringLiteral("PATH")},
        {QStringLiteral("quiet"), QStringLiteral("No trace, only PORT, RESULT and EXIT lines.")},
    });
    parser.process(app);

    SimOptions options;
    if (!parseOptions(parser, options)) {
        return 1;
    }
    TerminalSim sim(options);
    QObject::connect(&sim, &TerminalSim::finished, &app, [](int code) { QCoreApplication::exit(code); });
    if (!sim.start()) {
        return 1;
    }
    return app.exec();
}
