#include "ComparisonReport.h"

#include "BenchSession.h"
#include "StandardOutput.h"

#include <QStringList>
#include <cstdio>

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

namespace {
QString registers(int count) {
    return count == 1 ? QStringLiteral("1 register") : QStringLiteral("%1 registers").arg(count);
}
} // namespace

int reportComparison(const kiro::DriveComparison& comparison, const QString& path) {
    using Outcome = kiro::DriveComparison::Outcome;
    if (comparison.outcome == Outcome::DriveFailed) {
        std::fprintf(stderr, "qzcli: the drive did not answer; it was not compared with %s\n",
                     qPrintable(path));
        return kExitDriveFailed;
    }
    QString csv = QStringLiteral("register,name,file,drive\n");
    for (const kiro::RegisterDifference& difference : comparison.differences)
        csv += QStringList{QString::number(difference.address), csvField(difference.name),
                           csvField(difference.fileValue), csvField(difference.driveValue)}
                   .join(QLatin1Char(',')) +
               QLatin1Char('\n');
    standard_output::write(csv);
    if (comparison.outcome == Outcome::Same) {
        BenchSession::progress(QStringLiteral("the drive holds %1 (%2 compared)")
                                   .arg(path, registers(comparison.compared)));
        return kExitDone;
    }
    BenchSession::progress(
        QStringLiteral("%1 of %2 differ%3 from %4")
            .arg(comparison.differences.size())
            .arg(registers(comparison.compared))
            .arg(comparison.differences.size() == 1 ? QStringLiteral("s") : QString())
            .arg(path));
    return kExitDiffers;
}
