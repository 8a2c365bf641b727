// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace veltrask::ui {

// The one icon all windows of the program carry.
QIcon applicationIcon();

// When the windows get the program's icon. Reading its bitmaps and handing them to the display
// would hold back the first frame by a few milliseconds; a window without an icon yet gets it a
// moment later, before anyone could look for it.
enum class IconTiming { AtOnce, AfterFirstFrame };

// The program's own font and icon, set once before any window is created. The windows are laid
// out in twips for a 9-point font; a desktop theme's larger default would not fit them.
void applyAppearance(IconTiming iconTiming = IconTiming::AtOnce);

// Lets the text caret blink only while the user is at work: a program that waits should not
// wake several times a second to redraw it. Needs the application object.
void restCaretWhenIdle();

}  // namespace veltrask::ui
