#include "StepHistory.h"

#include "StepCsv.h"
#include "link/WholeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace kiro {

namespace {
const QString kSuffix = QStringLiteral(".csv");

// The names this history gives its files; nothing else in the folder is ever removed.
const QRegularExpression& historyName() {
    static const QRegularExpression name(
        QStringLiteral("^\\d{8}-\\d{6}-\\d{3}_[A-Za-z0-9]+(_kp\\d+)?(_ki\\d+)?(-\\d+)?\\.csv$"));
    return name;
}
} // namespace

StepHistory::StepHistory()
    : StepHistory(QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                      .filePath(QStringLiteral("steps"))) {
}

StepHistory::StepHistory(QString folder) : folder_(std::move(folder)) {
}

QString StepHistory::fileNameOf(const StepRun& run) {
    QString name = run.time.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    name += QLatin1Char('_') + run.variant;
    if (run.kp)
        name += QStringLiteral("_kp%1").arg(*run.kp);
    if (run.ki)
        name += QStringLiteral("_ki%1").arg(*run.ki);
    return name + kSuffix;
}

std::optional<QString> StepHistory::keep(const StepRun& run) const {
    const QDir folder(folder_);
    if (!folder.mkpath(QStringLiteral(".")))
        return QStringLiteral("cannot make the folder %1").arg(QDir::toNativeSeparators(folder_));

    // Two runs in the same millisecond (a fast bench) must not overwrite each other.
    const QString name = fileNameOf(run);
    QString path = folder.filePath(name);
    for (int number = 2; QFileInfo::exists(path); ++number) {
        path = folder.filePath(name.chopped(kSuffix.size()) + QStringLiteral("-%1").arg(number) +
                               kSuffix);
    }
    if (const std::optional<QString> failed = SaveWholeFile(path, FormatStepCsv(run)))
        return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), *failed);
    prune();
    return std::nullopt;
}

void StepHistory::prune() const {
    QStringList names;
    for (const QString& name : QDir(folder_).entryList({QStringLiteral("*.csv")}, QDir::Files)) {
        if (historyName().match(name).hasMatch())
            names.append(name);
    }
    if (names.size() <= kKeptRuns)
        return;
    // The time leads the name, so the oldest sort first.
    std::sort(names.begin(), names.end());
    QDir folder(folder_);
    for (qsizetype index = 0; index < names.size() - kKeptRuns; ++index)
        folder.remove(names[index]);
}

} // namespace kiro
