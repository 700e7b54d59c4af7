#include "protocol/RunTexts.h"

#include "protocol/Frame.h"

#include <QDir>

QString DateText(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy/MM/dd"));
}

QString TimeText(const QDateTime& when)
{
    return when.toString(QStringLiteral("HH:mm:ss"));
}

QString ClockCommand(const QDateTime& when)
{
    return QStringLiteral("TW") + when.toString(QStringLiteral("yyyyMMddHHmmss"));
}

bool IsClockAdjustOn(QStringView timeAdjust)
{
    return LeadingNumber(timeAdjust) == 1.0;
}

QString BlankNumber(int value)
{
    return value >= 0 ? QStringLiteral(" ") + QString::number(value) : QString::number(value);
}

QString UploadFileNamePart(const QString& name, std::int16_t addDate, const QDateTime& when)
{
    const QString datePart = when.toString(QStringLiteral("yyyyMMdd"));
    const QString timePart = when.toString(QStringLiteral("HHmm"));
    const QString dash = QStringLiteral("-");
    QString base;
    switch (addDate) {
    case 1:
        base = datePart;
        break;
    case 2:
        base = datePart + dash + timePart;
        break;
    case 3:
        base = name + dash + datePart;
        break;
    case 4:
        base = name + dash + datePart + dash + timePart;
        break;
    default: // 0 and any unknown index: the name alone
        base = name;
        break;
    }
    return QDir::separator() + base + QStringLiteral(".txt");
}

QString TrimSaveFolder(const QString& saveFolder)
{
    const bool trailing = saveFolder.endsWith(QDir::separator()) || saveFolder.endsWith(u'/');
    if (trailing && saveFolder.size() > 1) {
        return saveFolder.left(saveFolder.size() - 1);
    }
    return saveFolder;
}

QString JoinFolder(const QString& folder, const QString& namePart)
{
    if (folder == QDir::separator() || folder == QStringLiteral("/")) {
        return namePart;
    }
    return folder + namePart;
}

QString LogLine(const QDateTime& when, int recordCount, const QString& reply)
{
    const QString quote = QStringLiteral("\"");
    const QString between = QStringLiteral("\",\"");
    return quote + DateText(when) + between + TimeText(when) + between + BlankNumber(recordCount) + between + reply +
           quote;
}

QString RecordStatusText(int recordCount, int announcedCount)
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信 : ") + BlankNumber(recordCount) + QStringLiteral("/") +
           QString::number(announcedCount);
}

QString CompletedStatusText(int announcedCount)
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信<") + QString::number(announcedCount) + QStringLiteral("> : 正常終了");
}

QString FileErrorNumberText(const SystemError& error)
{
    return BlankNumber(error.number) + QStringLiteral(":") + error.description;
}

QString LinkErrorStatusText(const SystemError& error)
{
    return QString::number(error.number) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") +
           error.description;
}

QString NetworkRetryStatusText(const SystemError& error)
{
    return QStringLiteral("UDP通信 : ﾈｯﾄﾜｰｸに接続できません。再試行します") + FileErrorNumberText(error);
}

QString SaveFolderMissingStatusText(const QString& folder, const SystemError& error)
{
    return QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません : ") + QDir::toNativeSeparators(folder) + FileErrorNumberText(error);
}

QString AlreadyStoredStatusText()
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信 : 受信済みのﾃﾞｰﾀのため二重に保存しません");
}

QString JournalUnreadableStatusText()
{
    return QStringLiteral("<Journal> 前回の受信記録が読めないため無視します");
}

QString FileErrorText(const QString& tag, const SystemError& error)
{
    return tag + FileErrorNumberText(error);
}
