#include "config/Policies.h"

#include "config/NamedValues.h"

namespace {

const QString LockSettingsName = QStringLiteral("LOCKSETTINGS");

} // namespace

PolicyOutcome applyPolicies(const PolicyValues& policies, const Settings& user)
{
    PolicyValues values = policies;
    values.remove(LockSettingsName);
    const NamedValuesResult result = applyNamedValues(values, user);
    PolicyOutcome outcome{result.settings, result.taken, {}};
    for (const RefusedValue& refused : result.refused) {
        outcome.notes << QStringLiteral("管理者の設定 ") + refused.name +
                             QStringLiteral(" は使用できないためﾕｰｻﾞｰの設定値にしました : ") + refused.reason;
    }
    return outcome;
}

bool settingsDialogLocked(const PolicyValues& policies)
{
    return policies.value(LockSettingsName).trimmed() == QStringLiteral("1");
}

QString lockedByPolicyText()
{
    return QStringLiteral("管理者により設定されています");
}

QString policiesUnreadableNote(const QString& where)
{
    return QStringLiteral("管理者の設定を読み込めません : ") + where;
}
