#pragma once
// The save-folder picker: a drive list and a directory list whose path is the folder that is open in it. It touches
// neither Settings nor the settings file; OK only reports the open folder to the window that asked.

#include "base/MessageSink.h"
#include "base/SystemError.h"
#include "ui/OwnerLock.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <optional>

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class frmFolder : public QWidget
{
    Q_OBJECT

public:
    // owner is disabled while the picker is open and brought back to the front when it closes; the picker is
    // centred over mainWindow.
    frmFolder(const QString& startFolder, QWidget* owner, QWidget* mainWindow, MessageSink& messages);

    // Builds a new picker, loads it and shows it without waiting; it deletes itself when closed.
    static frmFolder* open(const QString& startFolder, QWidget* owner, QWidget* mainWindow, MessageSink& messages);

    // Dir1's path: the open folder, with native separators.
    QString path() const;

signals:
    void folderChosen(const QString& folder);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    void ShowStartFolder();
    bool showFolder(const QString& folder);
    void Drive1_Change();
    void Dir1_DblClick(QTreeWidgetItem* item);
    void cmdOK_Click(int index);
    void Form_Unload();

    // Opens folder in Dir1; on failure Dir1 keeps its folder and the platform's error is returned.
    std::optional<SystemError> setDirPath(const QString& folder);
    void reportError(const SystemError& error);
    int driveIndex(const QString& rootPath);

    QString m_startFolder;
    OwnerLock m_ownerLock;
    QPointer<QWidget> m_mainWindow;
    MessageSink& m_messages;
    QString m_dirPath; // '/' separators inside, native ones at the edges

    QComboBox* Drive1 = nullptr;
    QTreeWidget* Dir1 = nullptr;
    std::array<QPushButton*, 2> cmdOK{};
};
