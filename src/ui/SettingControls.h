#pragma once
// Which controls of the settings dialog show a setting, by the NAME presets and policies know it by: what a policy
// greys. Widgets are found by these objectNames; a setting the dialog does not show has an empty list.

#include "config/SettingsState.h"

#include <QStringList>
#include <QStringView>

#include <optional>

class QWidget;

// Nothing for a NAME this list does not know: a setting added to the table must be added here too.
std::optional<QStringList> settingControlNames(QStringView name);
// Greys the controls among dialog's children of every setting a policy holds, with the tooltip that says so.
void lockPolicyControls(QWidget& dialog, const SettingsState& settings);
