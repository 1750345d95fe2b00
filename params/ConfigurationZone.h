#pragma once

#include "ParamsVariant.h"

#include <QGroupBox>
#include <QMap>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace kiro {

class EntrySnapshot;
class ParameterWindow;

// "驱动器配置区" (Frame1(1)): peak and idle current, speed or pulses per revolution, idle time,
// the suppression coefficient, the three bits of the input configuration as option groups, and
// the input filter where the drive has one. Each entry is written when it is committed and then
// read back; each option button writes its bit when the user moves the focus to it.
class ConfigurationZone : public QGroupBox {
    Q_OBJECT
public:
    ConfigurationZone(ParameterWindow& window, QWidget* parent);

    // A register read when the window opens, shown in the entry Text1(index).
    void showReadBack(int index, quint16 value);
    // The option buttons from the input configuration slot; selecting them writes nothing.
    void showInputConfiguration();
    // The filter box from register 80; the change this makes writes nothing.
    void showFilter(quint16 value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildEntries();
    void buildOptionGroups();
    void buildFilterBox();

    void commitEntry(int index, const EntrySnapshot& committed);
    // Keeps a value read back from the entry's register in its slot; the text that shows it.
    QString keepReadBack(const ParamsVariant::Entry& entry, quint16 value);
    void writeInputBit(int option);
    void filterClicked(Qt::CheckState state);
    void writeFilter(bool enabled);

    ParameterWindow& window_;
    QMap<int, QLineEdit*> entries_; // by Text1 index
    QRadioButton* options_[6] = {};
    QCheckBox* filter_ = nullptr;
    bool SkipFilterClick = false;
};

} // namespace kiro
