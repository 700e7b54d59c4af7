#pragma once
// Runs smtp_server.py on loopback for one test and reads back what it received. Debian's aiosmtpd is importable only
// by /usr/bin/python3, so that interpreter is used explicitly, from Windows tests under Wine too.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

class SmtpServer
{
public:
    explicit SmtpServer(const QString& mode)
    {
        // Everything goes through files in the folder: under Wine, pipes to a Unix child carry nothing and there is
        // no process handle to wait on or kill. The server also stops once this process is gone (under Wine, where it
        // cannot see this process, after a bounded lifetime).
        const QStringList arguments{mode, m_folder.path(), QString::number(QCoreApplication::applicationPid())};
        const bool started =
            qEnvironmentVariableIsSet("ZELBO_SMTP_LAUNCHER") ? askLauncher(arguments) : startDetached(arguments);
        if (!started ||
            !QTest::qWaitFor([this] { return QFileInfo::exists(m_folder.filePath(QStringLiteral("port"))); }, 15000)) {
            return;
        }
        bool ok = false;
        const int port = read(QStringLiteral("port")).trimmed().toInt(&ok);
        m_port = ok ? quint16(port) : 0;
    }

    ~SmtpServer()
    {
        QFile stop(m_folder.filePath(QStringLiteral("stop")));
        if (stop.open(QIODevice::WriteOnly)) {
            stop.close();
            // The server removes its port file once it has stopped; the folder must outlive it.
            (void)QTest::qWaitFor([this] { return !QFileInfo::exists(m_folder.filePath(QStringLiteral("port"))); },
                                  10000);
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
        return QJsonDocument::fromJson(read(QString::number(number) + QStringLiteral("/message.json"))).object();
    }

    // Every AUTH command the server heard, one a line, with whether TLS was on ("tls=True").
    QByteArray authLog() const { return read(QStringLiteral("auth.log")); }
    // The throwaway certificate of a "tls-auth" server, for the client to trust.
    QString certificatePath() const { return m_folder.filePath(QStringLiteral("cert.pem")); }

    QByteArray read(int number, const QString& file) const
    {
        return read(QString::number(number) + QLatin1Char('/') + file);
    }

private:
    static bool startDetached(const QStringList& arguments)
    {
        QProcess process;
        process.setProgram(QStringLiteral("/usr/bin/python3"));
        process.setArguments(
            QStringList{qEnvironmentVariable("ZELBO_SOURCE_DIR") + QStringLiteral("/tests/output/smtp_server.py")} +
            arguments);
        process.setStandardInputFile(QProcess::nullDevice());
        return process.startDetached();
    }

    // Under Wine a Unix program started from here hands back a stray thread handle, which the start then closes:
    // now and then a live handle of this test. A launcher outside Wine (its folder in ZELBO_SMTP_LAUNCHER) starts
    // the server instead, one request file per server.
    bool askLauncher(const QStringList& arguments) const
    {
        const QString request = qEnvironmentVariable("ZELBO_SMTP_LAUNCHER") + QLatin1Char('/') +
                                QFileInfo(m_folder.path()).fileName() + QStringLiteral(".request");
        QFile file(request + QStringLiteral(".tmp"));
        if (!file.open(QIODevice::WriteOnly) || file.write(arguments.join(QLatin1Char('\n')).toUtf8() + '\n') < 0) {
            return false;
        }
        file.close();
        return file.rename(request);
    }

    QByteArray read(const QString& name) const
    {
        QFile f(m_folder.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_folder;
    quint16 m_port = 0;
};
