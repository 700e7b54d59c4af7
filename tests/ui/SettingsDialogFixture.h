#pragma once
// The settings dialog as its tests see it: opened over a stand-in main window on a settings file in a temporary
// folder, its controls found by objectName and driven as a user would.

#include "config/SettingsFile.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"
#include "ui/frmFolder.h"
#include "ui/frmSetting.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Types over the box's whole text, as a user (or an input method committing Japanese) would.
inline void typeText(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Backspace);
        return;
    }
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(edit, &press);
}

// Clicks on the indicator: a box stretched by its layout is not hit in its empty right part.
inline void clickButton(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

// A real double-click: press and release, then the double-click event and its release.
inline void doubleClick(QWidget* widget, const QPoint& pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
}

class SettingsDialogFixture
{
protected:
    std::unique_ptr<QTemporaryDir> m_dir;
    ProgramPaths m_paths;
    // The user's own settings, which OK replaces, and the live settings the dialog opens on: those with policies.
    Settings m_settings;
    SettingsState m_state;
    RecordingMessageSink m_sink;
    std::unique_ptr<SettingsFile> m_file;
    std::unique_ptr<QWidget> m_main;
    QPointer<frmSetting> m_dialog;
    QStringList m_shownFolders;
    QByteArray m_initialFile;

    template <typename T> T* child(const QString& name) const
    {
        T* widget = m_dialog->findChild<T*>(name);
        if (widget == nullptr) {
            qWarning("no control %s", qPrintable(name));
        }
        return widget;
    }
    template <typename T> T* child(const char* name) const { return child<T>(QString::fromLatin1(name)); }
    QPushButton* ok() const { return child<QPushButton>("cmdOK0"); }
    QPushButton* cancel() const { return child<QPushButton>("cmdOK1"); }

    QByteArray iniBytes() const
    {
        QFile file(m_paths.IniPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void openDialog(MailSignIn::Tools mailTools = {})
    {
        m_state.setUser(m_settings);
        m_dialog = frmSetting::open(
            m_state, *m_file, m_sink, m_main.get(),
            [this](const Settings& saved) {
                m_settings = saved;
                m_state.setUser(saved);
                m_shownFolders << m_state.effective().SaveFolder;
            },
            std::move(mailTools));
        QVERIFY(m_dialog);
        QVERIFY(m_dialog->isVisible());
    }

    void closeBox() { m_dialog->close(); }

    // Clicks "参照" and returns the picker it shows.
    frmFolder* openPicker()
    {
        QTest::mouseClick(child<QPushButton>("cmdFolderRef"), Qt::LeftButton);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QStringLiteral("frmFolder") && window->isVisible()) {
                return qobject_cast<frmFolder*>(window);
            }
        }
        return nullptr;
    }

    // For initTestCase(): the title the dialog's boxes carry.
    static void nameApplication() { QCoreApplication::setApplicationName(QStringLiteral("ZELBO_UDP")); }
    // For init(): a settings file with a few values off their defaults, and the main window standing in for the owner.
    void openFixture()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_paths = testProgramPaths(m_dir->path());
        m_sink.boxes.clear();
        m_shownFolders.clear();
        m_state = SettingsState();
        m_file = std::make_unique<SettingsFile>(m_paths, m_sink);

        m_settings = SettingsFile::defaults(m_paths.ProgramFolder);
        m_settings.RemoteHost = QStringLiteral("127.0.0.1");
        m_settings.AddDate = 2;
        m_settings.FixFname = QStringLiteral("ORDERS");
        m_settings.MailSub = QStringLiteral("棚卸ﾃﾞｰﾀ");
        m_settings.FieldSelect[3] = 0;
        m_file->WriteSettingsFile(m_settings);
        m_initialFile = iniBytes();
        QVERIFY(!m_initialFile.isEmpty());

        m_main = std::make_unique<QWidget>();
        m_main->setGeometry(120, 90, 425, 377);
        m_main->show();
    }

    // For cleanup().
    void closeFixture()
    {
        delete m_dialog.data();
        m_main.reset();
    }
};
