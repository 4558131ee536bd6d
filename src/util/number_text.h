#pragma once
// Numbers as the operator reads them on screen: digits in groups of three. Files and the copy
// journal keep plain digits; only what the window shows goes through here. Pure text work; any
// thread.

#include <QString>

// The group separator: a no-break space, so a number never breaks across lines.
inline constexpr char16_t kDigitGroupSeparator = u'\u00A0';

// "1234567" -> "1 234 567", "-1000" -> "-1 000"; numbers below 1000 stay as they are.
QString GroupDigits(qint64 value);
// The same for a text that is a whole number (an optional minus, then digits only); any other
// text, the empty one included, comes back unchanged.
QString GroupDigitsText(const QString& text);
