#pragma once
// A one-line box keeps what comes before the first line break, as a pasted spreadsheet cell ends in one; a break
// would otherwise travel into the host name, the mail headers or the upload file name. Qt only.

#include <QValidator>

class SingleLineValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};
