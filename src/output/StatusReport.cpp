#include "output/StatusReport.h"

#include "base/FileNameRule.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <array>
#include <utility>

namespace {

// Scripts read the state by these words.
constexpr std::array<std::pair<StatusRecord::State, const char16_t*>, 3> StateWords = {{
    {StatusRecord::State::Polling, u"polling"},
    {StatusRecord::State::Stopped, u"stopped"},
    {StatusRecord::State::Failing, u"failing"},
}};

// With its offset, so that a reader in another time zone, or after a change of daylight saving, reads the same
// moment.
QJsonValue timeValue(const QDateTime& time)
{
    if (!time.isValid()) {
        return QJsonValue::Null;
    }
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QDateTime readTime(const QJsonValue& value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODate);
}

} // namespace

QByteArray statusJson(const StatusRecord& record)
{
    QJsonObject json;
    json.insert(QStringLiteral("format"), 1);
    json.insert(QStringLiteral("version"), record.version);
    json.insert(QStringLiteral("pc"), record.pc);
    json.insert(QStringLiteral("user"), record.user);
    json.insert(QStringLiteral("profile"), record.profile);
    json.insert(QStringLiteral("dataFolder"), record.dataFolder);
    for (const auto& [state, word] : StateWords) {
        if (state == record.state) {
            json.insert(QStringLiteral("state"), QString::fromUtf16(word));
        }
    }
    json.insert(QStringLiteral("written"), timeValue(record.written));
    json.insert(QStringLiteral("lastPoll"), timeValue(record.lastPoll));
    QJsonValue stored = QJsonValue::Null;
    if (const auto& cycle = record.lastStored) {
        stored = QJsonObject{{QStringLiteral("time"), timeValue(cycle->time)},
                             {QStringLiteral("terminalFile"), cycle->terminalFile},
                             {QStringLiteral("records"), cycle->records},
                             {QStringLiteral("uploadFile"), cycle->uploadFile}};
    }
    json.insert(QStringLiteral("lastStored"), stored);
    QJsonValue failure = QJsonValue::Null;
    if (const auto& current = record.failure) {
        failure = QJsonObject{{QStringLiteral("reason"), current->reason},
                              {QStringLiteral("since"), timeValue(current->since)},
                              {QStringLiteral("cycles"), current->cycles}};
    }
    json.insert(QStringLiteral("failure"), failure);
    json.insert(QStringLiteral("today"), QJsonObject{{QStringLiteral("date"), record.today.toString(Qt::ISODate)},
                                                     {QStringLiteral("ack"), record.acknowledged},
                                                     {QStringLiteral("can"), record.cancelled}});
    json.insert(QStringLiteral("statusFolder"), QJsonObject{{QStringLiteral("folder"), record.statusFolder},
                                                            {QStringLiteral("failed"), record.copiesFailed},
                                                            {QStringLiteral("skipped"), record.copiesSkipped}});
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

std::optional<StatusRecord> readStatusJson(QByteArrayView bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject json = document.object();
    StatusRecord record;
    record.pc = json.value(QStringLiteral("pc")).toString();
    const QString stateWord = json.value(QStringLiteral("state")).toString();
    bool known = false;
    for (const auto& [state, word] : StateWords) {
        if (stateWord == QString::fromUtf16(word)) {
            record.state = state;
            known = true;
        }
    }
    if (record.pc.isEmpty() || !known) {
        return std::nullopt;
    }
    record.version = json.value(QStringLiteral("version")).toString();
    record.user = json.value(QStringLiteral("user")).toString();
    record.profile = json.value(QStringLiteral("profile")).toString();
    record.dataFolder = json.value(QStringLiteral("dataFolder")).toString();
    record.written = readTime(json.value(QStringLiteral("written")));
    record.lastPoll = readTime(json.value(QStringLiteral("lastPoll")));
    if (const QJsonValue stored = json.value(QStringLiteral("lastStored")); stored.isObject()) {
        const QJsonObject cycle = stored.toObject();
        record.lastStored = StatusRecord::StoredCycle{
            readTime(cycle.value(QStringLiteral("time"))), cycle.value(QStringLiteral("terminalFile")).toString(),
            cycle.value(QStringLiteral("records")).toInt(), cycle.value(QStringLiteral("uploadFile")).toString()};
    }
    if (const QJsonValue failure = json.value(QStringLiteral("failure")); failure.isObject()) {
        const QJsonObject current = failure.toObject();
        record.failure = StatusRecord::Failure{current.value(QStringLiteral("reason")).toString(),
                                               readTime(current.value(QStringLiteral("since"))),
                                               current.value(QStringLiteral("cycles")).toInt()};
    }
    const QJsonObject today = json.value(QStringLiteral("today")).toObject();
    record.today = QDate::fromString(today.value(QStringLiteral("date")).toString(), Qt::ISODate);
    record.acknowledged = today.value(QStringLiteral("ack")).toInt();
    record.cancelled = today.value(QStringLiteral("can")).toInt();
    const QJsonObject copies = json.value(QStringLiteral("statusFolder")).toObject();
    record.statusFolder = copies.value(QStringLiteral("folder")).toString();
    record.copiesFailed = copies.value(QStringLiteral("failed")).toInt();
    record.copiesSkipped = copies.value(QStringLiteral("skipped")).toInt();
    return record;
}

QString statusCopyName(const QString& pc, const QString& user, const QString& profile)
{
    QString name = pc + u'-' + user;
    if (!profile.isEmpty()) {
        name += u'-' + profile;
    }
    return safeFileName(name) + QStringLiteral(".json");
}
