-- Run by scripts/windows-msi.sh on the package wixl wrote, one statement a line: what wixl 0.101 drops or cannot
-- say. The package codepage is 932 by then, so the Japanese text is stored as Windows reads it.
UPDATE `LaunchCondition` SET `Description` = '同じか新しいバージョンがすでにインストールされています。古いバージョンに戻すときは、先にアンインストールしてください。' WHERE `Condition` = 'NOT SAMEORNEWERVERSIONFOUND'
UPDATE `Component` SET `Condition` = 'STARTATLOGON = "1"' WHERE `Component` = 'StartupShortcut'
