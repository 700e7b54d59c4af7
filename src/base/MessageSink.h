#pragma once
// Every message box of the program goes through this interface (text, title, icon, OK only), so the libraries
// can report without widgets and tests can record boxes instead of blocking on them.

#include <QString>

enum class MessageIcon
{
    None,
    Critical,
};

class MessageSink
{
public:
    virtual ~MessageSink() = default;
    // Returns when the user has pressed OK. For boxes before any run (start-up, dialogs).
    virtual void showMessage(const QString& text, const QString& title, MessageIcon icon) = 0;
    // Returns at once and leaves the box open, for boxes during a run: the run answers the terminal and goes on
    // polling whether or not anybody is at the PC. A box of the same title and icon still open is replaced, so a day
    // of failures leaves one box, the latest. A sink whose boxes never block need not tell the two apart.
    virtual void showMessageNoWait(const QString& text, const QString& title, MessageIcon icon)
    {
        showMessage(text, title, icon);
    }
};
