#include "RunLegend.h"

#include "RunOverlay.h"

#include <QGridLayout>
#include <QLabel>

namespace kiro {

namespace {
// The curve of the current run, as the plot draws it.
const QColor kCurrentRun(28, 249, 105);
// Six entries in two rows keep the legend within the width of the plot.
constexpr int kEntriesPerRow = 3;
} // namespace

RunLegend::RunLegend(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RunLegend"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
}

void RunLegend::showRuns(const RunOverlay& runs) {
    for (QLabel* entry : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        delete entry;
    if (runs.current())
        addEntry(kCurrentRun, LegendTextOf(*runs.current()));
    for (const OverlaidRun& earlier : runs.earlier())
        addEntry(earlier.colour, LegendTextOf(earlier.run));
}

void RunLegend::addEntry(const QColor& colour, const QString& text) {
    auto* entry = new QLabel(this);
    entry->setObjectName(QStringLiteral("RunLegendEntry"));
    entry->setTextFormat(Qt::RichText);
    entry->setText(QStringLiteral("<span style=\"color:%1\">&#x25AC;</span>&nbsp;%2")
                       .arg(colour.name(), text.toHtmlEscaped()));
    // Read out as the run's gains, without the coloured mark.
    entry->setAccessibleName(text);
    const int index = layout()->count();
    static_cast<QGridLayout*>(layout())->addWidget(entry, index / kEntriesPerRow,
                                                   index % kEntriesPerRow);
}

} // namespace kiro
