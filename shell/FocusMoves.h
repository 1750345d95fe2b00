#pragma once

class QFocusEvent;

namespace kiro {

// Whether a focus change is the user moving the focus between controls (a click on a control,
// Tab, a shortcut), also into another tool window, and not only the window system activating a
// window: a click on a window's title bar or frame gives the focus back to the control that had
// it, and so does coming back from a message box or from another program. Nor is a move that
// the program makes itself. Only a user's move commits an entry or counts as choosing an option.
//
// For a FocusIn or FocusOut event that a control of a tool window receives.
bool IsUserFocusMove(const QFocusEvent& event);

} // namespace kiro
