#pragma once
// Settings given by NAME from outside the dialog (IT's presets and policies), each put over a record only where the
// settings dialog would accept it. Qt Core only.

#include "config/Settings.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

struct RefusedValue
{
    QString name; // as given, in capitals
    QString reason; // the dialog's refusal on one line, "値 …" for a value the setting cannot hold, or "不明な項目"
};

struct NamedValuesResult
{
    Settings settings;
    QStringList taken; // the NAMEs whose value is in settings, in table order
    QList<RefusedValue> refused;
};

// Each given value over base, in table order (SENDMAIL after the mail texts). A value is refused when the setting
// cannot hold it, when a rule of its own text fails (sign-in data, a double quote, code page 932, the file name), when
// it leaves a NotEmpty setting empty, or when it turns mail on without what mail needs or empties what mail on needs.
// Only what the value itself breaks counts: a fault base already had (an old file's sign-in data) refuses nothing.
// With the Variables rule %DOCUMENTS% is the user's Documents and any other %NAME% the user's environment variable.
NamedValuesResult applyNamedValues(const QMap<QString, QString>& given, const Settings& base);
