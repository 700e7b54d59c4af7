#include "config/SettingsTable.h"

#include "config/Presets.h"
#include "config/RefusalRules.h"
#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <algorithm>

class TestSettingsTable : public QObject
{
    Q_OBJECT

private slots:
    // What a new row can get wrong: a NAME taken twice or one no installer passes on, a place of the settings line
    // taken twice or skipped, a default its own rules refuse (every start would reset the file, or the preset be
    // noted).
    void rowsHoldTogether()
    {
        // Windows Installer takes only public properties, all in capitals, from the command line.
        const QRegularExpression publicProperty(QStringLiteral("^[A-Z][A-Z0-9]*$"));
        QSet<QString> names;
        QList<int> places;
        QByteArray presets;
        const Settings defaults = SettingsFile::defaults(QStringLiteral("C:\\Users\\op\\Documents"));
        for (const SettingRow& row : settingsTable()) {
            const QString name = row.name.toString();
            QVERIFY2(publicProperty.match(name).hasMatch(), qPrintable(name));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
            for (int place = row.position; row.position != SettingRow::NoPosition && place < row.position + row.width();
                 ++place) {
                places << place;
            }
            presets += (name + u'=' + presetText(row, defaults) + QStringLiteral("\r\n")).toUtf8();
        }
        std::sort(places.begin(), places.end());
        for (int i = 0; i < places.size(); ++i) {
            QCOMPARE(places[i], i + 1);
        }

        QVERIFY(settingsInRange(defaults));
        QCOMPARE(firstBadFieldSelect(defaults), -1);
        QCOMPARE(settingsRefusal(defaults), QString());
        Settings back;
        QCOMPARE(SettingsFile::parse(SettingsFile::formatFile(defaults), back), ReadResult::Ok);
        QVERIFY(back == defaults);

        // Every default, given as a preset over other values, is taken and lands where it came from.
        Settings other = defaults;
        other.SaveFolder = QStringLiteral("D:\\other");
        other.LocalPort = QStringLiteral("7000");
        other.AddDate = 3;
        other.FieldSelect.fill(0);
        const PresetReading reading = applyPresets(presets, other);
        QCOMPARE(reading.notes, QStringList());
        QCOMPARE(reading.applied, int(settingsTable().size()));
        QVERIFY(reading.settings == defaults);
    }
};

QTEST_GUILESS_MAIN(TestSettingsTable)
#include "TestSettingsTable.moc"
