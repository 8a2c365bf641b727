// SPDX-License-Identifier: MIT
// The Qt windows driven in-process on the offscreen platform: what a thousand pop-up windows
// leave behind, how late the clock shows each new second, and how late a reminder comes.
// Prints one "name=value" line per figure. Nothing here leaves the process: commands, beeps and
// the end of the program are only recorded.
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/form1.h"
#include "core/form3.h"
#include "core/form4.h"
#include "core/program.h"
#include "fakes/fake_system.h"
#include "platform/desktop_system.h"
#include "ui/appearance.h"
#include "ui/desktop_presenter.h"
#include "ui/window_view.h"

namespace veltrask::bench {

namespace {

double wallMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The real windows, with the moments the clock and the reminders came up written down.
class TimedPresenter final : public core::Presenter {
public:
    core::Program* program = nullptr;
    ui::DesktopPresenter desktop;
    std::vector<double> clockShown;     // wall time of each change of the main window's clock
    std::vector<double> reminderShown;  // wall time of each reminder coming up

    void showWindow(core::Window& window) override {
        desktop.showWindow(window);
        if (window.kind() == core::WindowKind::Form4) {
            reminderShown.push_back(wallMs());
        }
    }
    void hideWindow(core::Window& window) override { desktop.hideWindow(window); }
    void destroyWindow(core::Window& window) override { desktop.destroyWindow(window); }
    void showFailure(const std::string& message, std::function<void()> acknowledged) override {
        desktop.showFailure(message, std::move(acknowledged));
    }
    void stateChanged() override {
        desktop.stateChanged();
        const core::Form1* main = program != nullptr ? program->existingForm1() : nullptr;
        if (main != nullptr && main->label1.text != shownClock_) {
            shownClock_ = main->label1.text;
            clockShown.push_back(wallMs());
        }
    }

private:
    std::string shownClock_;
};

struct Memory {
    long residentKb = 0;
    long heapKb = 0;
};

Memory memoryNow() {
    // Freed memory the allocator still holds is no growth of the program's.
    malloc_trim(0);
    Memory memory;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            memory.residentKb = std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    memory.heapKb = static_cast<long>(mallinfo2().uordblks / 1024);
    return memory;
}

// What the event loop does between user events: deferred deletions and whatever else is queued.
void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool clickButton(TimedPresenter& presenter, const core::Window* window, const char* name) {
    ui::WindowView* view = window != nullptr ? presenter.desktop.viewOf(*window) : nullptr;
    auto* button =
        view != nullptr ? view->findChild<QPushButton*>(QString::fromLatin1(name)) : nullptr;
    if (button == nullptr) {
        return false;
    }
    button->click();
    return true;
}

// The confirmation window the way the clock fires it, then cancelled with its button.
bool confirmationCycle(TimedPresenter& presenter, core::Program& program) {
    program.dispatch([&] {
        program.form1().chooseAction(1);  // 关闭计算机
        program.showForm3();
        program.close(program.form1());
    });
    settle();
    if (!clickButton(presenter, program.existingForm3(), "Command2")) {
        return false;
    }
    settle();
    return program.existingForm3() == nullptr && program.existingForm1() != nullptr;
}

bool reminderCycle(TimedPresenter& presenter, core::Program& program) {
    program.dispatch([&] { program.showForm4(); });
    settle();
    if (!clickButton(presenter, program.existingForm4(), "Command1")) {
        return false;
    }
    settle();
    return program.existingForm4() == nullptr;
}

// Growth in kB over `cycles` cycles, after a few to let caches (fonts, styles) fill.
bool growth(const char* name, int cycles, const std::function<bool()>& cycle) {
    for (int i = 0; i < 50; ++i) {
        if (!cycle()) {
            std::fprintf(stderr, "ui_bench: %s cycle failed\n", name);
            return false;
        }
    }
    const Memory before = memoryNow();
    for (int i = 0; i < cycles; ++i) {
        if (!cycle()) {
            std::fprintf(stderr, "ui_bench: %s cycle failed\n", name);
            return false;
        }
    }
    const Memory after = memoryNow();
    std::printf("growth_%s_rss_kb=%ld\n", name, after.residentKb - before.residentKb);
    std::printf("growth_%s_heap_kb=%ld\n", name, after.heapKb - before.heapKb);
    return true;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double maximum(const std::vector<double>& values) {
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

// How late each new second appears on the main window's clock.
void clockLag(TimedPresenter& presenter, int seconds) {
    presenter.clockShown.clear();
    runFor(seconds * 1000 + 300);
    std::vector<double> lags;
    for (const double shown : presenter.clockShown) {
        lags.push_back(shown - 1000.0 * static_cast<double>(static_cast<long long>(shown / 1000)));
    }
    std::printf("clock_lag_median_ms=%.1f\n", median(lags));
    std::printf("clock_lag_max_ms=%.1f\n", maximum(lags));
    std::printf("clock_lag_samples=%zu\n", lags.size());
}

// A reminder set for a second two seconds ahead: how long after that second began it shows.
bool reminderLag(TimedPresenter& presenter, core::Program& program, int reminders) {
    std::vector<double> lags;
    for (int i = 0; i < reminders; ++i) {
        const double now = wallMs();
        const auto target = static_cast<time_t>(now / 1000) + 2;
        tm local{};
        localtime_r(&target, &local);
        program.dispatch([&] {
            core::Form1& form = program.form1();
            form.setText(form.text1, twoDigits(local.tm_hour));
            form.setText(form.text2, twoDigits(local.tm_min));
            form.setText(form.text3, twoDigits(local.tm_sec));
            form.command1Click();
        });
        presenter.reminderShown.clear();
        const double deadline = now + 5000;
        while (presenter.reminderShown.empty() && wallMs() < deadline) {
            runFor(10);
        }
        if (presenter.reminderShown.empty()) {
            std::fprintf(stderr, "ui_bench: no reminder within 5 s\n");
            return false;
        }
        lags.push_back(presenter.reminderShown.front() - static_cast<double>(target) * 1000.0);
        if (!clickButton(presenter, program.existingForm4(), "Command1")) {
            return false;
        }
        settle();
    }
    std::printf("reminder_lag_median_ms=%.1f\n", median(lags));
    std::printf("reminder_lag_max_ms=%.1f\n", maximum(lags));
    return true;
}

}  // namespace

int run(int cycles, int clockSeconds, int reminders) {
    ui::applyAppearance();
    QApplication::setQuitOnLastWindowClosed(false);
    // The real clock and timers; whatever would leave the process is only recorded.
    platform::DesktopSystem realTime;
    testing::FakeSystem system(realTime);
    TimedPresenter presenter;
    core::Program program(system, presenter);
    presenter.program = &program;
    program.start();
    settle();

    bool ok =
        growth("confirmation", cycles, [&] { return confirmationCycle(presenter, program); }) &&
        growth("reminder", cycles, [&] { return reminderCycle(presenter, program); });
    if (ok) {
        clockLag(presenter, clockSeconds);
        ok = reminderLag(presenter, program, reminders);
    }
    if (!system.commands.empty() || !system.endings.empty()) {
        std::fprintf(stderr, "ui_bench: the program tried to act or end\n");
        return 1;
    }
    return ok ? 0 : 1;
}

}  // namespace veltrask::bench

int main(int argc, char* argv[]) {
    // The offscreen platform says so on every window brought to the front.
    static const QtMessageHandler passOn = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (message != QLatin1String("This plugin does not support raise()")) {
                passOn(type, context, message);
            }
        });
    QApplication app(argc, argv);
    int cycles = 1000;
    int clockSeconds = 10;
    int reminders = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int value = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--cycles") == 0) {
            cycles = value;
        } else if (std::strcmp(argv[i], "--clock-seconds") == 0) {
            clockSeconds = value;
        } else if (std::strcmp(argv[i], "--reminders") == 0) {
            reminders = value;
        }
    }
    return veltrask::bench::run(cycles, clockSeconds, reminders);
}
