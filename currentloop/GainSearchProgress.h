#pragma once

#include "GainSearch.h"
#include "GainSearchRun.h"

#include <QProgressBar>

namespace kiro {

// Under the entries while the window searches for gains: the steps done of the most the search
// may take, and once it has ended, how it ended and what the drive holds now. Hidden until the
// first search; the last outcome stays until the next one begins.
class GainSearchProgress : public QProgressBar {
    Q_OBJECT
public:
    explicit GainSearchProgress(QWidget* parent = nullptr);

    void begin(int mostSteps);
    void stepDone(int stepsDone);
    // held: the gains the drive had before the search.
    void ended(const SearchRunResult& result, const GainSearch& search, GainPair held);

    // What the bar says at the end of a search.
    static QString endText(const SearchRunResult& result, const GainSearch& search, GainPair held);
};

} // namespace kiro
