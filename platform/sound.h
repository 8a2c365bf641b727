// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

namespace veltrask::platform {

// The desktop's alert sound, played through libcanberra. The library and the six behind it are
// loaded with the first beep, which may never come, rather than before the first window shows;
// a computer without it still beeps, only more plainly.
class DesktopSound {
public:
    // LIBRARY is the name dlopen looks for.
    explicit DesktopSound(const char* library = "libcanberra.so.0");
    ~DesktopSound();
    DesktopSound(const DesktopSound&) = delete;
    DesktopSound& operator=(const DesktopSound&) = delete;

    // Starts the desktop's alert sound; false when it cannot, and the caller beeps some other
    // way. Once the library or the sound device turned out to be missing, it is not asked again.
    bool play();

private:
    struct Library;
    struct Context;

    const char* libraryName_;
    bool tried_ = false;
    std::unique_ptr<Library> library_;
    std::unique_ptr<Context> context_;
};

}  // namespace veltrask::platform
