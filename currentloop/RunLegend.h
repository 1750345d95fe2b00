#pragma once

#include <QWidget>

namespace kiro {

class RunOverlay;

// The legend beside the plot's buttons: one entry "Kp/Ki, I" per run on the plot, each after a
// short line in the colour of its curve; the current run first, then the earlier ones, newest
// first.
class RunLegend : public QWidget {
    Q_OBJECT
public:
    explicit RunLegend(QWidget* parent = nullptr);

    void showRuns(const RunOverlay& runs);

private:
    void addEntry(const QColor& colour, const QString& text);
};

} // namespace kiro
