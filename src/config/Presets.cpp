#include "config/Presets.h"

#include "base/NameValueFile.h"
#include "config/NamedValues.h"

PresetReading applyPresets(const QByteArray& bytes, const Settings& base)
{
    const NamedValuesResult result = applyNamedValues(presetValues(bytes), base);
    PresetReading reading{result.settings, int(result.taken.size()), {}};
    for (const RefusedValue& refused : result.refused) {
        reading.notes << QStringLiteral("初期設定 ") + refused.name +
                             QStringLiteral(" は使用できないため既定値にしました : ") + refused.reason;
    }
    return reading;
}

QMap<QString, QString> presetValues(const QByteArray& bytes)
{
    return readNameValueFile(bytes);
}
