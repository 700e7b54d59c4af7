#include "ui/UiFont.h"

#include <QApplication>
#include <QFont>
#include <QStringList>
#include <QToolTip>

QFont JapaneseUiFont(const QFont& base)
{
    // The design font is a Japanese Windows face; IPAPGothic has nearly its metrics, so the four-line note still
    // fits. Proportional faces only: a fixed-pitch Japanese face squeezes Latin letters to half width.
    QFont font = base;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("IPAexGothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                      QStringLiteral("Sans Serif")});
    return font;
}

void ApplyJapaneseUiFont()
{
    const QFont font = JapaneseUiFont(QApplication::font());
    // Without a class name this also drops the platform's per-class faces (message boxes among them).
    QApplication::setFont(font);
    QToolTip::setFont(font);
}
