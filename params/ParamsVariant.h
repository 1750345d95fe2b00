#pragma once

#include "RangeRule.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <QVector>
#include <array>
#include <optional>

namespace kiro {

struct Variant;

// Everything the parameter settings window does differently in the two tuners: places and sizes
// (in twips), captions, the registers it reads when it opens and where each value goes, the
// limits of the entries and the form of the internal test zone.
struct ParamsVariant {
    // A labelled entry Text1(index) of the configuration zone.
    struct Entry {
        int index = 0;
        QString label;
        QPoint labelTwips;
        QPoint boxTwips;
        int boxWidthTwips = 0;
        QString designText;
        quint16 reg = 0;
        int slot = 0;
        RangeRule rule;
        bool amps = false;     // the register holds amperes x 1024
        bool readsBack = true; // a commit reads the register back and shows what the drive took
    };

    // An option group Frame2(index); its buttons are Option1(2 * index) and Option1(2 * index + 1).
    struct OptionGroup {
        int index = 0;
        QPoint twips;
        int widthTwips = 0;
        bool enabled = true;
    };

    // One register the window reads when it opens, and where the value goes.
    struct ReadBackItem {
        enum class Target {
            Entry,              // Text1(index)
            AmplitudeSlider,    // zone's amplitude box and slider
            PhaseSlider,        // zone's phase box and slider
            LowerThreshold,     // zone's hidden lower threshold box
            UpperThreshold,     // zone's hidden upper threshold box
            InputConfiguration, // option buttons, set after the list
            JogEntry,           // Text4(index)
        };
        quint16 reg = 0;
        int slot = -1; // -1: kept in no slot
        Target target = Target::Entry;
        int index = 0; // Text1 / Text4 index, or the resonance zone 1 to 3
    };

    // An entry Text4(index) of the internal test zone, with its label.
    struct TestEntry {
        int index = 0;
        QString label;
        QPoint labelTwips;
        QPoint boxTwips;
        int boxWidthTwips = 0;
        QString designText;
        std::optional<quint16> reg;    // written when the entry is committed; none: only at Start
        std::optional<RangeRule> rule; // kept as the text changes
    };

    // The motion generator's controls, where the drive has one.
    struct Generator {
        QPoint speedSliderTwips;
        int speedSliderWidthTwips = 0;
        QPoint speedShownTwips;
        QPoint speedUnitTwips;
        QPoint reciprocatingTwips;
        QPoint forwardTwips;
        QPoint buttonsTwips;
        QSize buttonSizeTwips;
    };

    struct FramePlace {
        int topTwips = 0;
        int heightTwips = 0;
    };

    // Window
    QPoint placeTwips;
    int frameWidthTwips = 0;
    std::array<FramePlace, 5> frames{}; // Frame1(0) to Frame1(4), by index

    // Configuration zone
    QVector<Entry> entries;
    QVector<OptionGroup> optionGroups;
    std::optional<QPoint> filterBoxTwips; // Check2, where the drive has an input filter
    int inputConfigurationSlot = 0;

    // Resonance zones 1 to 3: slider widths
    std::array<int, 3> sliderWidthTwips{};

    // Read-back at opening
    QVector<ReadBackItem> readBack;
    bool idleAfterFailure = true; // the lamp shows idle again when the window gives up
    bool focusesStartButton = false;

    // Internal test zone
    QVector<TestEntry> testEntries;
    std::optional<Generator> generator;

    static const ParamsVariant& x7();
    static const ParamsVariant& qz318();
    static const ParamsVariant& of(const Variant& variant);
};

} // namespace kiro
