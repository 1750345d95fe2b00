#include "ComparisonReport.h"

#include "BenchSession.h"

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
    const QByteArray bytes = csv.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    if (comparison.outcome == Outcome::Same) {
        BenchSession::progress(QStringLiteral("the drive holds %1 (%2 registers compared)")
                                   .arg(path)
                                   .arg(comparison.compared));
        return kExitDone;
    }
    BenchSession::progress(QStringLiteral("%1 of %2 registers differ from %3")
                               .arg(comparison.differences.size())
                               .arg(comparison.compared)
                               .arg(path));
    return kExitDiffers;
}
