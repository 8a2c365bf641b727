// SPDX-License-Identifier: MIT
// The cost of the handlers the program runs while it waits and while the user types.
#include <benchmark/benchmark.h>

#include "core/form1.h"
#include "core/program.h"
#include "fakes/fake_system.h"

namespace veltrask {
namespace {

struct Running {
    testing::FakeSystem system{9 * 3600 * 1000};
    testing::RecordingPresenter presenter;
    core::Program program{system, presenter};
    Running() { program.start(); }
    core::Form1& main() { return program.form1(); }
};

void ClockTick(benchmark::State& state) {
    Running running;
    core::Form1& form = running.main();
    running.program.dispatch([&] {
        form.setText(form.text1, "23");
        form.setText(form.text2, "59");
        form.setText(form.text3, "58");
    });
    for (auto _ : state) {
        running.program.dispatch([&] { form.timer1Tick(); });
    }
}
BENCHMARK(ClockTick);

void Confirm(benchmark::State& state) {
    Running running;
    core::Form1& form = running.main();
    running.program.dispatch([&] {
        form.option2Click();
        form.setText(form.text5, "1");
        form.setText(form.text6, "30");
        form.setText(form.text7, "15");
    });
    for (auto _ : state) {
        running.program.dispatch([&] { form.command1Click(); });
    }
}
BENCHMARK(Confirm);

void KeystrokeThroughTheChangeRule(benchmark::State& state) {
    Running running;
    core::Form1& form = running.main();
    for (auto _ : state) {
        running.program.dispatch([&] {
            form.setFocus(form.text1);
            if (form.keyPress(form.text1, U'2')) {
                form.setText(form.text1, form.text1.text + "2");
            }
            form.setText(form.text1, "");
        });
    }
}
BENCHMARK(KeystrokeThroughTheChangeRule);

}  // namespace
}  // namespace veltrask

BENCHMARK_MAIN();
