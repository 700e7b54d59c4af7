# Preset settings as installer properties: each setting given on the command line in capitals (REMOTEHOST=...) goes
# into zelbo_udp.defaults.ini beside the program, one NAME=value a line under [ZELBO_UDP], which the program reads
# when a user has no settings file yet. Only the properties given are written; the file is the installer's, so an
# uninstall removes it. An upgrade with at least one preset on its command line writes the file from those alone;
# one with none writes again what the installed version was given, which each preset's component keeps as a
# registry value beside the other key paths (the old version is removed, with its file, before the new one installs).
#   python3 scripts/msi_presets.py wxs >presets.wxs        the components, for wixl
#   python3 scripts/msi_presets.py sql MSI >presets.sql    msibuild statements for the package wixl wrote: what wixl
#                                                          0.101 cannot say (component conditions, the IniFile table,
#                                                          searches and property actions), one a line
import subprocess, sys

# The settings table's names (the test msi_preset_names fails when they differ); this order is the defaults file's.
PRESETS = ["REMOTEHOST", "REMOTEPORT", "LOCALPORT", "SAVEFOLDER", "AUTOSTART", "FIXFNAME", "ADDDATE", "OVERWRITE",
           "CRCTYPE", "PROTOCOL", "STARTUPSIZE", "TIMEADJUST", "SENDMAIL", "MAILADDRESS", "MAILSUB",
           "FROMMAILADDRESS", "MAILSERVER", "MAILUSER", "FIELDSELECT", "STATUSFOLDER"]
# A fixed 8.3 name, which no generated one (NAME~N) can take.
DEFAULTS_FILE = "ZELBODEF.INI|zelbo_udp.defaults.ini"


def wxs():
    print('<?xml version="1.0" encoding="utf-8"?>')
    print('<?include product.wxi ?>')
    print('<?include scope.wxi ?>')
    print('<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">')
    print('  <Fragment>')
    print('    <DirectoryRef Id="INSTALLFOLDER">')
    for name in PRESETS:
        print(f'      <Component Id="Preset{name}" Guid="*" Win64="yes">')
        print(f'        <RegistryValue Root="$(var.RegistryRoot)"'
              f' Key="Software\\$(var.Manufacturer)\\$(var.ProductName)\\Defaults"')
        print(f'                       Name="{name}" Type="string" Value="[{name}]" KeyPath="yes"/>')
        print('      </Component>')
    print('    </DirectoryRef>')
    print('    <ComponentGroup Id="Presets">')
    for name in PRESETS:
        print(f'      <ComponentRef Id="Preset{name}"/>')
    print('    </ComponentGroup>')
    print('  </Fragment>')
    print('</Wix>')


def sql(package):
    def rows(table):
        text = subprocess.run(["msiinfo", "export", package, table], check=True, capture_output=True,
                              text=True).stdout
        return [line.split("\t") for line in text.replace("\r", "").split("\n")[3:] if line]

    properties = {row[0]: row[1] for row in rows("Property")}
    # The searches read back exactly what the components write.
    kept = {row[5][len("Preset"):]: row for row in rows("Registry") if row[5].startswith("Preset")}
    if sorted(kept) != sorted(PRESETS):
        sys.exit(f"windows-msi: the package's preset components are {sorted(kept)}")
    for value in properties.values():
        if "'" in value:
            sys.exit(f"windows-msi: a quote in {value}")

    print("CREATE TABLE `IniFile` (`IniFile` CHAR(72) NOT NULL, `FileName` CHAR(255) NOT NULL, `DirProperty` CHAR(72), "
          "`Section` CHAR(96) NOT NULL LOCALIZABLE, `Key` CHAR(128) NOT NULL LOCALIZABLE, "
          "`Value` CHAR(255) NOT NULL LOCALIZABLE, `Action` SHORT NOT NULL, `Component_` CHAR(72) NOT NULL "
          "PRIMARY KEY `IniFile`)")
    # Noted before AppSearch (50), while the properties still hold only what the command line gave.
    given = " OR ".join(PRESETS)
    print("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
          "VALUES ('NotePresetsGiven', 51, 'PRESETSGIVEN', '1')")
    for sequence in ("InstallUISequence", "InstallExecuteSequence"):
        print(f"INSERT INTO `{sequence}` (`Action`, `Condition`, `Sequence`) "
              f"VALUES ('NotePresetsGiven', '{given}', 48)")
    for name in PRESETS:
        _, root, key, value_name, _, component = kept[name]
        # Type 18: the raw value, from the 64-bit view where the 64-bit component wrote it.
        print("INSERT INTO `RegLocator` (`Signature_`, `Root`, `Key`, `Name`, `Type`) "
              f"VALUES ('Kept{name}', {root}, '{key}', '{value_name}', 18)")
        print(f"INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('KEPT{name}', 'Kept{name}')")
        print("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
              f"VALUES ('Keep{name}', 51, '{name}', '[KEPT{name}]')")
        for sequence in ("InstallUISequence", "InstallExecuteSequence"):
            print(f"INSERT INTO `{sequence}` (`Action`, `Condition`, `Sequence`) "
                  f"VALUES ('Keep{name}', 'NOT PRESETSGIVEN', 52)")
        print(f"UPDATE `Component` SET `Condition` = '{name}' WHERE `Component` = '{component}'")
        print("INSERT INTO `IniFile` (`IniFile`, `FileName`, `DirProperty`, `Section`, `Key`, `Value`, `Action`, "
              f"`Component_`) VALUES ('Ini{name}', '{DEFAULTS_FILE}', 'INSTALLFOLDER', '{properties['ProductName']}', "
              f"'{name}', '[{name}]', 0, '{component}')")
    # The standard places; wixl lists neither action, as it writes no IniFile table.
    print("INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveIniValues', 3100)")
    print("INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteIniValues', 5100)")
    # Emptied by RemoveIniValues, but a file left with its section line would still be there.
    print("INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) "
          f"VALUES ('RemoveDefaultsFile', 'MainExecutable', '{DEFAULTS_FILE}', 'INSTALLFOLDER', 2)")
    # Secure, so the values reach the installing side also where that runs elevated or managed.
    secure = ";".join([properties["SecureCustomProperties"]] + PRESETS)
    print(f"UPDATE `Property` SET `Value` = '{secure}' WHERE `Property` = 'SecureCustomProperties'")


if sys.argv[1:2] == ["wxs"]:
    wxs()
elif sys.argv[1:2] == ["sql"] and len(sys.argv) == 3:
    sql(sys.argv[2])
else:
    sys.exit("usage: msi_presets.py wxs | msi_presets.py sql MSI")
