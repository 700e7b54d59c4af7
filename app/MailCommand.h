#pragma once
// The mail sign-in as the program wires it: the settings dialog's tools, and `--store-mail-password`, with which IT
// stores the password for a user's settings from a script (the password on standard input, never on the command line
// or in a file of ours).

#include "config/Policies.h"
#include "ui/MailSignIn.h"

class MailPasswordStore;
class MailSender;
class QIODevice;
class QTextStream;
struct ProgramPaths;

inline constexpr char StoreMailPasswordOption[] = "--store-mail-password";
// Blanks at either end of the line belong to the password; without it such a line is refused.
inline constexpr char KeepBlanksOption[] = "--keep-blanks";

// The dialog's password store and test send through sender.
MailSignIn::Tools mailSignInTools(MailPasswordStore& store, const MailSender& sender);

// Reads one line from input and stores it as the password of the mail server and user of the settings at paths (of
// its presets before the first start), with IT's policies over them as the program has them. Says what it did on
// report; returns the process's exit code: 0 stored, 2 no server or user, no password or a refused line, 1 refused by
// the store.
int storeMailPassword(const ProgramPaths& paths, const PolicyValues& policies, MailPasswordStore& store,
                      QIODevice& input, QTextStream& report, bool keepBlanks);
