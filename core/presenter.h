// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <string>

namespace veltrask::core {

class Window;

// Whoever shows the core's windows to the user. The core owns the windows' state; the presenter
// only presents it, and sends what the user does back in as events.
class Presenter {
public:
    virtual ~Presenter() = default;

    virtual void showWindow(Window& window) = 0;
    virtual void hideWindow(Window& window) = 0;
    // The window's state is about to be destroyed: drop every reference to it.
    virtual void destroyWindow(Window& window) = 0;
    // Called after every event the core handled, so that the views can show the new state.
    virtual void stateChanged() = 0;
    // Tells the user, in a window of the program's own, that something it promised could not be
    // done; acknowledged runs once the user has closed it.
    virtual void showFailure(const std::string& message, std::function<void()> acknowledged) = 0;
};

}  // namespace veltrask::core
