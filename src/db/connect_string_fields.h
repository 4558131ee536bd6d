#pragma once
// The way back from a connection string to the fields of the connection-string dialog, so that
// the dialog opens on the provider and values of the string a panel holds. Pure text work;
// user-interface thread.

#include <QString>

#include "db/connect_string_builder.h"

// Fills fields from a string of one of the three forms the dialog builds (also typed by hand,
// in any letter case of the keys): the provider, and each value the string holds. A value the
// string does not hold keeps what fields had, except the PostgreSQL password, which the
// dialog leaves out when it is empty. Returns false, leaving fields alone, for a text that
// names no provider the dialog knows or that cannot be read as a connection string.
bool ReadConnectStringFields(const QString& text, TConnectStringFields& fields);
