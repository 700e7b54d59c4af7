#pragma once
// The upload run's test rig: a scripted fake link, a recording host and output, a fixed clock, and helpers that build
// the terminal's frames from their bytes, independently of the engine's own helpers.

#include "base/Cp932.h"
#include "output/DiskRunFiles.h"
#include "protocol/UploadRun.h"

#include "fakes/FakeLink.h"
#include "fakes/FakeOutput.h"
#include "fakes/FakeRunHost.h"
#include "fakes/FixedClock.h"
#include "fakes/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Checksum computed here from the bytes, independently of the engine's helper.
inline QString sum(const QString& covered)
{
    unsigned total = 0;
    for (const char b : Cp932::encode(covered)) {
        total += static_cast<unsigned char>(b);
    }
    return QString::asprintf("%02X", total % 256);
}

inline QString frame(const QString& type, const QString& data, int crcType = 0)
{
    const QString body = QStringLiteral("^") + type + data + QStringLiteral("*");
    return body + sum(crcType == 0 ? body : data + QStringLiteral("*"));
}

inline QString nameFrame(int count, const QString& name = QStringLiteral("DATA1"), int crcType = 0)
{
    return frame(QStringLiteral("#"), name + QStringLiteral("@") + QString::number(count), crcType);
}

// Record frame with sequence character i % 10.
inline QString rec(int i, const QString& data, int crcType = 0)
{
    return frame(QString::number(i % 10), data, crcType);
}

inline QString recv(const QString& text)
{
    return QStringLiteral("< ") + text;
}

inline QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? Cp932::decode(file.readAll()) : QStringLiteral("<missing>");
}

// Lines as a file holds them: each ended by CR LF.
inline QString lines(const QStringList& list)
{
    QString text;
    for (const QString& line : list) {
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

const QString Waiting = QStringLiteral("UDP通信：送受信待ち");
const QString Failed = QStringLiteral("異常終了");
const QString Stopped = QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました");
const QString TimeoutError = QStringLiteral("ﾚｺｰﾄﾞ受信 : ﾀｲﾑｱｳﾄ ｴﾗｰ");

// Staging file that accepts a number of lines, then fails as a full disk would.
class FailingFiles : public DiskRunFiles
{
public:
    FailingFiles(const QString& path, int goodLines) : DiskRunFiles(path), m_goodLines(goodLines) {}
    std::optional<SystemError> writeStagingLine(const QString& line) override
    {
        if (m_goodLines-- > 0) {
            return DiskRunFiles::writeStagingLine(line);
        }
        return SystemError{28, QStringLiteral("No space left on device")};
    }

private:
    int m_goodLines;
};

// One run against scripted fakes, with real staging and log files in a temporary folder.
struct Rig
{
    QTemporaryDir dir;
    QStringList journal;
    FakeRunHost host;
    FakeLink link{host};
    FixedClock clock;
    Settings settings;
    QString backPath = QDir::toNativeSeparators(dir.filePath(QStringLiteral("Back.txt")));
    FakeOutput output{settings, backPath};
    QString saveFolder;
    QString uploadPath;
    QString mailError;
    QString stagedAtWrite;

    Rig()
    {
        saveFolder = QDir::toNativeSeparators(dir.filePath(QStringLiteral("save")));
        QDir().mkpath(saveFolder);
        settings.SaveFolder = saveFolder;
        settings.TimeAdjust = QStringLiteral("0");
        settings.RemoteHost = QStringLiteral("127.0.0.1");
        settings.MailAddress = QStringLiteral("office@example.com");
        host.journal = &journal;
        link.journal = &journal;
        output.journal = &journal;
        // Stop as the main window's handler does it.
        link.stopAction = [this] {
            host.setRunning(false);
            host.SetCommState(0);
            host.ShowStatus(1, Stopped);
        };
        // The writer sees the staging file as the run left it; all fields kept, overwrite mode.
        output.writer = [this](const QString& path) {
            stagedAtWrite = readText(backPath);
            if (!output.writeResult) {
                return false;
            }
            QFile::remove(path);
            return QFile::copy(backPath, path);
        };
    }

    // "> X" expected send, "< X" reply, "<" one time-out, "<5" a whole record attempt of five time-outs,
    // "~N" WaitTicks(N), "stop" presses Stop during the previous step.
    void play(const QStringList& script)
    {
        for (const QString& step : script) {
            if (step.startsWith(QStringLiteral("> "))) {
                link.expect(step.mid(2));
            } else if (step == QStringLiteral("<")) {
                link.timeout();
            } else if (step == QStringLiteral("<5")) {
                for (int i = 0; i < 5; ++i) {
                    link.timeout();
                }
            } else if (step.startsWith(QStringLiteral("< "))) {
                link.reply(step.mid(2));
            } else if (step.startsWith(u'~')) {
                link.waitTicks(step.mid(1).toInt());
            } else if (step == QStringLiteral("stop")) {
                link.stop();
            } else {
                QTest::qFail(qPrintable(QStringLiteral("bad script step ") + step), __FILE__, __LINE__);
            }
        }
    }

    void run()
    {
        host.running = true;
        UploadRun upload(link, host, clock, output, settings);
        upload.RunUpload();
        uploadPath = upload.UploadPath();
        mailError = upload.MailError();
    }

    QString savePath(const QString& name) const { return saveFolder + QDir::separator() + name; }
    QString logText() const { return readText(savePath(QStringLiteral("LOG.TXT"))); }
    QString failures() const
    {
        return link.failures.join(u'\n') + (link.scriptDone() ? QString() : QStringLiteral(" (script not used up)"));
    }
};

inline QStringList opening(int count, int crcType = 0)
{
    return {QStringLiteral("> VOL"), recv(nameFrame(count, QStringLiteral("DATA1"), crcType)), QStringLiteral("> ACK")};
}

inline QStringList records(int first, int last, int crcType = 0)
{
    QStringList script;
    for (int i = first; i <= last; ++i) {
        script << recv(rec(i, QStringLiteral("R%1").arg(i + 1), crcType)) << QStringLiteral("> ACK");
    }
    return script;
}

inline QStringList recordLines(int first, int last)
{
    QStringList out;
    for (int i = first; i <= last; ++i) {
        out << QStringLiteral("R%1").arg(i + 1);
    }
    return out;
}

inline QStringList repeated(const QStringList& steps, int times)
{
    QStringList out;
    for (int i = 0; i < times; ++i) {
        out << steps;
    }
    return out;
}

const QStringList EndOk = {QStringLiteral("< END"), QStringLiteral("> ACK")};
const QStringList Nak = {QStringLiteral("> NAK")};
const QStringList Can = {QStringLiteral("> CAN")};

inline QString done(int count)
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信<%1> : 正常終了").arg(count);
}

inline QString progress(int count, int announced)
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信 :  %1/%2").arg(count).arg(announced);
}

inline QString crlf(const QStringList& parts)
{
    return parts.join(QStringLiteral("\r\n"));
}

} // namespace
