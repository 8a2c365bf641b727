// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace veltrask::platform {

// GNOME and the desktops built on its shell or session manager, which answer on its name.
inline constexpr std::string_view kGnomeFamily = "GNOME:Unity:Budgie:Pantheon:MATE:X-Cinnamon";

// XDG_CURRENT_DESKTOP of this process: names separated by ':', empty when unknown.
std::string currentDesktops();

// Whether any of the session's desktops is one of `names` (both ':'-separated, any case). Empty
// `names` stands for every desktop.
bool desktopIsOneOf(std::string_view names, std::string_view sessionDesktops);

}  // namespace veltrask::platform
