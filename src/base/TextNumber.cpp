#include "base/TextNumber.h"

#include <QString>

#include <cmath>

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    QString number;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        number.append(text[i]);
        ++i;
    }
    bool digits = false;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        number.append(text[i]);
        digits = true;
        ++i;
    }
    if (i < text.size() && text[i] == u'.') {
        number.append(u'.');
        ++i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
            number.append(text[i]);
            digits = true;
            ++i;
        }
    }
    if (!digits) {
        return 0.0;
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    // Too many digits overflow to infinity with ok false: the number is too large, not absent.
    if (!ok && std::isinf(value)) {
        return value;
    }
    return ok ? value : 0.0;
}
