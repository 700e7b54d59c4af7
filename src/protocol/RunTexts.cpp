#include "protocol/RunTexts.h"

#include "protocol/Frame.h"

#include <QDir>
#include <QStringList>

#include <charconv>

namespace {

// blankNumber without an allocation, for the texts built for every record.
class BlankNumber
{
public:
    explicit BlankNumber(int value, bool blank = true)
    {
        char* begin = m_chars;
        if (blank && value >= 0) {
            *begin++ = ' ';
        }
        m_end = std::to_chars(begin, m_chars + sizeof m_chars, value).ptr;
    }
    QLatin1StringView view() const { return QLatin1StringView(m_chars, m_end); }

private:
    char m_chars[16];
    const char* m_end;
};

} // namespace

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

QString logLinePrefix(const QDateTime& when)
{
    return QStringLiteral("\"") + dateText(when) + QStringLiteral("\",\"") + timeText(when) + QStringLiteral("\",\"");
}

QString logLine(const QString& prefix, int recordCount, const QString& reply)
{
    // One allocation: a line is written for every datagram.
    QString line;
    line.reserve(prefix.size() + reply.size() + 16);
    line.append(prefix)
        .append(BlankNumber(recordCount).view())
        .append(QStringLiteral("\",\""))
        .append(reply)
        .append(u'"');
    return line;
}

QString logLine(const QDateTime& when, int recordCount, const QString& reply)
{
    return logLine(logLinePrefix(when), recordCount, reply);
}

QString recordStatusText(int recordCount, int announcedCount)
{
    QString text;
    text.reserve(32);
    text.append(QStringLiteral("ﾚｺｰﾄﾞ受信 : "))
        .append(BlankNumber(recordCount).view())
        .append(u'/')
        .append(BlankNumber(announcedCount, false).view());
    return text;
}

QString completedStatusText(int announcedCount)
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信<") + QString::number(announcedCount) + QStringLiteral("> : 正常終了");
}

QString failedStatusText()
{
    return QStringLiteral("異常終了");
}

QString frameErrorStatusText(const QString& stage, std::int16_t result)
{
    switch (result) {
    case FrameFormatError:
        return stage + QStringLiteral(" : ﾌｫｰﾏｯﾄ ｴﾗｰ");
    case FrameChecksumError:
        return stage + QStringLiteral(" : CRC ｴﾗｰ");
    default:
        // Any other result of CheckFrame is a third kind of frame error, not an internal error.
        return stage + QStringLiteral(" : その他 ｴﾗｰ");
    }
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

QString portInUseStatusText(quint16 port, const std::optional<PortHolder>& holder)
{
    QString text =
        QStringLiteral("UDP通信 : ﾛｰｶﾙﾎﾟｰﾄ %1 は他のﾌﾟﾛｸﾞﾗﾑが使用中です。空くまで30秒ごとに再試行します").arg(port);
    if (!holder) {
        return text;
    }
    QStringList parts;
    QString process = holder->process;
    if (holder->pid != 0) {
        process +=
            (process.isEmpty() ? QStringLiteral("PID ") : QStringLiteral(" PID ")) + QString::number(holder->pid);
    }
    for (const QString& part : {process, holder->user}) {
        if (!part.isEmpty()) {
            parts << part;
        }
    }
    if (holder->session) {
        parts << QStringLiteral("ｾｯｼｮﾝ %1").arg(*holder->session);
    }
    return parts.isEmpty() ? text : text + QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + u')';
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
