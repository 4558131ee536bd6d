#pragma once
// Numbers that the Oracle source hands over as text. Oracle writes a number as text by the
// session's settings: the decimal character may be a comma, the zero before it is left out
// (".5", "-,01"), and past 40 characters it switches to the scientific form ("1.5E+125").
// Pure functions; any thread.

#include <QString>

// The number as plain decimal text: an optional "-", the integer digits without leading zeros
// ("0" when there are none), and, when the value has a fraction, "." and its digits without
// trailing zeros; an exponent is worked into the digits. Blanks around the text are dropped.
// Any other text (group separators, two decimal characters, letters) raises TConvertError
// naming `what` (e.g. the column the value belongs to).
QString OraNumberText(const QString& text, const QString& what);
