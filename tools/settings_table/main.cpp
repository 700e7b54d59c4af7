// Prints every setting of the settings table, one tab-separated line each after a header line, in UTF-8: its NAME, its
// place in the settings line (first-last for flags, empty for none), kind, range, default as a preset gives it, and
// caption, and 1 where %NAME% in a given value is expanded. Scripts read it by the header's column names.

#include "config/SettingsTable.h"

#include <QStringList>
#include <QTextStream>

#include <cstdio>

namespace {

QString kindName(SettingKind kind)
{
    switch (kind) {
    case SettingKind::Text:
        return QStringLiteral("text");
    case SettingKind::Number:
        return QStringLiteral("number");
    case SettingKind::Flags20:
        return QStringLiteral("flags20");
    }
    return QStringLiteral("unknown");
}

QString places(const SettingRow& row)
{
    if (row.position == SettingRow::NoPosition) {
        return QString();
    }
    if (row.width() == 1) {
        return QString::number(row.position);
    }
    return QStringLiteral("%1-%2").arg(row.position).arg(row.position + row.width() - 1);
}

} // namespace

int main()
{
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    out << QStringLiteral("name\tposition\tkind\tlow\thigh\tdefault\tcaption\tvariables\n");
    // The save folder's default, the user's Documents, as a preset names it.
    const Settings defaults = defaultSettings(QStringLiteral("%DOCUMENTS%"));
    for (const SettingRow& row : settingsTable()) {
        const QStringList columns = {
            row.name.toString(),
            places(row),
            kindName(row.kind()),
            row.range ? QString::number(row.range->low) : QString(),
            row.range ? QString::number(row.range->high) : QString(),
            presetText(row, defaults),
            row.caption.toString(),
            row.rules.testFlag(Rule::Variables) ? QStringLiteral("1") : QStringLiteral("0"),
        };
        out << columns.join(u'\t') << u'\n';
    }
    out.flush();
    return out.status() == QTextStream::Ok && std::fflush(stdout) == 0 ? 0 : 1;
}
