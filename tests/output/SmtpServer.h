#pragma once
// Runs smtp_server.py on loopback for one test and reads back what it received. Debian's aiosmtpd is importable only
// by /usr/bin/python3, so that interpreter is used explicitly.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class SmtpServer
{
public:
    explicit SmtpServer(const QString& mode)
    {
        const QString script =
            qEnvironmentVariable("ZELBO_SOURCE_DIR") + QStringLiteral("/tests/output/smtp_server.py");
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"), {script, mode, m_folder.path()});
        if (!m_process.waitForStarted(10000)) {
            return;
        }
        while (!m_process.canReadLine() && m_process.waitForReadyRead(15000)) {
        }
        bool ok = false;
        const int port = m_process.readLine().trimmed().toInt(&ok);
        m_port = ok ? quint16(port) : 0;
    }

    ~SmtpServer()
    {
        // The server stops when its stdin closes.
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    quint16 port() const { return m_port; }
    QString address() const { return QStringLiteral("127.0.0.1:") + QString::number(m_port); }

    int messageCount() const { return int(QDir(m_folder.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size()); }

    // The envelope and what Python's email package decoded from message number (1-based).
    QJsonObject message(int number) const
    {
        return QJsonDocument::fromJson(read(number, QStringLiteral("message.json"))).object();
    }

    QByteArray read(int number, const QString& file) const
    {
        QFile f(m_folder.path() + QLatin1Char('/') + QString::number(number) + QLatin1Char('/') + file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
};
