#pragma once
// The fleet report: every copy's status file in IT's folder, one row each, as aligned text for a console, as CSV for
// Excel and as cells for the fleet window, and the exit code a scheduled check acts on. Pure but for
// readFleetFolder, which only reads the folder.

#include "base/SystemError.h"
#include "output/StatusReport.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

// One status file as read from the folder.
struct FleetFile
{
    QString name;
    QByteArray bytes;
    QDateTime modified;
};

struct FleetRow
{
    enum class State
    {
        Polling,
        Stopped,
        Failing,
        // The file was not replaced for FleetSilentAfter: the program, its PC or its way to the folder is gone.
        Silent,
        // No status file a copy writes.
        Unreadable,
    };
    State state = State::Unreadable;
    QString fileName;
    std::optional<StatusRecord> record; // nothing when unreadable
};

// Three rewrites missed.
inline constexpr std::chrono::minutes FleetSilentAfter{15};

// The rows in the files' order; now is the reader's time, against which a file's age is measured.
std::vector<FleetRow> fleetRows(const std::vector<FleetFile>& files, const QDateTime& now);
// 0 when there is a copy and every one polls with a fresh file; 1 when any fails, is stopped, silent or unreadable,
// or there is none.
int fleetExitCode(const std::vector<FleetRow>& rows);

QString fleetStateWord(FleetRow::State state);
// Every column: the CSV's and the fleet window's.
QStringList fleetHeader();
QStringList fleetCells(const FleetRow& row);
// Aligned columns for a console, header first, one line per copy; widths as a Japanese console shows them.
QString fleetText(const std::vector<FleetRow>& rows);
// The header and one row per copy, in code page 932 with CR LF, for Excel on Japanese Windows.
QByteArray fleetCsv(const std::vector<FleetRow>& rows);

struct FleetReading
{
    std::vector<FleetFile> files;     // *.json, by name
    std::optional<SystemError> error; // the folder could not be read
};
FleetReading readFleetFolder(const QString& folder);
