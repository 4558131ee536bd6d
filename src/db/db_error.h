#pragma once
// A failed ODBC call: the message holds every diagnostic record of the driver (with SQLSTATE
// and native code), so the operator sees what the server said.

#include <QString>
#include <QStringList>

#include "util/error.h"

class TDbError : public TError {
public:
    TDbError(const QString& message, const QString& sql_state, const QStringList& diagnostics)
        : TError(message), sql_state_(sql_state), diagnostics_(diagnostics) {}

    // SQLSTATE of the first diagnostic record; empty when the failure came from our side.
    const QString& SqlState() const { return sql_state_; }
    // One entry per diagnostic record: "[SQLSTATE] (native) text".
    const QStringList& Diagnostics() const { return diagnostics_; }

private:
    QString sql_state_;
    QStringList diagnostics_;
};
