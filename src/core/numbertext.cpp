#include "numbertext.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace mixgen {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

double leadingNumericValue(const QString& text) {
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && isBlank(text[i]))
        ++i;

    bool negative = false;
    if (i < size && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    std::string number;
    while (i < size && isDigit(text[i]))
        number += text[i++].toLatin1();
    const bool hasWhole = !number.empty();

    bool hasFraction = false;
    if (i < size && text[i] == u'.') {
        std::string fraction;
        for (++i; i < size && isDigit(text[i]); ++i)
            fraction += text[i].toLatin1();
        hasFraction = !fraction.empty();
        if (hasFraction)
            number += '.' + fraction;
    }
    if (!hasWhole && !hasFraction)
        return 0;

    // from_chars ignores the locale, so "." is the decimal point whatever the user's locale.
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range) {
        // Too many digits for a double: the largest one when the whole part is not zero,
        // else a fraction too small to tell from 0.
        const bool wholeIsZero = number.find_first_not_of('0') == number.find('.') ||
                                 number.find_first_not_of('0') == std::string::npos;
        value = wholeIsZero ? 0 : std::numeric_limits<double>::max();
    }
    if (value == 0)
        return 0.0; // no negative zero
    return negative ? -value : value;
}

double roundHalfEvenValue(double value) {
    if (!std::isfinite(value))
        return value;
    const double below = std::floor(value);
    const double rest = value - below;
    if (rest < 0.5)
        return below;
    if (rest > 0.5)
        return below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

int roundHalfEven(double value) {
    if (std::isnan(value))
        return 0;
    const double rounded = roundHalfEvenValue(value);
    if (rounded <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (rounded >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

QString numberToText(double value) {
    if (!std::isfinite(value) || value == 0)
        return QStringLiteral("0");

    // Fifteen significant digits, as a person reads the number (0.1 + 0.2 shows as "0.3"),
    // then laid out without an exponent.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, 14);
    const std::string_view scientific(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t e = scientific.find('e');
    std::string digits;
    for (char c : scientific.substr(0, e)) {
        if (c != '.')
            digits += c;
    }
    const int exponent = std::stoi(std::string(scientific.substr(e + 1)));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const int wholeDigits = exponent + 1;
    std::string text;
    if (wholeDigits <= 0)
        text = "0." + std::string(static_cast<size_t>(-wholeDigits), '0') + digits;
    else if (static_cast<size_t>(wholeDigits) >= digits.size())
        text = digits + std::string(static_cast<size_t>(wholeDigits) - digits.size(), '0');
    else
        text = digits.substr(0, static_cast<size_t>(wholeDigits)) + '.' +
               digits.substr(static_cast<size_t>(wholeDigits));
    if (value < 0)
        text.insert(text.begin(), '-');
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace mixgen
