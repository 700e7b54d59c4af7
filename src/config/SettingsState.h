#pragma once
// The program's live settings and where they come from: the user's own (the settings file, which only the dialog
// writes) with IT's policies over them. Everything that runs reads effective(), whose address never changes; the
// dialog edits the user's own and never sees a policy value in them, so that a policy removed gives the user's value
// back. Qt Core only.

#include "config/Policies.h"
#include "config/Settings.h"

#include <QStringList>
#include <QStringView>

class SettingsState
{
public:
    const Settings& effective() const { return m_outcome.effective; }
    const Settings& user() const { return m_user; }
    const PolicyValues& policies() const { return m_policies; }
    // Whether a policy value holds the setting of that NAME.
    bool isLocked(QStringView name) const { return m_outcome.locked.contains(name); }
    // The policy values not taken, one status line each.
    const QStringList& policyNotes() const { return m_outcome.notes; }
    // LOCKSETTINGS=1: "設定" is closed.
    bool dialogLocked() const { return settingsDialogLocked(m_policies); }

    void setUser(const Settings& user);
    void setPolicies(const PolicyValues& policies);

    // edit as the dialog shows it: the locked settings at their policy values, which the user cannot change.
    Settings withLockedValues(Settings edit) const;

private:
    void refresh();

    Settings m_user;
    PolicyValues m_policies;
    PolicyOutcome m_outcome;
};
