#pragma once

#include "StepRun.h"

#include <QString>
#include <optional>

namespace kiro {

// Every step a program runs, kept as a CSV file (FormatStepCsv) in a folder of its own, so that an
// engineer can go back to yesterday's runs. The files are named by the time of the run (UTC, so
// that the names sort as the runs happened), the drive and the gains:
// "20261211-032513-123_x7_kp1000_ki300.csv". Only the newest kKeptRuns stay; other files in the
// folder are left alone.
class StepHistory {
public:
    static constexpr int kKeptRuns = 500;

    // "steps" in the program's data folder.
    StepHistory();
    explicit StepHistory(QString folder);

    const QString& folder() const { return folder_; }

    // Writes the run as a new file and removes the oldest beyond kKeptRuns. Empty when the run was
    // kept, otherwise why not; the history never takes a step with it when the disk is full or
    // read-only, so the caller only reports this.
    std::optional<QString> keep(const StepRun& run) const;

    // The file name the run gets, before any number added to tell runs of the same millisecond
    // apart.
    static QString fileNameOf(const StepRun& run);

private:
    void prune() const;

    QString folder_;
};

} // namespace kiro
