#pragma once

#include <QString>

namespace mixgen {

// The leading numeric value of a text: blanks skipped, an optional sign, digits and an
// optional fraction with "." as decimal point. A text that does not start with a number has
// the value 0 ("abc" -> 0, "12abc" -> 12, " -5" -> -5, "0.5" -> 0.5, "1e9" -> 1).
double leadingNumericValue(const QString& text);

// The nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4), clamped to
// the 32-bit signed range.
int roundHalfEven(double value);

// The same rounding without the clamp: the nearest whole number, a half going to the even
// neighbour; infinities and NaN come back unchanged.
double roundHalfEvenValue(double value);

// A number written back as text the way the request fields show it: no leading zeros, a
// fraction keeps its decimals, no exponent ("7", "2.5", "100000").
QString numberToText(double value);

} // namespace mixgen
