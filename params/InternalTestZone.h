#pragma once

#include "ParamsVariant.h"
#include "RangeRule.h"

#include <QGroupBox>
#include <QMap>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace kiro {

class EntrySnapshot;
class ParameterWindow;

// "内部测试区" (Frame1(4)): the test functions built into the drive. The QZ318-X7 has three jog
// entries, each written when committed; the QZ318 has its motion generator, set up by speed,
// stroke, repeat count, dwell time, reciprocating and direction, and started and stopped here.
// Its speed slider acts on the drive at once, the rest at the next start.
class InternalTestZone : public QGroupBox {
    Q_OBJECT
public:
    InternalTestZone(ParameterWindow& window, QWidget* parent);

    // A jog register read when the window opens, shown in Text4(index).
    void showJogReadBack(int index, quint16 value);
    // The generator's buttons become usable once the window has read the drive.
    void enableButtons();
    QPushButton* startButton() const { return start_; }
    // The generator has been started from here and not stopped.
    bool stopShown() const;

private:
    void addEntry(const ParamsVariant::TestEntry& entry);
    void buildGenerator(const ParamsVariant::Generator& layout);
    void buildButtons(const ParamsVariant::Generator& layout);
    void checkRange(int index);

    void writeJog(quint16 address, const EntrySnapshot& committed);
    void userMovedSpeed(int value);
    void writeSpeed(int value);
    void start();
    void stop();
    // The stop button in the start button's place while the generator runs, and back.
    void showRunning(bool running);
    bool writeStep(quint16 address, double value);

    ParameterWindow& window_;
    QMap<int, QLineEdit*> entries_; // Text4 by index
    QMap<int, RangeRule> rules_;    // the entries whose text is kept in range as it changes
    QSlider* speed_ = nullptr;
    QLabel* speedShown_ = nullptr;
    QCheckBox* reciprocating_ = nullptr;
    QCheckBox* forward_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
};

} // namespace kiro
