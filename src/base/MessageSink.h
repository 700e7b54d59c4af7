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
    // Returns when the user has pressed OK.
    virtual void showMessage(const QString& text, const QString& title, MessageIcon icon) = 0;
};
