#pragma once
// While it exists, a fatal error reaches the user as a message box as well as on stderr: a GUI program on Windows
// has no console. It takes Qt's fatal messages (qFatal) before Qt ends the program, and what main() reports.

class MessageSink;
class QString;

class FatalErrorBox
{
public:
    explicit FatalErrorBox(MessageSink& messages);
    ~FatalErrorBox();
    FatalErrorBox(const FatalErrorBox&) = delete;
    FatalErrorBox& operator=(const FatalErrorBox&) = delete;

    // An error that ends the program: stderr, then the box.
    void report(const QString& text);
};
