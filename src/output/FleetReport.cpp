#include "output/FleetReport.h"

#include "base/Cp932.h"
#include "base/Platform.h"
#include "base/SafeFile.h"
#include "output/CycleHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace {

// Excel reads this date and time as one value on a Japanese system, as in the history.
const QString TimeFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");
// A status file is a few hundred bytes: anything far larger in the folder is no copy's.
constexpr qint64 MaxStatusBytes = 1024 * 1024;

enum Column
{
    Pc,
    User,
    Profile,
    State,
    LastPoll,
    LastStored,
    TerminalFile,
    Records,
    FailingSince,
    FailedCycles,
    Failure,
    UploadFile,
    TodayAck,
    TodayCan,
    Written,
    Version,
    ColumnCount,
};

// The console's columns: who, how it is and what went wrong last, the failure's long text at the end.
constexpr std::array<Column, 9> TextColumns = {Pc,         User,         Profile,      State,  LastPoll,
                                               LastStored, TerminalFile, FailingSince, Failure};

QString timeText(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().toString(TimeFormat) : QString();
}

// One line a copy, whatever line ends a failure's text held.
QString oneLine(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
}

} // namespace

std::vector<FleetRow> fleetRows(const std::vector<FleetFile>& files, const QDateTime& now)
{
    std::vector<FleetRow> rows;
    for (const FleetFile& file : files) {
        FleetRow row;
        row.fileName = file.name;
        row.record = readStatusJson(file.bytes);
        if (!row.record) {
            row.state = FleetRow::State::Unreadable;
        } else if (file.modified.secsTo(now) > std::chrono::seconds(FleetSilentAfter).count()) {
            row.state = FleetRow::State::Silent;
        } else {
            switch (row.record->state) {
            case StatusRecord::State::Polling:
                row.state = FleetRow::State::Polling;
                break;
            case StatusRecord::State::Failing:
                row.state = FleetRow::State::Failing;
                break;
            case StatusRecord::State::Stopped:
            default:
                row.state = FleetRow::State::Stopped;
                break;
            }
        }
        rows.push_back(row);
    }
    return rows;
}

int fleetExitCode(const std::vector<FleetRow>& rows)
{
    const bool allPolling = std::all_of(rows.begin(), rows.end(),
                                        [](const FleetRow& row) { return row.state == FleetRow::State::Polling; });
    return !rows.empty() && allPolling ? 0 : 1;
}

QString fleetStateWord(FleetRow::State state)
{
    switch (state) {
    case FleetRow::State::Polling:
        return QStringLiteral("通信中");
    case FleetRow::State::Stopped:
        return QStringLiteral("停止");
    case FleetRow::State::Failing:
        return QStringLiteral("異常");
    case FleetRow::State::Silent:
        return QStringLiteral("応答なし");
    case FleetRow::State::Unreadable:
    default:
        return QStringLiteral("読取不可");
    }
}

QStringList fleetHeader()
{
    QStringList header(ColumnCount);
    header[Pc] = QStringLiteral("PC");
    header[User] = QStringLiteral("ﾕｰｻﾞｰ");
    header[Profile] = QStringLiteral("ﾌﾟﾛﾌｧｲﾙ");
    header[State] = QStringLiteral("状態");
    header[LastPoll] = QStringLiteral("最終通信");
    header[LastStored] = QStringLiteral("最終受信");
    header[TerminalFile] = QStringLiteral("端末ﾌｧｲﾙ名");
    header[Records] = QStringLiteral("件数");
    header[FailingSince] = QStringLiteral("異常発生");
    header[FailedCycles] = QStringLiteral("連続回数");
    header[Failure] = QStringLiteral("異常内容");
    header[UploadFile] = QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙ");
    header[TodayAck] = QStringLiteral("本日ACK");
    header[TodayCan] = QStringLiteral("本日CAN");
    header[Written] = QStringLiteral("状態ﾌｧｲﾙ更新");
    header[Version] = QStringLiteral("ﾊﾞｰｼﾞｮﾝ");
    return header;
}

QStringList fleetCells(const FleetRow& row)
{
    QStringList cells(ColumnCount);
    cells[State] = fleetStateWord(row.state);
    if (!row.record) {
        // The file's name still says whose it is.
        cells[Pc] = QFileInfo(row.fileName).completeBaseName();
        cells[Failure] = QStringLiteral("状態ﾌｧｲﾙを読めません : ") + row.fileName;
        return cells;
    }
    const StatusRecord& record = *row.record;
    cells[Pc] = record.pc;
    cells[User] = record.user;
    cells[Profile] = record.profile;
    cells[LastPoll] = timeText(record.lastPoll);
    if (const auto& stored = record.lastStored) {
        cells[LastStored] = timeText(stored->time);
        cells[TerminalFile] = stored->terminalFile;
        cells[Records] = QString::number(stored->records);
        cells[UploadFile] = stored->uploadFile;
    }
    if (const auto& failure = record.failure) {
        cells[FailingSince] = timeText(failure->since);
        cells[FailedCycles] = QString::number(failure->cycles);
        cells[Failure] = oneLine(failure->reason);
    }
    cells[TodayAck] = QString::number(record.acknowledged);
    cells[TodayCan] = QString::number(record.cancelled);
    cells[Written] = timeText(record.written);
    cells[Version] = record.version;
    return cells;
}

QString fleetText(const std::vector<FleetRow>& rows)
{
    std::vector<QStringList> lines{fleetHeader()};
    for (const FleetRow& row : rows) {
        lines.push_back(fleetCells(row));
    }
    std::array<qsizetype, ColumnCount> widths{};
    for (const QStringList& cells : lines) {
        for (const Column column : TextColumns) {
            widths[column] = std::max(widths[column], Cp932::byteCount(cells[column]));
        }
    }
    QString text;
    for (const QStringList& cells : lines) {
        QString line;
        for (const Column column : TextColumns) {
            line += cells[column];
            if (column != TextColumns.back()) {
                line += QString(widths[column] - Cp932::byteCount(cells[column]) + 2, u' ');
            }
        }
        text += line.trimmed() + u'\n';
    }
    return text;
}

QByteArray fleetCsv(const std::vector<FleetRow>& rows)
{
    QByteArray bytes = CycleHistory::csvLine(fleetHeader());
    for (const FleetRow& row : rows) {
        bytes += CycleHistory::csvLine(fleetCells(row));
    }
    return bytes;
}

FleetReading readFleetFolder(const QString& folder)
{
    FleetReading reading;
    if (auto error = checkFolder(folder)) {
        reading.error = error;
        return reading;
    }
    const QFileInfoList entries = QDir(folder).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries) {
        FleetFile file{entry.fileName(), QByteArray(), entry.lastModified()};
        QFile opened;
        // One that cannot be read stays in the list, as unreadable.
        if (entry.size() <= MaxStatusBytes && !SafeFile::openRegular(opened, entry.filePath(), QIODevice::ReadOnly)) {
            file.bytes = opened.readAll();
        }
        reading.files.push_back(file);
    }
    return reading;
}
