// The font of the native form. The control table's places were made for the default GUI
// font of Windows at 96 dpi; other fonts (Wine's Tahoma, a desktop with larger fonts) are
// wider. The form takes the default GUI font at the largest height at which every text of
// the table, and the widest content the program puts into a control, fits its place; the
// places stay as the table gives them.
#pragma once

#include <windows.h>

namespace tamlo {

// How many pixels a control lacks to show its own text whole with its font, as the control
// measures it: the ideal size of a button or check box, the formatting rectangle of an
// edit field, the item area of a drop-down list, the field of a status bar. 0 or less when
// the text fits; the negative value is the room to spare.
int textOverflow(HWND control);

// The form's font, made with hidden controls of parent to measure in. The default GUI font
// itself when it fits (owned is then false); otherwise a smaller one, which the caller
// deletes once no control uses it.
HFONT makeFormFont(HWND parent, HINSTANCE instance, bool& owned);

}  // namespace tamlo
