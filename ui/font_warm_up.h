// SPDX-License-Identifier: MIT
#pragma once

#include <thread>

namespace veltrask::ui {

// Reads the system's font configuration and font list on a thread of its own, from before the
// application object exists until it is done. Qt reads them the first time it measures text,
// after it has connected to the display; with both at once on two cores, the first window shows
// sooner. Qt finds them read, or reads them itself if this has not finished: fontconfig is
// thread-safe and keeps one configuration.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

private:
    std::thread thread_;
};

}  // namespace veltrask::ui
