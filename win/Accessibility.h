// Accessible names for the window's controls that have no label of their own in front of
// them: the ID box, the channel lists, the response rows (label box, value box, slider), the
// sliders beside their value boxes, the limit rows, the Position slider and the status line.
// The standard accessible object a control already has keeps its role, state and value;
// only its name is given, from the texts the window shows (read when asked, so a direction
// that changes with the mounting surface is named as shown).
#pragma once

#include <windows.h>

#include <string>

namespace tarvex_win {

// Names the controls of dialog (dialog 101), through WM_GETOBJECT.
void NameControls(HWND dialog);

// The name a control of dialog 101 is given; empty for one that keeps the system's name (a
// button, check box or radio is named by its caption, a value box by its label).
std::wstring AccessibleName(HWND dialog, int id);

// A caption as read out: without its mnemonic ("&Gain" and "ゲイン(&G)" give "Gain" and
// "ゲイン"), a line break as a space.
std::wstring PlainCaption(const std::wstring& caption);

}  // namespace tarvex_win
