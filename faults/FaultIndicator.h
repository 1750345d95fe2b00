#pragma once

#include <QColor>
#include <QWidget>

namespace kiro {

// A round indicator of the fault grid: a solid circle with a black border, green for no fault and
// red for a fault. Assistive technology reads its fault state from its description ("故障" or
// "正常"), so the grid can be read without seeing the colours.
class FaultIndicator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor)
public:
    explicit FaultIndicator(QWidget* parent = nullptr);

    static const QColor kFaultColor;
    static const QColor kNoFaultColor;

    void showFault(bool fault);
    bool showsFault() const { return fillColor_ == kFaultColor; }
    QColor fillColor() const { return fillColor_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fillColor_ = kNoFaultColor;
};

} // namespace kiro
