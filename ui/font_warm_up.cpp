// SPDX-License-Identifier: MIT
#include "font_warm_up.h"

#include <fontconfig/fontconfig.h>

namespace veltrask::ui {

FontWarmUp::FontWarmUp() {
    thread_ = std::thread([] {
        // The configuration and the caches of every font directory: most of what the first
        // measured text waits for.
        FcInit();
    });
}

FontWarmUp::~FontWarmUp() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace veltrask::ui
