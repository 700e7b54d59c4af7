#include "ui/OkButtons.h"

#include <QPushButton>

std::array<QPushButton*, 2> makeOkButtons(QWidget* window, const std::function<void(int index)>& click)
{
    const std::array<QString, 2> captions = {QStringLiteral("OK"), QStringLiteral("ｷｬﾝｾﾙ")};
    std::array<QPushButton*, 2> buttons{};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QPushButton(captions[static_cast<std::size_t>(i)], window);
        button->setObjectName(QStringLiteral("cmdOK%1").arg(i));
        // Neither button is default or cancel: Enter and Esc must not close the window, and a plain window has
        // neither. Auto-default only lets Enter press the button that has the focus, as Windows buttons do.
        button->setAutoDefault(true);
        QObject::connect(button, &QPushButton::clicked, window, [click, i] { click(i); });
        buttons[static_cast<std::size_t>(i)] = button;
    }
    return buttons;
}
