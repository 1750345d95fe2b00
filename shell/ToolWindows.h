#pragma once

#include <QString>

namespace kiro {

// The windows that open from the main window's menus to work with the drive.
enum class ToolWindow {
    CurrentLoop,    // Form1
    Parameters,     // Form3
    Faults,         // Form4
    ParameterTable, // Form5, QZ318 only
    Archive,        // Form7, qztune-x7 only
};

// How a tool window takes part in the exclusivity rule of the main window.
struct ToolWindowRole {
    QString name;  // objectName: "Form1" ...
    QString title; // window caption while no real window stands in for it
    int menuIndex; // the WindowOpenFlags element its menu command asks; 0: none
    bool setsToolWindowOpen;
    int ownFlag; // the WindowOpenFlags element it sets itself; 0: none
};

const ToolWindowRole& RoleOf(ToolWindow window);

} // namespace kiro
