#pragma once
// The version box: title, version and company from the application's own metadata, the icon and a picture from
// the program's resources, and a button that opens the third-party licences. Depends on nothing but Qt Widgets.

#include "ui/OwnerLock.h"

#include <QDialog>

#include <array>
#include <functional>

class QFrame;
class QLabel;

class frmAbout : public QDialog
{
    Q_OBJECT

public:
    // openNotices shows the licences of the libraries shipped with the program; without it the button is disabled.
    explicit frmAbout(QWidget* mainWindow, std::function<void()> openNotices = {});

    // Builds a new box, loads it and shows it without waiting; it deletes itself when closed.
    static frmAbout* open(QWidget* mainWindow, std::function<void()> openNotices = {});

private:
    void buildControls();
    void Form_Load();
    void cmdOK_Click();
    void Form_Unload();

    OwnerLock m_ownerLock;
    std::function<void()> m_openNotices;

    // The texts Form_Load fills and the separator, a control array; icon, picture and buttons live only in the layout.
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCompany = nullptr;
    std::array<QFrame*, 2> Line1{};
};
