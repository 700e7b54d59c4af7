#pragma once
// The main window as its tests see it: loaded from a settings file in a temporary folder, its controls found by
// objectName, and the program's run side wired in where a test needs Start, Stop and close.

#include "CommObjects.h"

#include "config/SettingsFile.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"
#include "ui/MainWindow.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

#include <memory>

class MainWindowFixture
{
protected:
    QTemporaryDir m_dir;
    ProgramPaths m_paths;
    SettingsState m_settings;
    RecordingMessageSink m_sink;
    std::unique_ptr<SettingsFile> m_file;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<CommObjects> m_comm;
    QString m_startDir;

    template <typename T> T* child(const char* name) const
    {
        return m_window->findChild<T*>(QString::fromLatin1(name));
    }
    // The status box's text as the run wrote it, CR LF between lines.
    QString status() const
    {
        return child<QPlainTextEdit>("lblStatus")->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    }
    // The end of the last line lies inside the box's visible area.
    bool newestLineInView() const
    {
        const auto* box = child<QPlainTextEdit>("lblStatus");
        QTextCursor end(box->document());
        end.movePosition(QTextCursor::End);
        return box->viewport()->rect().contains(box->cursorRect(end));
    }

    void makeWindow(const QByteArray& ini)
    {
        if (!ini.isEmpty()) {
            QFile file(m_paths.IniPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ini);
        }
        m_file = std::make_unique<SettingsFile>(m_paths, m_sink);
        m_window = std::make_unique<MainWindow>(m_settings, m_paths, *m_file, m_sink);
        QVERIFY(m_window->Form_Load());
    }
    // Start, Stop and close go to CommControl as in the program.
    void connectComm()
    {
        m_comm = std::make_unique<CommObjects>(*m_window, m_settings.effective(), m_paths, m_sink,
                                               QStringLiteral("ZELBO_UDP"));
        m_comm->connectWindow(*m_window);
    }

    // For initTestCase(): where each test starts again.
    void rememberStartFolder() { m_startDir = QDir::currentPath(); }
    // For init(): no window, a fresh record and no settings file.
    void resetFixture()
    {
        QDir::setCurrent(m_startDir);
        QVERIFY(m_dir.isValid());
        m_paths = testProgramPaths(m_dir.path());
        QFile::remove(m_paths.IniPath);
        m_sink.boxes.clear();
        m_settings = SettingsState();
        m_comm.reset();
        m_window.reset();
    }
};
