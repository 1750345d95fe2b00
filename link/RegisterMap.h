#pragma once

#include <QtGlobal>
#include <array>

// The drive's holding registers, by the meaning the tuners give them. Currents marked Q10 hold
// amperes x 1024; everything else is raw unless said otherwise.
namespace kiro::reg {

constexpr quint16 CurrentLoopKp = 0;
constexpr quint16 CurrentLoopKi = 1;
constexpr quint16 StepTestCommand = 2;   // 1 starts the step, 0 ends the test
constexpr quint16 StepTestCurrent = 4;   // Q10, 0 to 5 A
constexpr quint16 StepResponseFirst = 5; // sample k in StepResponseFirst + k, Q10 signed
constexpr int StepResponseCount = 200;
constexpr quint16 GeneratorRun = 9;     // 1 starts, 0 stops
constexpr quint16 EepromCommit = 12;    // 1 stores the running parameters
constexpr quint16 FaultWordsFirst = 16; // fault grid column k in FaultWordsFirst + k
constexpr int FaultWordCount = 10;
constexpr quint16 FaultClear = 16; // write 0: current faults, 1: fault history
constexpr quint16 JogAcceleration = 21;
constexpr quint16 JogHighSpeed = 22;    // qztune-x7, rpm
constexpr quint16 GeneratorSpeed = 22;  // QZ318, 0.01 rps
constexpr quint16 JogLowSpeed = 24;     // qztune-x7, rpm
constexpr quint16 GeneratorStroke = 24; // QZ318, revolutions x 100
constexpr quint16 GeneratorRepeats = 25;
constexpr quint16 GeneratorForward = 26;
constexpr quint16 GeneratorDwellMs = 27;
constexpr quint16 GeneratorReciprocating = 28;
constexpr quint16 PeakCurrent = 31;       // Q10
constexpr quint16 SpeedOrMicrosteps = 32; // qztune-x7: rpm; QZ318: pulses per revolution
constexpr quint16 Resonance1Amplitude = 64;
constexpr quint16 Resonance1Phase = 65;
constexpr quint16 Resonance1Lower = 66;
constexpr quint16 Resonance1Upper = 67;
constexpr quint16 Resonance2Amplitude = 68;
constexpr quint16 Resonance2Phase = 69;
constexpr quint16 Resonance2Lower = 70;
constexpr quint16 Resonance2Upper = 71;
constexpr quint16 Resonance3Amplitude = 72;
constexpr quint16 Resonance3Phase = 73;
constexpr quint16 Resonance3Lower = 74;
constexpr quint16 Resonance3Upper = 75;
constexpr quint16 IdleCurrentPercent = 78;
constexpr quint16 IdleCurrentTimeMs = 79;
constexpr quint16 PulseFilterEnable = 80;
constexpr quint16 CurrentLoopAutoTune = 97; // 1 starts it
constexpr quint16 MidSpeedSuppression = 153;
constexpr quint16 InputConfiguration = 255;

// Bits of InputConfiguration.
constexpr quint16 InputModeCwCcw = 0x1;
constexpr quint16 InputEdgeFalling = 0x2;
constexpr quint16 InputDirectionHigh = 0x4;

// Bits of a fault word's low byte.
constexpr quint16 FaultOvercurrent = 0x01;
constexpr quint16 FaultOvervoltage = 0x02;
constexpr quint16 FaultUndervoltage = 0x04;
constexpr quint16 FaultPhaseLoss = 0x08;
constexpr quint16 FaultEncoder = 0x10;
constexpr quint16 FaultTrackingError = 0x40;

// The registers a qztune-x7 archive file stores, in file order.
constexpr std::array<quint16, 19> ArchiveRegisters{0,  1,  31, 32, 153, 78, 64, 65, 66, 67,
                                                   68, 69, 70, 71, 72,  73, 74, 75, 255};
// The registers of the QZ318 parameter table.
constexpr std::array<quint16, 15> ParameterTableRegisters{0,  1,  31, 32, 64, 65,  68, 69,
                                                          72, 73, 78, 79, 80, 153, 255};
// What the parameter settings window reads when it opens, in order.
constexpr std::array<quint16, 20> X7SettingsReadBack{31, 32, 153, 78, 64, 65, 66,  67, 68, 69,
                                                     70, 71, 72,  73, 74, 75, 255, 22, 24, 21};
constexpr std::array<quint16, 13> Qz318SettingsReadBack{31, 32, 153, 78, 79,  64, 65,
                                                        68, 69, 72,  73, 255, 80};

} // namespace kiro::reg
