#include "TextValue.h"

namespace kiro {

double LeadingNumber(const QString& text) {
    int at = 0;
    while (at < text.size() && text[at].isSpace())
        ++at;
    QString number;
    if (at < text.size() && (text[at] == QLatin1Char('-') || text[at] == QLatin1Char('+')))
        number += text[at++];
    bool point = false;
    bool digits = false;
    for (; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            number += c;
            digits = true;
        } else if (c == QLatin1Char('.') && !point) {
            number += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0;
}

QString DecimalText(double value) {
    return QString::number(value, 'g', 10);
}

} // namespace kiro
