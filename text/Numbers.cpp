#include "text/Numbers.h"

#include "text/Gbk.h"

#include <QByteArray>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace quorvel {

namespace {

QByteArray halfWidthGbk(const QString& text) {
    const QByteArray gbk = toGbk(text);
    QByteArray out;
    out.reserve(gbk.size());
    for (qsizetype i = 0; i < gbk.size(); ++i) {
        const auto b = static_cast<unsigned char>(gbk[i]);
        if (b >= 0x81 && b <= 0xFE && i + 1 < gbk.size()) {
            const auto t = static_cast<unsigned char>(gbk[i + 1]);
            if (b == 0xA3 && t >= 0xA1 && t <= 0xFE)
                out.append(static_cast<char>(t - 0x80));
            else if (b == 0xA1 && t == 0xA1)
                out.append(' ');
            else {
                out.append(static_cast<char>(b));
                out.append(static_cast<char>(t));
            }
            ++i;
        } else {
            out.append(static_cast<char>(b));
        }
    }
    return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

double cLocaleStrtod(const QByteArray& number) {
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", nullptr);
    return strtod_l(number.constData(), nullptr, cLocale);
}

// Decimals of the shortest text that numberToText writes for value; -1 for exponent forms.
int decimalsOf(double value) {
    const QString text = numberToText(value);
    if (text.contains(QLatin1Char('e')) || text.contains(QLatin1Char('n')) || text.contains(QLatin1Char('i')))
        return -1;
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(text.size() - point - 1);
}

} // namespace

double textToNumber(const QString& text) {
    const QByteArray s = halfWidthGbk(text);
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && isSpace(s[i]))
        ++i;
    const qsizetype start = i;
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < n && s[i] == '.') {
        qsizetype j = i + 1;
        qsizetype fraction = 0;
        while (j < n && isDigit(s[j])) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0)
        return 0.0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < n && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < n && isDigit(s[j])) {
            while (j < n && isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return cLocaleStrtod(s.mid(start, i - start));
}

QString numberToText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    // The C locale of the process may use a decimal comma; the stored form always has a point.
    for (char* p = buffer; *p; ++p)
        if (*p == ',')
            *p = '.';
    return QString::fromLatin1(buffer);
}

double addAmounts(double a, double b) {
    const double sum = a + b;
    const int da = decimalsOf(a);
    const int db = decimalsOf(b);
    if (da < 0 || db < 0 || !std::isfinite(sum))
        return sum;
    const int decimals = std::max(da, db);
    if (decimals > 12)
        return sum;
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(sum * scale) / scale;
    if (!std::isfinite(rounded) || std::fabs(sum) * scale > 1e15)
        return sum;
    return rounded == 0.0 ? 0.0 : rounded;
}

QString withoutSpaces(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QChar(0x3000))
            out.append(c);
    return out;
}

bool isBlank(const QString& text) {
    return withoutSpaces(text).isEmpty();
}

} // namespace quorvel
