// SPDX-License-Identifier: MIT
#pragma once

#include <span>

#include "twips_layout.h"

namespace veltrask::ui {

class WindowView;

// Lets screen readers see the views as windows and their option buttons as exclusive options.
// Installed once, before the first view is created.
void installViewAccessibility();

// Names every control of a view for screen readers: by the label beside it, or by the fixed name
// its placement gives.
void nameForScreenReaders(WindowView& view, std::span<const Placement> layout);

}  // namespace veltrask::ui
