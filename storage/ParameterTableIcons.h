#pragma once

#include <QIcon>

namespace kiro {

// The pictures of the parameter table window's toolbar, drawn by the program itself: a folder
// (open a file), a disk (save a file), a chip (write to the drive's EEPROM) and a door (close).
QIcon OpenFileIcon();
QIcon SaveFileIcon();
QIcon ChipIcon();
QIcon ExitIcon();

} // namespace kiro
