#include "config/SettingsState.h"

#include "config/SettingsTable.h"

void SettingsState::setUser(const Settings& user)
{
    m_user = user;
    refresh();
}

void SettingsState::setPolicies(const PolicyValues& policies)
{
    m_policies = policies;
    refresh();
}

Settings SettingsState::withLockedValues(Settings edit) const
{
    for (const SettingRow& row : settingsTable()) {
        if (isLocked(row.name)) {
            (void)setFromPresetText(row, edit, presetText(row, effective()));
        }
    }
    return edit;
}

void SettingsState::refresh()
{
    m_outcome = applyPolicies(m_policies, m_user);
}
