#pragma once

namespace trimlet {

// Button codes of pointer events: the one button that changed in a press or release,
// the sum of the held buttons in a move.
enum MouseButtonCode { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
// Modifier bits of pointer and key events.
enum ShiftBit { kShiftBit = 1, kCtrlBit = 2, kAltBit = 4 };
// Key codes of the arrow keys.
enum KeyCode { kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40 };

}  // namespace trimlet
