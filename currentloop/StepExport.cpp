#include "StepExport.h"

#include "StepCsv.h"
#include "link/WholeFile.h"

#include <QBuffer>
#include <QFileInfo>

namespace kiro::step_export {

QString filters() {
    return kCsvFilter + QStringLiteral(";;") + kPngFilter;
}

Target TargetFor(const QString& chosenPath, const QString& chosenFilter) {
    const QString suffix = QFileInfo(chosenPath).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return {chosenPath, Kind::Csv};
    if (suffix == QLatin1String("png"))
        return {chosenPath, Kind::Png};
    if (chosenFilter == kPngFilter)
        return {chosenPath + QStringLiteral(".png"), Kind::Png};
    return {chosenPath + QStringLiteral(".csv"), Kind::Csv};
}

std::optional<QString> Save(const Target& target, const StepRun& run, const QImage& picture) {
    if (target.kind == Kind::Csv)
        return SaveWholeFile(target.path, FormatStepCsv(run));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG"))
        return QStringLiteral("the picture could not be made");
    return SaveWholeFile(target.path, png);
}

} // namespace kiro::step_export
