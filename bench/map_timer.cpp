// SPDX-License-Identifier: MIT
// Starts a program and reports how long it took from exec to the first top-level window being
// mapped, as the X server saw it, and how much memory it holds a moment later. Watching the
// server rather than the program keeps the measurement out of the program measured.
//
//   map_timer [--rss-after MS] [--timeout S] PROGRAM [ARGUMENT...]
//
// Prints "map_ms=… rss_kb=…" and stops the program again. The program inherits this
// process's environment: whoever calls this decides what it may reach.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    std::fprintf(stderr, "usage: %s [--rss-after MS] [--timeout S] PROGRAM [ARGUMENT...]\n", self);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int rssAfterMs = 1000;
    int timeoutS = 30;
    int first = 1;
    for (; first + 1 < argc; first += 2) {
        if (std::strcmp(argv[first], "--rss-after") == 0) {
            rssAfterMs = std::atoi(argv[first + 1]);
        } else if (std::strcmp(argv[first], "--timeout") == 0) {
            timeoutS = std::atoi(argv[first + 1]);
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
    const Window root = DefaultRootWindow(display);
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
    const double deadline = started + timeoutS * 1000.0;
    while (mappedAt < 0) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            // Popups and tooltips bypass the window manager; a window a user would call a
            // window does not.
            if (event.type == MapNotify && event.xmap.event == root &&
                !event.xmap.override_redirect) {
                mappedAt = monotonicMs();
                break;
            }
        }
        if (mappedAt >= 0) {
            break;
        }
        const double left = deadline - monotonicMs();
        if (left <= 0 || waitpid(pid, nullptr, WNOHANG) == pid) {
            std::fprintf(stderr, "map_timer: %s mapped no window\n", argv[first]);
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
    std::printf("map_ms=%.1f rss_kb=%ld\n", mappedAt - started, rss);
    return rss < 0 ? 1 : 0;
}
