#pragma once
// Number texts of the member table: how typed and stored texts become numbers and back.
#include <QString>

namespace quorvel {

// Comparisons of computed amounts use this tolerance.
inline constexpr double kTolerance = 0.0000001;

// Full-width GBK forms (A3A1..A3FE) and the full-width space become their one-byte forms,
// then the leading decimal number is read; no number gives 0.
double textToNumber(const QString& text);

// "%.13g": at most 13 significant digits, no trailing zeros.
QString numberToText(double value);

// a + b, rounded to the decimals its two operands were written with, so that money sums
// and differences do not keep binary noise (100.1 - 100 is 0.1, not 0.09999999999999).
double addAmounts(double a, double b);

// Blank: nothing left once every half-width and full-width space is removed.
bool isBlank(const QString& text);

// Removes every half-width and full-width space.
QString withoutSpaces(const QString& text);

// Flags are stored as "真"/"假"; only the exact text "真" is true.
inline const QString kTrueText = QStringLiteral("真");
inline const QString kFalseText = QStringLiteral("假");
inline bool flagFromText(const QString& text) { return text == kTrueText; }
inline QString flagText(bool value) { return value ? kTrueText : kFalseText; }

} // namespace quorvel
