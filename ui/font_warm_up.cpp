// SPDX-License-Identifier: MIT
#include "font_warm_up.h"

#ifndef _WIN32
#include <fontconfig/fontconfig.h>
#endif

namespace veltrask::ui {

FontWarmUp::FontWarmUp() {
#ifndef _WIN32
    thread_ = std::thread([] {
        // The configuration and the caches of every font directory: most of what the first
        // measured text waits for.
        FcInit();
    });
#endif
}

FontWarmUp::~FontWarmUp() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace veltrask::ui
