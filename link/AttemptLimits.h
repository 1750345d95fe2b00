#pragma once

// How many times each kind of transaction is tried before it gives up, in one table: the windows
// and qzcli use these and no count of their own, so that they agree on when a drive has gone.
// Every attempt is one request with its wait; a port that has gone away ends any of them at once.
namespace kiro::attempts {

// The current-loop window's and the parameter window's reads and entry writes, the step test,
// "auto", and the EEPROM commit of the main window.
constexpr int kToolWindow = 12;

// A slider's write in the parameter window: the slider sends again as it moves on.
constexpr int kSliderWrite = 5;

// The fault window's read and clear of the fault words.
constexpr int kFaultWords = 5;

// ReadRegisters and WriteRegister of the link: the archive, the factory defaults, "auto"'s
// command, qzcli read and write.
constexpr int kLinkWrapper = 4;

// The parameter table's read of its 15 registers, counted over the whole read, and its EEPROM
// commit: the twelfth failed request ends it.
constexpr int kParameterTableSequence = 12;

} // namespace kiro::attempts
