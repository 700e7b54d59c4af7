#pragma once
// status.json: what one copy of the program is doing, for IT's scripts and the fleet report. The record and its JSON
// (UTF-8) both ways, and the name of its copy in IT's folder. Pure: no files, no clock.

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

struct StatusRecord
{
    enum class State
    {
        Polling,
        Stopped,
        // Polling, and the last cycle failed: nothing has been stored since.
        Failing,
    };
    struct StoredCycle
    {
        QDateTime time;
        QString terminalFile;
        int records = 0;
        QString uploadFile;
        bool operator==(const StoredCycle&) const = default;
    };
    struct Failure
    {
        QString reason;  // the latest failed cycle's
        QDateTime since; // the first failed cycle after the last stored one
        int cycles = 0;
        bool operator==(const Failure&) const = default;
    };

    QString version;
    QString pc;
    QString user;
    QString profile; // empty without --profile
    QString dataFolder;
    State state = State::Stopped;
    QDateTime written;
    QDateTime lastPoll; // invalid before the first poll
    std::optional<StoredCycle> lastStored;
    std::optional<Failure> failure;
    QDate today;
    int acknowledged = 0; // today's cycles answered "ACK"
    int cancelled = 0;    // and "CAN"
    // IT's folder (STATUSFOLDER), and the copies to it that failed or were skipped while one was still being written.
    QString statusFolder;
    int copiesFailed = 0;
    int copiesSkipped = 0;

    bool operator==(const StatusRecord&) const = default;
};

// The record as status.json holds it: an object with times in ISO 8601 with their offset from UTC.
QByteArray statusJson(const StatusRecord& record);
// The record from status.json; nothing when it is no JSON object, or lacks the PC's name or a known state.
std::optional<StatusRecord> readStatusJson(QByteArrayView bytes);
// "<PC>-<user>[-<profile>].json", with what a file name cannot hold replaced, for the copy in IT's folder.
QString statusCopyName(const QString& pc, const QString& user, const QString& profile);
