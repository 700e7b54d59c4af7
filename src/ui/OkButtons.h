#pragma once
// The OK and ｷｬﾝｾﾙ pair of the settings dialog and the folder picker: the control array cmdOK, indexes 0 and 1.

#include <array>
#include <functional>

class QPushButton;
class QWidget;

// Buttons named cmdOK0 and cmdOK1 in window; a click calls click with the index.
std::array<QPushButton*, 2> makeOkButtons(QWidget* window, const std::function<void(int index)>& click);
