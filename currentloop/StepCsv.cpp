#include "StepCsv.h"

#include <charconv>

namespace kiro {

namespace {
QByteArray exactDecimal(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return QByteArray(buffer, int(result.ptr - buffer));
}

QByteArray gainText(std::optional<int> gain) {
    return gain ? QByteArray::number(*gain) : QByteArray();
}
} // namespace

QByteArray FormatStepCsv(const StepRun& run) {
    QByteArray csv;
    csv += "# kp=" + gainText(run.kp) + '\n';
    csv += "# ki=" + gainText(run.ki) + '\n';
    // The step as it was asked for (1.5, not 1.5000000596): the shortest text that reads back.
    csv += "# i_test=" + QByteArray::number(run.testCurrent, 'g', 7) + '\n';
    csv += "# variant=" + run.variant.toUtf8() + '\n';
    // With its offset from UTC, so that runs from another time zone still compare.
    const QDateTime time = run.time.toOffsetFromUtc(run.time.offsetFromUtc());
    csv += "# time=" + time.toString(Qt::ISODateWithMs).toUtf8() + '\n';
    csv += "sample,amperes\n";
    for (int k = 0; k < run.samples.size(); ++k)
        csv += QByteArray::number(k) + ',' + exactDecimal(run.samples[k]) + '\n';
    return csv;
}

} // namespace kiro
