#pragma once
// The version box: title, version and company from the application's own metadata, the icon and a picture from
// the program's resources. Depends on nothing but Qt Widgets.

#include "ui/OwnerLock.h"

#include <QDialog>

#include <array>

class QFrame;
class QLabel;

class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget* mainWindow);

    // Builds a new box, loads it and shows it without waiting; it deletes itself when closed.
    static frmAbout* open(QWidget* mainWindow);

private:
    void buildControls();
    void Form_Load();
    void cmdOK_Click();
    void Form_Unload();

    OwnerLock m_ownerLock;

    // The texts Form_Load fills and the separator, a control array; icon, picture and OK live only in the layout.
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCompany = nullptr;
    std::array<QFrame*, 2> Line1{};
};
