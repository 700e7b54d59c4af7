#pragma once
// The program's icon for its windows, holding every size it is drawn in, so a title bar or task bar shows a drawn
// picture instead of one scaled from another size.

#include <QIcon>

QIcon applicationIcon();
