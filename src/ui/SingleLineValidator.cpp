#include "ui/SingleLineValidator.h"

#include <algorithm>

QValidator::State SingleLineValidator::validate(QString& input, int& pos) const
{
    const auto lineBreak = std::find_if(input.cbegin(), input.cend(), [](QChar c) { return c == u'\r' || c == u'\n'; });
    if (lineBreak != input.cend()) {
        const auto cut = static_cast<int>(lineBreak - input.cbegin());
        input.truncate(cut);
        pos = std::min(pos, cut);
    }
    return Acceptable;
}
