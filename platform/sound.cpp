// SPDX-License-Identifier: MIT
#include "platform/sound.h"

#include <canberra.h>
#include <dlfcn.h>

#include "veltrask/identity.h"

namespace veltrask::platform {

// The few functions used, looked up by name. The types come from the library's own header, so
// that a call through them is checked as a direct call would be.
struct DesktopSound::Library {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_play) play = nullptr;

    // Null when the library or one of the functions is missing. The library stays loaded for
    // the rest of the program: its sound threads may outlive any context.
    static std::unique_ptr<Library> open(const char* name) {
        void* handle = dlopen(name, RTLD_LAZY | RTLD_LOCAL);
        if (handle == nullptr) {
            return nullptr;
        }
        auto library = std::make_unique<Library>();
        find(handle, "ca_context_create", library->create);
        find(handle, "ca_context_destroy", library->destroy);
        find(handle, "ca_context_change_props", library->changeProps);
        find(handle, "ca_context_play", library->play);
        if (library->create == nullptr || library->destroy == nullptr ||
            library->changeProps == nullptr || library->play == nullptr) {
            return nullptr;
        }
        return library;
    }

    template <typename Function>
    static void find(void* handle, const char* symbol, Function& function) {
        function = reinterpret_cast<Function>(dlsym(handle, symbol));
    }
};

struct DesktopSound::Context {
    const Library& library;
    ca_context* context;

    ~Context() { library.destroy(context); }
};

DesktopSound::DesktopSound(const char* library) : libraryName_(library) {}

DesktopSound::~DesktopSound() {
    // The context goes before the functions that destroy it.
    context_.reset();
}

bool DesktopSound::play() {
    if (!tried_) {
        tried_ = true;
        library_ = Library::open(libraryName_);
        ca_context* context = nullptr;
        if (library_ != nullptr && library_->create(&context) == CA_SUCCESS) {
            context_.reset(new Context{*library_, context});
            library_->changeProps(context, CA_PROP_APPLICATION_NAME, kApplicationName, nullptr);
        }
    }
    if (context_ == nullptr) {
        return false;
    }
    // Playing is asynchronous: the result only says whether the sound could be started.
    int result = library_->play(context_->context, 0, CA_PROP_EVENT_ID, "bell", nullptr);
    if (result == CA_ERROR_NOTFOUND) {
        result = library_->play(context_->context, 0, CA_PROP_EVENT_ID, "dialog-warning", nullptr);
    }
    if (result != CA_SUCCESS && result != CA_ERROR_NOTFOUND) {
        context_.reset();  // no sound device: asking again on every beep would not help
    }
    return result == CA_SUCCESS;
}

}  // namespace veltrask::platform
