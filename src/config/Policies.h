#pragma once
// IT's policies over the user's settings: values named as the presets name them (REMOTEHOST, SAVEFOLDER…), each put
// through the settings dialog's refusal rules. A value taken wins over the user's and locks its control; a value
// refused leaves the user's and is named. LOCKSETTINGS=1 closes "設定" altogether. Pure: the system's reading is
// base's readPolicyValues. Qt Core only.

#include "config/Settings.h"

#include <QMap>
#include <QString>
#include <QStringList>

// NAME in capitals to value, as the registry or the policy file gives it.
using PolicyValues = QMap<QString, QString>;

struct PolicyOutcome
{
    Settings effective; // the user's settings with every policy value taken over them
    QStringList locked; // the NAMEs of the values taken, in table order
    QStringList notes;  // one status line for each value not taken, naming it and why
};

PolicyOutcome applyPolicies(const PolicyValues& policies, const Settings& user);
// LOCKSETTINGS, a switch of the policies alone: only exactly 1 acts.
bool settingsDialogLocked(const PolicyValues& policies);
// The tooltip of every control a policy locks.
QString lockedByPolicyText();
// The status line of policies that could not be read; where names the place and the system's reason.
QString policiesUnreadableNote(const QString& where);
