#pragma once
// IT's view of many copies through their status files: `--fleet-report [FOLDER] [--csv]`, which prints one line per
// copy for a person or a scheduled check, and `--fleet [FOLDER]`, which opens the fleet window. FOLDER defaults to
// the STATUSFOLDER of the data folder the command runs for (with --profile, that profile's), or IT's policy's.

#include "config/Policies.h"
#include "ui/FleetWindow.h"

#include <QString>
#include <QStringList>

struct ProgramPaths;

inline constexpr char FleetReportOption[] = "--fleet-report";
inline constexpr char FleetWindowOption[] = "--fleet";

// STATUSFOLDER as a start in paths' data folder would take it, policies over it, without writing anything.
QString configuredStatusFolder(const ProgramPaths& paths, const PolicyValues& policies);

// The status folder's table as the fleet window shows it, read now.
FleetWindow::Table fleetTable(const QString& folder);

// The report on standard output (the caller attaches a Windows prompt's console first); the process's exit code: 0
// every copy polls with a fresh file, 1 any does not (or there is none), 2 a bad command line or a folder that cannot
// be read.
int fleetReportCommand(const QStringList& arguments, const ProgramPaths& paths, const PolicyValues& policies);
// The fleet window until it is closed; 2 without a folder. Needs the QApplication.
int fleetWindowCommand(const QStringList& arguments, const ProgramPaths& paths, const PolicyValues& policies);
