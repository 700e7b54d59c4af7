#include "protocol/RunTexts.h"

#include <QDir>

QString dateText(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy/MM/dd"));
}

QString timeText(const QDateTime& when)
{
    return when.toString(QStringLiteral("HH:mm:ss"));
}

QString clockCommand(const QDateTime& when)
{
    return QStringLiteral("TW") + when.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString blankNumber(int value)
{
    return value >= 0 ? QStringLiteral(" ") + QString::number(value) : QString::number(value);
}

QString uploadFileNamePart(const QString& name, std::int16_t addDate, const QDateTime& when)
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

QString trimSaveFolder(const QString& saveFolder)
{
    const bool trailing = saveFolder.endsWith(QDir::separator()) || saveFolder.endsWith(u'/');
    if (trailing && saveFolder.size() > 1) {
        return saveFolder.left(saveFolder.size() - 1);
    }
    return saveFolder;
}

QString joinFolder(const QString& folder, const QString& namePart)
{
    if (folder == QDir::separator() || folder == QStringLiteral("/")) {
        return namePart;
    }
    return folder + namePart;
}

QString logLine(const QDateTime& when, int recordCount, const QString& reply)
{
    const QString quote = QStringLiteral("\"");
    const QString between = QStringLiteral("\",\"");
    return quote + dateText(when) + between + timeText(when) + between + blankNumber(recordCount) + between + reply +
           quote;
}

QString recordStatusText(int recordCount, int announcedCount)
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信 : ") + blankNumber(recordCount) + QStringLiteral("/") +
           QString::number(announcedCount);
}

QString completedStatusText(int announcedCount)
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信<") + QString::number(announcedCount) + QStringLiteral("> : 正常終了");
}

QString fileErrorNumberText(const SystemError& error)
{
    return blankNumber(error.number) + QStringLiteral(":") + error.description;
}

QString linkErrorStatusText(const SystemError& error)
{
    return QString::number(error.number) + QStringLiteral(" UDP設定に問題がないか確認してください。 ") +
           error.description;
}

QString networkRetryStatusText(const SystemError& error)
{
    return QStringLiteral("UDP通信 : ﾈｯﾄﾜｰｸに接続できません。再試行します") + fileErrorNumberText(error);
}

QString saveFolderMissingStatusText(const QString& folder, const SystemError& error)
{
    return QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません : ") + QDir::toNativeSeparators(folder) + fileErrorNumberText(error);
}

QString alreadyStoredStatusText()
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信 : 受信済みのﾃﾞｰﾀのため二重に保存しません");
}

QString journalUnreadableStatusText()
{
    return QStringLiteral("<Journal> 前回の受信記録が読めないため無視します");
}

QString fileErrorText(const QString& tag, const SystemError& error)
{
    return tag + fileErrorNumberText(error);
}
