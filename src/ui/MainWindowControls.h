#pragma once
// The main window's controls, each where the window's layout in twips puts it (divided by 15 for pixels), with its
// fixed colours and frames, and its member name as objectName for tests to find. It builds and shapes widgets only: the
// window connects them and fills them in.

#include <QSize>

#include <array>

class QFont;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QWidget;

class MainWindowControls
{
public:
    // The window's fixed client area.
    static QSize clientSize();

    // Creates every control on window in the windows' face: captions, status box, bar, note, then the buttons and
    // lights. That order is also the focus order.
    void build(QWidget& window);
    // Where the face the window was laid out for is missing, a fallback with a taller line would cut off the note's
    // last line: the note's size is stepped down towards the windows' own until its text fits.
    void fitNoteFont() const;

    QLabel* Label2 = nullptr;
    QLabel* lblFile = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblFolder = nullptr;
    QLabel* Label4 = nullptr;
    QPlainTextEdit* lblStatus = nullptr;
    QProgressBar* Progbar = nullptr;
    QLabel* lblNote = nullptr;
    std::array<QPushButton*, 2> cmdComm{};
    std::array<QFrame*, 2> Status{};
    QPushButton* cmdSetting = nullptr;
    QPushButton* cmdInfo = nullptr;

private:
    void buildCaptions(QWidget& window);
    void buildStatusBox(QWidget& window);
    void buildProgressBar(QWidget& window);
    void buildNote(QWidget& window, const QFont& font);
    void buildCommButtons(QWidget& window);
    void buildLights(QWidget& window);
    void buildSettingButtons(QWidget& window);
};
