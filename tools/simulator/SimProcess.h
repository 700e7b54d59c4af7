#pragma once
// terminal_sim as a child process on 127.0.0.1, for the integration tests and the benchmarks: started with a free
// port, its output collected line by line.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

class SimProcess
{
public:
    explicit SimProcess(const QString& program) { m_process.setProgram(program); }
    ~SimProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator on 127.0.0.1 port 0 with further arguments and returns the port it printed; 0 on failure.
    quint16 start(const QStringList& arguments)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { readLines(); });
        // The last lines may come with the exit (seen under Wine); read them then too.
        QObject::connect(&m_process, &QProcess::finished, [this] { readLines(); });
        m_process.setArguments(QStringList{QStringLiteral("--bind"), QStringLiteral("127.0.0.1:0")} + arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(5000)) {
            return 0;
        }
        while (m_lines.isEmpty() && m_process.waitForReadyRead(5000)) {
            readLines();
        }
        if (m_lines.isEmpty() || !m_lines.first().startsWith(QStringLiteral("PORT "))) {
            return 0;
        }
        return static_cast<quint16>(m_lines.first().mid(5).toUInt());
    }

    // Waits (blocking, after the run has returned) until the simulator has exited by itself; an exit the run's event
    // loop saw already counts.
    bool waitForExit()
    {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(20000)) {
            return false;
        }
        return m_process.exitStatus() == QProcess::NormalExit;
    }

    QStringList lines()
    {
        readLines();
        return m_lines;
    }
    QStringList linesStartingWith(const QString& prefix)
    {
        QStringList result;
        for (const QString& line : lines()) {
            if (line.startsWith(prefix)) {
                result.append(line);
            }
        }
        return result;
    }

    // Called for every output line as it arrives, also while a run pumps events.
    std::function<void(const QString&)> onLine;

private:
    void readLines()
    {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            m_lines.append(line);
            if (onLine) {
                onLine(line);
            }
        }
    }

    QProcess m_process;
    QStringList m_lines;
};
