-- Run by windows-msi.sh on the package wixl wrote, one statement a line: what wixl 0.101 drops or cannot
-- say. The package codepage is 932 by then, so the Japanese text is stored as Windows reads it.
UPDATE `LaunchCondition` SET `Description` = '同じか新しいバージョンがすでにインストールされています。古いバージョンに戻すときは、先にアンインストールしてください。' WHERE `Condition` = 'NOT SAMEORNEWERVERSIONFOUND'
UPDATE `Component` SET `Condition` = 'STARTATLOGON = "1"' WHERE `Component` = 'StartupShortcut'
UPDATE `LaunchCondition` SET `Description` = 'このプログラムには Windows 10 バージョン 1809 (ビルド 17763) 以降が必要です。' WHERE `Condition` = 'Installed OR CURRENTBUILDNUMBER >= 17763'
-- The upgrade properties wixl lists, and the Startup choice, which must reach the installing side as typed.
UPDATE `Property` SET `Value` = 'OLDERVERSIONFOUND;SAMEORNEWERVERSIONFOUND;STARTATLOGON' WHERE `Property` = 'SecureCustomProperties'
