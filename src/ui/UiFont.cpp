#include "ui/UiFont.h"

#include <QApplication>
#include <QFont>
#include <QStringList>
#include <QToolTip>

namespace {

// The size the windows were laid out for, whatever the platform's own default.
constexpr int UiPointSize = 9;

} // namespace

QFont japaneseUiFont(const QFont& base)
{
    // The face the windows were laid out for first, then the Japanese UI faces Windows installs where it is missing,
    // then Linux faces of nearly its metrics. Proportional faces only: a fixed-pitch Japanese face squeezes Latin
    // letters to half width.
    QFont font = base;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("MS UI Gothic"),
                      QStringLiteral("Meiryo UI"), QStringLiteral("Yu Gothic UI"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAexGothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                      QStringLiteral("Sans Serif")});
    font.setPointSize(UiPointSize);
    return font;
}

void applyJapaneseUiFont()
{
    const QFont font = japaneseUiFont(QApplication::font());
    // Without a class name this also drops the platform's per-class faces (message boxes among them).
    QApplication::setFont(font);
    QToolTip::setFont(font);
}
