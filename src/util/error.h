#pragma once
// Errors travel as exceptions carrying a message text. TError is the base of every error the
// engine raises; TDbError (db/db_error.h) adds the driver's diagnostics.

#include <QString>
#include <stdexcept>

class TError : public std::runtime_error {
public:
    explicit TError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}

    // The message in the interface's language, as shown to the operator.
    const QString& Message() const noexcept { return message_; }

private:
    QString message_;
};

// A value that cannot be converted (a NUMBER with a fraction bound for an integer column, a
// checkpoint line that is not a number, ...).
class TConvertError : public TError {
public:
    using TError::TError;
};

// A file that cannot be read or written.
class TFileError : public TError {
public:
    using TError::TError;
};
