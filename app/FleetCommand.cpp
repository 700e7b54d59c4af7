#include "FleetCommand.h"

#include "base/Platform.h"
#include "base/ProgramPaths.h"
#include "base/SafeFile.h"
#include "config/ExtraSettings.h"
#include "output/FleetReport.h"
#include "ui/QtMessageSink.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <optional>

namespace {

struct FleetArguments
{
    QString folder;
    bool csv = false;
    QString unknown; // an argument the command does not take
};

// The arguments after the program's name: one folder, --csv, and --profile with its value, which the paths took.
FleetArguments parseArguments(const QStringList& arguments, const char* option)
{
    FleetArguments parsed;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String(option)) {
            continue;
        }
        if (argument == QStringLiteral("--profile")) {
            ++i;
        } else if (argument == QStringLiteral("--csv")) {
            parsed.csv = true;
        } else if (!argument.startsWith(QStringLiteral("--")) && parsed.folder.isEmpty()) {
            parsed.folder = argument;
        } else if (!argument.startsWith(QStringLiteral("--profile="))) {
            parsed.unknown = argument;
        }
    }
    return parsed;
}

std::optional<QByteArray> fileBytes(const QString& path)
{
    QFile file;
    if (path.isEmpty() || SafeFile::openRegular(file, path, QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

QString folderError(const QString& folder, const SystemError& error)
{
    return QStringLiteral("ﾌｫﾙﾀﾞを読めません : ") + QDir::toNativeSeparators(folder) + u' ' +
           QString::number(error.number) + u':' + error.description;
}

void say(const QString& text)
{
    (void)writeStandardOutput(consoleBytes(text + u'\n'));
}

} // namespace

QString configuredStatusFolder(const ProgramPaths& paths, const PolicyValues& policies)
{
    const Settings user =
        readExtraSettings(fileBytes(paths.extraPath), fileBytes(paths.presetPath), Settings()).settings;
    return applyPolicies(policies, user).effective.StatusFolder;
}

FleetWindow::Table fleetTable(const QString& folder)
{
    FleetWindow::Table table;
    table.header = fleetHeader();
    const FleetReading reading = readFleetFolder(folder);
    if (reading.error) {
        table.error = folderError(folder, *reading.error);
        return table;
    }
    for (const FleetRow& row : fleetRows(reading.files, QDateTime::currentDateTime())) {
        FleetWindow::Tone tone = FleetWindow::Tone::Normal;
        if (row.state == FleetRow::State::Failing || row.state == FleetRow::State::Unreadable) {
            tone = FleetWindow::Tone::Failing;
        } else if (row.state == FleetRow::State::Silent) {
            tone = FleetWindow::Tone::Silent;
        }
        table.rows.append({fleetCells(row), tone});
    }
    return table;
}

int fleetReportCommand(const QStringList& arguments, const ProgramPaths& paths, const PolicyValues& policies)
{
    FleetArguments parsed = parseArguments(arguments, FleetReportOption);
    if (!parsed.unknown.isEmpty()) {
        say(QStringLiteral("zelbo_udp: unknown argument: ") + parsed.unknown);
        say(QStringLiteral("usage: zelbo_udp --fleet-report [FOLDER] [--csv] [--profile NAME]"));
        return 2;
    }
    if (parsed.folder.isEmpty()) {
        parsed.folder = configuredStatusFolder(paths, policies);
    }
    if (parsed.folder.isEmpty()) {
        say(QStringLiteral("zelbo_udp: no STATUSFOLDER is set: name the folder, zelbo_udp --fleet-report FOLDER"));
        return 2;
    }
    const FleetReading reading = readFleetFolder(parsed.folder);
    if (reading.error) {
        say(QStringLiteral("zelbo_udp: ") + folderError(parsed.folder, *reading.error));
        return 2;
    }
    const std::vector<FleetRow> rows = fleetRows(reading.files, QDateTime::currentDateTime());
    const bool written =
        parsed.csv ? writeStandardOutput(fleetCsv(rows)) : writeStandardOutput(consoleBytes(fleetText(rows)));
    // A scheduled check that cannot even print is told so by the code: nothing it relies on was said.
    return written ? fleetExitCode(rows) : 1;
}

int fleetWindowCommand(const QStringList& arguments, const ProgramPaths& paths, const PolicyValues& policies)
{
    FleetArguments parsed = parseArguments(arguments, FleetWindowOption);
    if (parsed.folder.isEmpty()) {
        parsed.folder = configuredStatusFolder(paths, policies);
    }
    if (parsed.folder.isEmpty()) {
        QtMessageSink messages;
        messages.showMessage(QStringLiteral("状態ﾌｧｲﾙのﾌｫﾙﾀﾞ(STATUSFOLDER)が設定されていません。") +
                                 QStringLiteral("\r\nzelbo_udp --fleet <ﾌｫﾙﾀﾞ> で指定してください"),
                             QApplication::applicationName(), MessageIcon::Critical);
        return 2;
    }
    FleetWindow window(parsed.folder, [folder = parsed.folder] { return fleetTable(folder); });
    window.show();
    return QApplication::exec();
}
