// textToNumber on any stored or typed text (GBK bytes as they come from a table, or UTF-8), and
// numberToText on what it reads.
#include "fuzz/FuzzTarget.h"
#include "text/Gbk.h"
#include "text/Numbers.h"

#include <QString>

#include <cfloat>
#include <cmath>

using namespace quorvel;

namespace {

void check(const QString& text) {
    const double value = textToNumber(text);
    // Only digits make a number: never NaN (an overflow may give an infinity).
    FUZZ_CHECK(!std::isnan(value));
    // The number is the leading one: what follows it, or spaces before it, change nothing.
    FUZZ_CHECK(textToNumber(text + QStringLiteral("x9")) == value);
    FUZZ_CHECK(textToNumber(QStringLiteral(" \t") + text) == value);
    if (!std::isfinite(value))
        return;
    // Written with 13 significant digits, it reads back to within their precision.
    const QString written = numberToText(value);
    const double back = textToNumber(written);
    FUZZ_CHECK(std::fabs(back - value) <= std::fabs(value) * 1e-12 || std::fabs(value) < DBL_MIN);
    FUZZ_CHECK(!written.contains(u','));
    // Sums of what the operators type stay finite or are the plain sum.
    const double sum = addAmounts(value, back);
    FUZZ_CHECK(!std::isnan(sum) || std::isnan(value + back));
}

} // namespace

QUORVEL_FUZZ_TARGET(text_to_number) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    check(fromGbk(bytes));
    check(QString::fromUtf8(bytes));
    return 0;
}
