#pragma once

#include <QGroupBox>

class QLineEdit;
class QSlider;

namespace kiro {

class EntryKeys;
class EntrySnapshot;
class ParameterWindow;

// "共振点N测试区" (Frame1(0), (2), (3)): the amplitude and the phase of one resonance point, each
// a slider with its value box. A slider writes its register whenever the user settles it on a
// new value; a value box moves its slider when committed. The two threshold boxes of the zone
// stay hidden and only show what the drive holds.
class ResonanceZone : public QGroupBox {
    Q_OBJECT
public:
    enum Slider { Amplitude = 0, Phase = 1 };
    enum Threshold { Upper = 0, Lower = 1 };

    ResonanceZone(ParameterWindow& window, int zone, QWidget* parent);

    // A register read when the window opens: the box shows it and the slider follows.
    void showReadBack(Slider slider, quint16 value);
    void showThreshold(Threshold threshold, quint16 value);

private:
    void buildSliderRow(Slider slider);
    void buildThresholds();

    quint16 registerOf(Slider slider) const;
    QLineEdit* boxOf(Slider slider) const { return boxes_[slider == Amplitude ? 3 : 2]; }

    void userMovedSlider(Slider slider, int value);
    void commitBox(Slider slider, const EntrySnapshot& committed);
    // Moves the slider to value and, when it moved, shows and writes the value.
    void moveSliderTo(Slider slider, int value);
    // The slider at value, and its value box showing it unless the user has typed there since.
    void showOnSlider(Slider slider, int value, const EntrySnapshot& box);
    void writeSlider(Slider slider, int value);
    void checkThreshold(int index);

    ParameterWindow& window_;
    const int zone_;
    QSlider* sliders_[2] = {};
    QLineEdit* boxes_[4] = {}; // by index: 0 upper, 1 lower threshold, 2 phase, 3 amplitude
    EntryKeys* keys_[2] = {};  // of the value boxes, by slider
};

} // namespace kiro
