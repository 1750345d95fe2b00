#include "StepFiguresLine.h"

#include "StepFigureText.h"

#include <QHBoxLayout>
#include <QLabel>

namespace kiro {

namespace {
QString withUnit(const QString& figure, const QString& unit) {
    return figure.isEmpty() ? figure : figure + QLatin1Char(' ') + unit;
}
} // namespace

StepFiguresLine::StepFiguresLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StepFigures"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    rise_ = addFigure(QStringLiteral("rise:"), QStringLiteral("riseValue"),
                      QStringLiteral("Samples from 10 % to 90 % of the final current"));
    overshoot_ =
        addFigure(QStringLiteral("overshoot:"), QStringLiteral("overshootValue"),
                  QStringLiteral("How far the highest sample lies beyond the final current"));
    settling_ = addFigure(
        QStringLiteral("settling:"), QStringLiteral("settlingValue"),
        QStringLiteral("The sample from which the current stays within 2 % of its final value"));
    error_ = addFigure(QStringLiteral("error:"), QStringLiteral("errorValue"),
                       QStringLiteral("The step current minus the final current"));
    row->addStretch(1);
}

QLabel* StepFiguresLine::addFigure(const QString& caption, const QString& name,
                                   const QString& meaning) {
    auto* label = new QLabel(caption, this);
    auto* value = new QLabel(this);
    value->setObjectName(name);
    value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0.0000 A")));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setToolTip(meaning);
    value->setToolTip(meaning);
    value->setAccessibleName(caption);
    layout()->addWidget(label);
    layout()->addWidget(value);
    return value;
}

void StepFiguresLine::showFigures(const StepMetrics& figures) {
    rise_->setText(riseText(figures));
    overshoot_->setText(overshootText(figures));
    settling_->setText(settlingText(figures));
    error_->setText(errorText(figures));
}

QString StepFiguresLine::riseText(const StepMetrics& figures) {
    return FigureText(figures.riseSamples);
}

QString StepFiguresLine::overshootText(const StepMetrics& figures) {
    return withUnit(FigureText(figures.overshootPercent, kPercentDecimals), QStringLiteral("%"));
}

QString StepFiguresLine::settlingText(const StepMetrics& figures) {
    return FigureText(figures.settlingSamples);
}

QString StepFiguresLine::errorText(const StepMetrics& figures) {
    return withUnit(FigureText(figures.steadyStateErrorAmperes, kAmpereDecimals),
                    QStringLiteral("A"));
}

} // namespace kiro
