-- Run by windows-msi.sh after tables.sql, for the per-user package only.
UPDATE `LaunchCondition` SET `Description` = 'このパッケージはユーザーごとのインストール用です。全ユーザー向けには zelbo_udp-[ProductVersion]-win64-machine.msi を使ってください。' WHERE `Condition` = 'Installed OR (NOT (ProgramMenuFolder ~<< CommonAppDataFolder) AND UserSID <> "S-1-5-18")'
-- Programs under the local application data: created when missing, so removed when it is left empty.
INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `DirProperty`, `InstallMode`) VALUES ('RemoveUserProgramsFolder', 'MainExecutable', 'UserProgramsFolder', 2)
