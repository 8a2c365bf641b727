// SPDX-License-Identifier: MIT
// Starts a program and reports how long it took from exec to the first top-level window being
// mapped and, with --text, to the first frame of it that shows text (at least 150 dark pixels, as
// the outside start-up measure counts them), as the X server saw them; and how much memory the
// program holds a moment later. Watching the server rather than the program keeps the measurement
// out of the program measured.
//
//   map_timer [--rss-after MS] [--timeout S] [--text] PROGRAM [ARGUMENT...]
//
// Prints "map_ms=… [text_ms=… cpu_ms=…] rss_kb=…" and stops the program again; cpu_ms is the
// processor time all the program's threads had used when the text was seen, a figure that load
// elsewhere on the machine hardly changes. The program inherits this
// process's environment: whoever calls this decides what it may reach.
//
// The display's backdrop is painted a colour that is not dark: a window its program has not drawn
// yet shows the backdrop through it, and on a black backdrop would count as text once mapped.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// Processor time of every thread of the process so far, from the scheduler's own accounting.
double processorMs(pid_t pid) {
    std::error_code error;
    double totalNs = 0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double runNs = 0;
        if (schedstat >> runNs) {
            totalNs += runNs;
        }
    }
    return totalNs / 1e6;
}

bool exited(pid_t pid, int waitMs) {
    const double deadline = monotonicMs() + waitMs;
    do {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return true;
        }
        usleep(10'000);
    } while (monotonicMs() < deadline);
    return false;
}

void stop(pid_t pid) {
    kill(pid, SIGTERM);
    if (!exited(pid, 3000)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

int usage(const char* self) {
    std::fprintf(stderr,
                 "usage: %s [--rss-after MS] [--timeout S] [--text] PROGRAM "
                 "[ARGUMENT...]\n",
                 self);
    return 2;
}

// A window that goes away must not end this process the way Xlib's default handler would: it
// simply shows no text.
bool xFailed = false;
int rememberXError(Display*, XErrorEvent*) {
    xFailed = true;
    return 0;
}

// A colour far from any a desktop theme draws text or a window in.
constexpr char kBackdropColour[] = "#ff00ff";

void paintBackdrop(Display* display) {
    XColor colour{};
    const Colormap colormap = DefaultColormap(display, DefaultScreen(display));
    if (XParseColor(display, colormap, kBackdropColour, &colour) == 0 ||
        XAllocColor(display, colormap, &colour) == 0) {
        colour.pixel = WhitePixel(display, DefaultScreen(display));
    }
    const Window root = DefaultRootWindow(display);
    XSetWindowBackground(display, root, colour.pixel);
    XClearWindow(display, root);
}

// Whether the window shows text: at least this many pixels darker than kDark in red, green and
// blue alike, as the outside start-up measure counts them.
constexpr int kTextPixels = 150;
constexpr unsigned long kDark = 80;

// One colour channel of a true-colour pixel; a display without channels has no dark pixels.
unsigned long channel(unsigned long pixel, unsigned long mask) {
    return mask == 0 ? ~0UL : (pixel & mask) >> std::countr_zero(mask);
}

bool showsText(Display* display, Window window) {
    xFailed = false;
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0 || xFailed) {
        return false;
    }
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    XSync(display, False);
    if (image == nullptr || xFailed) {
        if (image != nullptr) {
            XDestroyImage(image);
        }
        return false;
    }
    int dark = 0;
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            dark += channel(pixel, image->red_mask) < kDark &&
                    channel(pixel, image->green_mask) < kDark &&
                    channel(pixel, image->blue_mask) < kDark;
        }
    }
    XDestroyImage(image);
    return dark >= kTextPixels;
}

}  // namespace

int main(int argc, char** argv) {
    int rssAfterMs = 1000;
    int timeoutS = 30;
    bool watchText = false;
    int first = 1;
    for (; first + 1 < argc; first += 2) {
        if (std::strcmp(argv[first], "--rss-after") == 0) {
            rssAfterMs = std::atoi(argv[first + 1]);
        } else if (std::strcmp(argv[first], "--timeout") == 0) {
            timeoutS = std::atoi(argv[first + 1]);
        } else if (std::strcmp(argv[first], "--text") == 0) {
            watchText = true;
            --first;  // takes no value
        } else {
            break;
        }
    }
    if (first >= argc) {
        return usage(argv[0]);
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "map_timer: cannot open the display\n");
        return 1;
    }
    fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);
    XSetErrorHandler(rememberXError);
    int damageEvent = 0;
    int damageError = 0;
    if (watchText && XDamageQueryExtension(display, &damageEvent, &damageError) == 0) {
        std::fprintf(stderr, "map_timer: the display has no DAMAGE extension\n");
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    if (watchText) {
        paintBackdrop(display);
    }
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    // The pipe closes on exec, or carries errno if exec failed. The clock starts as the child
    // is forked: it execs straight away, and a fork costs well under a millisecond.
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        std::perror("map_timer: pipe");
        return 1;
    }
    const double started = monotonicMs();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("map_timer: fork");
        return 1;
    }
    if (pid == 0) {
        close(channel[0]);
        execvp(argv[first], argv + first);
        const int error = errno;
        (void)!write(channel[1], &error, sizeof error);
        _exit(127);
    }
    close(channel[1]);
    int execError = 0;
    if (read(channel[0], &execError, sizeof execError) == static_cast<ssize_t>(sizeof execError)) {
        std::fprintf(stderr, "map_timer: cannot start %s: %s\n", argv[first],
                     std::strerror(execError));
        waitpid(pid, nullptr, 0);
        return 1;
    }
    close(channel[0]);

    double mappedAt = -1;
    double textAt = -1;
    double textCpuMs = -1;
    Window mapped = None;
    const double deadline = started + timeoutS * 1000.0;
    while (mappedAt < 0 || (watchText && textAt < 0)) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            const double now = monotonicMs();
            // Popups and tooltips bypass the window manager; a window a user would call a
            // window does not.
            if (mappedAt < 0 && event.type == MapNotify && event.xmap.event == root &&
                !event.xmap.override_redirect) {
                mappedAt = now;
                mapped = event.xmap.window;
                if (watchText) {
                    // Every drawing into the window from now on is reported; whatever was drawn
                    // before is seen by the first look, right after.
                    XDamageCreate(display, mapped, XDamageReportNonEmpty);
                    if (showsText(display, mapped)) {
                        textAt = now;
                        textCpuMs = processorMs(pid);
                    }
                }
            } else if (mapped != None && textAt < 0 && event.type == damageEvent + XDamageNotify) {
                const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
                XDamageSubtract(display, damage.damage, None, None);
                if (showsText(display, mapped)) {
                    textAt = now;
                    textCpuMs = processorMs(pid);
                }
            }
        }
        if (mappedAt >= 0 && (!watchText || textAt >= 0)) {
            break;
        }
        const double left = deadline - monotonicMs();
        if (left <= 0 || waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fprintf(stderr, "map_timer: %s %s\n", argv[first],
                         mappedAt < 0 ? "mapped no window" : "drew no text");
            stop(pid);
            return 1;
        }
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, static_cast<int>(left < 100 ? left : 100));
    }
    XCloseDisplay(display);

    usleep(static_cast<useconds_t>(rssAfterMs) * 1000);
    const long rss = residentKb(pid);
    stop(pid);
    std::printf("map_ms=%.1f", mappedAt - started);
    if (watchText) {
        std::printf(" text_ms=%.1f cpu_ms=%.1f", textAt - started, textCpuMs);
    }
    std::printf(" rss_kb=%ld\n", rss);
    return rss < 0 ? 1 : 0;
}
