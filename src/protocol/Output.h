#pragma once
// The end of a cycle: writing the upload file and mailing it. Implemented with output/ by the application.

#include "protocol/RunFiles.h"

#include <QString>

#include <optional>

class Output
{
public:
    virtual ~Output() = default;
    // Builds the upload file at uploadPath from the staging file; false after an error it has already shown.
    virtual bool WriteUploadFile(const QString& uploadPath) = 0;
    // True when the server accepted the mail; otherwise mailError holds "number description+source".
    virtual bool SendByMail(const QString& uploadPath, QString& mailError) = 0;
    // After a failed SendByMail, before "CAN": takes back the lines WriteUploadFile appended, as the terminal keeps its
    // data and sends the same records again. A replaced file stays: the repeat replaces it alike.
    virtual std::optional<SystemError> UndoUploadFile() = 0;
};
