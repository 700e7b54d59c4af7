#pragma once
// The texts an upload run builds: clock command, upload file name, log line, status lines.
// Pure functions: every date and time comes in as an argument, nothing reads the clock. The name rule, safeFileName,
// is base/'s, since the settings' refusal rules apply it too.

#include "base/FileNameRule.h"
#include "base/PortHolder.h"
#include "base/SystemError.h"

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

// "yyyy/mm/dd" and "hh:mm:ss" (24-hour), the date and time texts of the log and the names.
QString dateText(const QDateTime& when);
QString timeText(const QDateTime& when);

// "TW" + yyyymmddhhmmss.
QString clockCommand(const QDateTime& when);

// A number as the log and status lines render it: one leading blank for 0 and above, "-" below.
QString blankNumber(int value);

// separator + name by addDate (0 name, 1 date, 2 date-time, 3 name-date, 4 name-date-time; others as 0) + ".txt".
QString uploadFileNamePart(const QString& name, std::int16_t addDate, const QDateTime& when);

// SaveFolder without one trailing separator; a bare root keeps its separator.
QString trimSaveFolder(const QString& saveFolder);
// The folder joined with a file-name part that starts with a separator; a root folder adds none of its own.
QString joinFolder(const QString& folder, const QString& namePart);

// Four quoted fields: date, time, blankNumber(recordCount), reply (quotes inside are not escaped). No line end.
QString logLine(const QDateTime& when, int recordCount, const QString& reply);
// The same from the line's first two fields and the opening quote of the third, which change once a second.
QString logLinePrefix(const QDateTime& when);
QString logLine(const QString& prefix, int recordCount, const QString& reply);

// "ﾚｺｰﾄﾞ受信 : " + blankNumber(recordCount) + "/" + announced.
QString recordStatusText(int recordCount, int announcedCount);
// "ﾚｺｰﾄﾞ受信<" + announced + "> : 正常終了".
QString completedStatusText(int announcedCount);
// The line a failed cycle ends with.
QString failedStatusText();
// A frame CheckFrame refused (result): the stage, then what was wrong with the frame.
QString frameErrorStatusText(const QString& stage, std::int16_t result);
// number + " UDP設定に問題がないか確認してください。 " + description: a link error that ends the run.
QString linkErrorStatusText(const SystemError& error);
// The network is away for now; polling goes on.
QString networkRetryStatusText(const SystemError& error);
// Another program holds the local port; the link binds again every 30 s. Then, where known, who holds it:
// " (<process> PID <pid>, <user>, ｾｯｼｮﾝ <n>)" with whatever parts are known.
QString portInUseStatusText(quint16 port, const std::optional<PortHolder>& holder);
// "保存ﾌｫﾙﾀﾞが存在しません : " + folder + blankNumber(number) + ":" + description: the cycle is refused until it is
// back.
QString saveFolderMissingStatusText(const QString& folder, const SystemError& error);
// A repeat of a block stored by a cycle whose answer was lost: acknowledged, not stored or mailed twice.
QString alreadyStoredStatusText();
// The journal of an unanswered cycle could not be read at start: it is ignored.
QString journalUnreadableStatusText();
// tag + blankNumber(number) + ":" + description, e.g. "<BackFile>  2:No such file or directory".
QString fileErrorText(const QString& tag, const SystemError& error);
// blankNumber(number) + ":" + description.
QString fileErrorNumberText(const SystemError& error);
