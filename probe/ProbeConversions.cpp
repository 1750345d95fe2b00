#include "ProbeConversions.h"

#include <limits>

namespace regprobe {

qulonglong LeadingDecimal(const QString& text, bool* hasDigits) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    qulonglong value = 0;
    const qsizetype first = i;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        const qulonglong digit = text[i].unicode() - u'0';
        // Saturate instead of wrapping round: a huge number must stay too large, not become small.
        value = value > (std::numeric_limits<qulonglong>::max() - digit) / 10
                    ? std::numeric_limits<qulonglong>::max()
                    : value * 10 + digit;
    }
    if (hasDigits)
        *hasDigits = i > first;
    return value;
}

QString DecimalToHexText(const QString& text) {
    return QString::number(LeadingDecimal(text), 16).toUpper();
}

QString HexTextToDecimal(const QString& text) {
    const QString upper = text.trimmed().toUpper();
    QString digits;
    for (const QChar c : upper) {
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
            (c >= QLatin1Char('A') && c <= QLatin1Char('F')))
            digits += c;
    }
    return QString::number(digits.isEmpty() ? 0 : digits.toULongLong(nullptr, 16));
}

QString HexTextToBinary(const QString& text) {
    const QString upper = text.trimmed().toUpper();
    qsizetype start = 0;
    while (start < upper.size() &&
           (upper[start] == QLatin1Char('0') || upper[start] == QLatin1Char(' ')))
        ++start;
    QString binary;
    for (qsizetype i = start; i < upper.size(); ++i) {
        bool ok = false;
        const uint nibble = QString(upper[i]).toUInt(&ok, 16);
        if (ok)
            binary += QStringLiteral("%1 ").arg(nibble, 4, 2, QLatin1Char('0'));
    }
    return binary.isEmpty() ? QStringLiteral("0000") : binary;
}

} // namespace regprobe
