#include "ui/SettingControls.h"

#include "config/Policies.h"
#include "config/Settings.h"
#include "config/SettingsTable.h"

#include <QMap>
#include <QWidget>

namespace {

// name0 … name(count-1): a control array as its widgets are named.
QStringList controlArray(const QString& name, int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names << name + QString::number(i);
    }
    return names;
}

} // namespace

std::optional<QStringList> settingControlNames(QStringView name)
{
    static const QMap<QString, QStringList> controls = {
        {QStringLiteral("SAVEFOLDER"), {QStringLiteral("lblFolder"), QStringLiteral("cmdFolderRef")}},
        {QStringLiteral("CRCTYPE"), controlArray(QStringLiteral("optCrcType"), 2)},
        {QStringLiteral("OVERWRITE"), controlArray(QStringLiteral("optOverWrite"), 2)},
        {QStringLiteral("STARTUPSIZE"), controlArray(QStringLiteral("optStartUpSize"), 2)},
        {QStringLiteral("AUTOSTART"), controlArray(QStringLiteral("optAutoStart"), 2)},
        {QStringLiteral("PROTOCOL"), controlArray(QStringLiteral("optProtocol"), 2)},
        {QStringLiteral("MAILADDRESS"), {QStringLiteral("txtMailAddress")}},
        {QStringLiteral("MAILSUB"), {QStringLiteral("txtMailSub")}},
        {QStringLiteral("FROMMAILADDRESS"), {QStringLiteral("txtFromMailAddress")}},
        {QStringLiteral("MAILSERVER"), {QStringLiteral("txtMailServer")}},
        {QStringLiteral("MAILUSER"), {QStringLiteral("txtMailUser")}},
        {QStringLiteral("FIELDSELECT"), controlArray(QStringLiteral("chkField"), Settings::FieldCount)},
        {QStringLiteral("LOCALPORT"), {QStringLiteral("txtLocalPort")}},
        {QStringLiteral("REMOTEHOST"), {QStringLiteral("txtRemoteHost")}},
        {QStringLiteral("REMOTEPORT"), {QStringLiteral("txtRemotePort")}},
        {QStringLiteral("ADDDATE"), controlArray(QStringLiteral("optAddDate"), 5)},
        {QStringLiteral("FIXFNAME"), {QStringLiteral("txtFixFname")}},
        {QStringLiteral("TIMEADJUST"), {QStringLiteral("chkTimeAdjust")}},
        {QStringLiteral("SENDMAIL"), {QStringLiteral("chkSendMail")}},
        // IT's alone: no control shows it.
        {QStringLiteral("STATUSFOLDER"), {}},
    };
    const auto it = controls.constFind(name.toString());
    return it == controls.constEnd() ? std::nullopt : std::optional<QStringList>(it.value());
}

void lockPolicyControls(QWidget& dialog, const SettingsState& settings)
{
    for (const SettingRow& row : settingsTable()) {
        if (!settings.isLocked(row.name)) {
            continue;
        }
        for (const QString& name : settingControlNames(row.name).value_or(QStringList())) {
            if (auto* control = dialog.findChild<QWidget*>(name)) {
                control->setEnabled(false);
                control->setToolTip(lockedByPolicyText());
            }
        }
    }
}
