// SPDX-License-Identifier: MIT
// Seeded random event sequences against the core, with one checker of the invariants every
// sequence must keep. VELTRASK_SEQUENCES sets how many (a long run), VELTRASK_SEED replays one,
// VELTRASK_TRACE prints the clock, passages and beeps after each event of the clock-target test.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "core/time_text.h"
#include "harness.h"

namespace veltrask::testing {
namespace {

using core::Control;
using core::Form1;

std::uint64_t environmentNumber(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

// When a confirmed countdown must fire, by the reference model.
struct ArmedCountdown {
    std::int64_t armedAtMs;
    double seconds;
    std::int64_t lateMs = 0;  // ticks delivered late since it was armed
};

class Sequence {
public:
    explicit Sequence(std::uint64_t seed)
        : random_(seed), session_(clockAt(0, 0, 0) + pick(0, 24 * 3600 * 1000 - 1)) {}

    // Runs events until the program ends or the budget is spent; returns the first broken rule.
    std::optional<std::string> run(int events) {
        for (int i = 0; i < events && session_.system.endings.empty(); ++i) {
            const bool armed = somethingArmed();
            const int beeps = session_.system.beeps;
            step();
            if (session_.system.beeps > beeps && !armed) {
                return "after event " + std::to_string(i) + " (" + last_ +
                       "): a window popped up with nothing scheduled";
            }
            if (auto failure = check()) {
                return "after event " + std::to_string(i) + " (" + last_ + "): " + *failure;
            }
        }
        return std::nullopt;
    }

private:
    std::int64_t pick(std::int64_t low, std::int64_t high) {
        return std::uniform_int_distribution<std::int64_t>(low, high)(random_);
    }
    template <typename T>
    const T& among(const std::vector<T>& items) {
        return items[static_cast<std::size_t>(
            pick(0, static_cast<std::int64_t>(items.size()) - 1))];
    }

    // Whether the main window holds a whole clock-time target or a running countdown.
    bool somethingArmed() const {
        const Form1* form = session_.program.existingForm1();
        return form != nullptr && ((!form->text1.text.empty() && !form->text2.text.empty() &&
                                    !form->text3.text.empty()) ||
                                   !form->label13.text.empty());
    }

    Form1* visibleMain() {
        Form1* form = session_.program.existingForm1();
        return form != nullptr && form->isVisible() ? form : nullptr;
    }

    std::vector<Control*> focusable(Form1& form) {
        std::vector<Control*> result;
        for (Control* control : form.controls()) {
            if (control->canTakeFocus()) {
                result.push_back(control);
            }
        }
        return result;
    }

    void step() {
        const std::int64_t kind = pick(0, 99);
        Form1* form = visibleMain();
        if (kind < 30 && form != nullptr) {
            typeKey(*form);
        } else if (kind < 36 && form != nullptr) {
            paste(*form);
        } else if (kind < 44 && form != nullptr) {
            Control& control = *among(std::vector<Control*>{
                &form->command1, &form->option1, &form->option2, &form->label14, &form->command1});
            last_ = "click " + control.name;
            if (&control == &form->command1) {
                confirm(*form);
            } else {
                session_.click(*form, control);
            }
        } else if (kind < 50 && form != nullptr) {
            const auto index = static_cast<std::size_t>(pick(0, 3));
            last_ = "choose " + std::string(core::kActionNames[index]);
            session_.act([&] { form->chooseAction(index); });
        } else if (kind < 55 && form != nullptr) {
            Control& control = *among(focusable(*form));
            last_ = "focus " + control.name;
            session_.focus(*form, control);
        } else if (kind < 85) {
            const std::int64_t ms = pick(0, 9) == 0 ? pick(1000, 180'000) : pick(1, 1500);
            last_ = "advance " + std::to_string(ms);
            session_.system.advance(ms);
        } else if (kind < 88) {
            const std::int64_t ms = pick(1, 3000);
            last_ = "late ticks " + std::to_string(ms);
            session_.system.delayTimers(ms);
            if (countdown_) {
                countdown_->lateMs += ms;
            }
        } else if (kind < 90) {
            const std::int64_t ms = pick(-2 * 3600'000, 26 * 3600'000);
            last_ = "clock jump " + std::to_string(ms);
            session_.system.jumpClock(ms);
        } else if (kind < 95) {
            popUpEvent();
        } else if (kind < 97 && form != nullptr && pick(0, 19) == 0) {
            last_ = "close Form1";
            session_.act([&] { session_.program.close(*form); });
        } else {
            last_ = "advance 1000";
            session_.system.advance(1000);
        }
    }

    void typeKey(Form1& form) {
        static const std::vector<char32_t> keys{U'0',    U'1',    U'2',    U'3',  U'5', U'9',
                                                U'\b',   U'a',    U' ',    U'-',  U'.', U'\r',
                                                U'\x03', U'\x16', U'\x18', U'时', U'１'};
        std::vector<Control*> targets = focusable(form);
        Control& control = *among(targets);
        const char32_t key = among(keys);
        last_ = "type U+" + std::to_string(static_cast<unsigned>(key)) + " into " + control.name;
        session_.act([&] {
            form.setFocus(control);
            if (control.kind == core::ControlKind::TextBox) {
                Session::typeKey(form, control, key);
            }
        });
    }

    void paste(Form1& form) {
        static const std::vector<std::string> texts{"12",
                                                    "1a",
                                                    "7",
                                                    "999999",
                                                    "",
                                                    "<b>x</b><img src=x>",
                                                    "\xE2\x80\xAE"
                                                    "abc",
                                                    "\t\n",
                                                    "00",
                                                    std::string(400, '9'),
                                                    "-5",
                                                    "2.5",
                                                    "开会"};
        static const std::vector<Control*> none;
        std::vector<Control*> boxes;
        for (Control* control : focusable(form)) {
            if (control->kind == core::ControlKind::TextBox ||
                control->kind == core::ControlKind::ComboBox) {
                boxes.push_back(control);
            }
        }
        if (boxes.empty()) {
            return;
        }
        Control& control = *among(boxes);
        const std::string proposed = control.text + among(texts);
        last_ = "paste into " + control.name;
        session_.act([&] {
            if (std::optional<std::string> taken = form.textTaken(control, proposed)) {
                form.setText(control, *taken);
            }
        });
    }

    void confirm(Form1& form) {
        session_.click(form, form.command1);
        const bool countdownFilled =
            !form.text5.text.empty() || !form.text6.text.empty() || !form.text7.text.empty();
        const std::optional<double> remaining = core::textToNumber(form.label13.text);
        if (countdownFilled && remaining && form.timer2.enabled() &&
            session_.program.existingForm1() == &form) {
            // A shared tick delayed before the countdown was armed may still be outstanding.
            const std::int64_t outstanding = std::max<std::int64_t>(
                0, session_.system.nextDueMs() - (session_.system.nowMs() + 1000));
            countdown_ = ArmedCountdown{session_.system.nowMs(), *remaining, outstanding};
            ++countdownsArmed;
            countdownOwner_ = &form;
        }
    }

    void popUpEvent() {
        if (core::Form3* confirmation = session_.program.existingForm3()) {
            const std::int64_t choice = pick(0, 2);
            last_ = choice == 0 ? "Form3 Command1" : choice == 1 ? "Form3 Command2" : "close Form3";
            session_.act([&] {
                if (choice == 0) {
                    confirmation->click(confirmation->command1);
                } else if (choice == 1) {
                    confirmation->click(confirmation->command2);
                } else {
                    session_.program.close(*confirmation);
                }
            });
        } else if (core::Form4* reminder = session_.program.existingForm4()) {
            const bool button = pick(0, 1) == 0;
            last_ = button ? "Form4 Command1" : "close Form4";
            session_.act([&] {
                if (button) {
                    reminder->click(reminder->command1);
                } else {
                    session_.program.close(*reminder);
                }
            });
        } else {
            last_ = "advance 200";
            session_.system.advance(200);
        }
    }

    std::optional<std::string> check() {
        const FakeSystem& system = session_.system;
        static const std::set<std::string> allowed{"Shutdown -s -t 00", "Shutdown -r -t 00",
                                                   "Shutdown -l -t 00",
                                                   "explorer.exe " + std::string(core::kWebsite)};
        for (const std::string& command : system.commands) {
            if (!allowed.contains(command)) {
                return "ran an unexpected command: " + command;
            }
        }
        if (system.endings.size() > 1) {
            return "ended twice";
        }
        const std::size_t systemCommands =
            system.commands.size() -
            static_cast<std::size_t>(std::count(system.commands.begin(), system.commands.end(),
                                                *std::prev(allowed.end())));
        if (systemCommands > 1) {
            return "carried out more than one system action";
        }
        if (systemCommands == 1 && system.endings.empty()) {
            return "a system action ran but the program went on";
        }
        if (!system.endings.empty()) {
            return std::nullopt;
        }
        const Form1* form = session_.program.existingForm1();
        if (form == nullptr && session_.program.existingForm3() == nullptr &&
            session_.program.existingForm4() == nullptr) {
            return "no window is left but the program did not end";
        }
        if (form != nullptr) {
            for (const Control* field : {&form->text1, &form->text2, &form->text3, &form->text4,
                                         &form->text5, &form->text6, &form->text7}) {
                if (!field->text.empty() && !core::isDigits(field->text)) {
                    return field->name + " holds " + field->text;
                }
            }
            if (!form->label13.text.empty() && !core::textToNumber(form->label13.text)) {
                return "Label13 holds " + form->label13.text;
            }
            if (!form->timer1.enabled()) {
                return "the main window's clock stopped";
            }
        }
        return checkCountdown(form);
    }

    std::optional<std::string> checkCountdown(const Form1* form) {
        if (!countdown_) {
            return std::nullopt;
        }
        // A countdown ends with its main window: closed by the user or replaced by a firing.
        if (form != countdownOwner_) {
            countdown_.reset();
            return std::nullopt;
        }
        const std::int64_t elapsed = session_.system.nowMs() - countdown_->armedAtMs;
        if (form->label13.text.empty()) {  // fired as a reminder
            // The shared tick may come up to 20 ms before a countdown's second is quite over.
            const double earliest = countdown_->seconds * 1000 - 20;
            countdown_.reset();
            if (static_cast<double>(elapsed) < earliest) {
                return "a countdown fired early, after " + std::to_string(elapsed) + " ms";
            }
            return std::nullopt;
        }
        const double latest =
            (countdown_->seconds + 1) * 1000 + static_cast<double>(countdown_->lateMs) + 10;
        if (static_cast<double>(elapsed) > latest) {
            return "a countdown of " + core::numberToText(countdown_->seconds) +
                   " s has not fired after " + std::to_string(elapsed) + " ms";
        }
        return std::nullopt;
    }

public:
    int beeps() const { return session_.system.beeps; }
    bool carriedOut() const { return !session_.system.endings.empty(); }
    int countdownsArmed = 0;

private:
    std::mt19937_64 random_;
    Session session_;
    std::optional<ArmedCountdown> countdown_;
    const Form1* countdownOwner_ = nullptr;
    std::string last_;
};

TEST(RandomSequences, KeepEveryRule) {
    const std::uint64_t sequences = environmentNumber("VELTRASK_SEQUENCES", 2000);
    const std::uint64_t firstSeed = environmentNumber("VELTRASK_SEED", 1);
    const std::uint64_t count = std::getenv("VELTRASK_SEED") != nullptr ? 1 : sequences;
    int popUps = 0, endings = 0, countdowns = 0;
    for (std::uint64_t seed = firstSeed; seed < firstSeed + count; ++seed) {
        Sequence sequence(seed);
        if (const auto failure = sequence.run(300)) {
            FAIL() << "seed " << seed << " (replay with VELTRASK_SEED=" << seed
                   << "): " << *failure;
        }
        popUps += sequence.beeps();
        endings += sequence.carriedOut() ? 1 : 0;
        countdowns += sequence.countdownsArmed;
    }
    std::cout << count << " sequences: " << countdowns << " countdowns armed, " << popUps
              << " windows popped up, " << endings << " ended by their own action or close\n";
}

// A clock-time reminder fires once each time the clock enters its second while running, with late
// ticks and jumps of less than a minute caught up. A jump of a minute or more, or any jump back,
// skips the seconds it jumps over (and the one it lands in, which no tick writes either).
TEST(RandomSequences, ClockTargetsFireOncePerPassage) {
    static constexpr std::int64_t kDay = core::kSecondsPerDay;
    auto secondOf = [](std::int64_t ms) {
        const std::int64_t second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
        return static_cast<int>(((second % kDay) + kDay) % kDay);
    };
    const std::uint64_t sequences = environmentNumber("VELTRASK_SEQUENCES", 2000) / 4 + 1;
    for (std::uint64_t seed = 1; seed <= sequences; ++seed) {
        std::mt19937_64 random(seed);
        auto pick = [&](std::int64_t low, std::int64_t high) {
            return std::uniform_int_distribution<std::int64_t>(low, high)(random);
        };
        const int target = static_cast<int>(pick(0, kDay - 1));
        const std::int64_t start = (target - pick(1, 90) + kDay) % kDay * 1000 + pick(0, 999);
        Session session(start);
        Form1& form = session.main();
        const std::string text = core::timeText(target);
        session.setText(form, form.text1, std::to_string(target / 3600));
        session.setText(form, form.text2, text.substr(text.size() - 5, 2));
        session.setText(form, form.text3, text.substr(text.size() - 2));

        int passages = 0;
        auto run = [&](std::int64_t ms) {
            const std::int64_t before = session.system.wallMs();
            session.system.advance(ms);
            for (std::int64_t t = before / 1000 + 1; t <= session.system.wallMs() / 1000; ++t) {
                passages += secondOf(t * 1000) == target ? 1 : 0;
            }
        };
        std::ostringstream story;
        for (int event = 0; event < 40; ++event) {
            // Every event starts just after a tick, so that no two jumps add up unseen.
            run(1000 - session.system.wallMs() % 1000 + 20);
            const std::int64_t kind = pick(0, 9);
            if (kind < 3) {
                const std::int64_t jump = 1000 * (pick(0, 1) ? pick(2, 45) : pick(60, 3600));
                story << " jump " << jump;
                if (jump <= 45'000) {
                    for (std::int64_t t = 1; t <= jump / 1000; ++t) {
                        passages += secondOf(session.system.wallMs() + t * 1000) == target ? 1 : 0;
                    }
                }
                session.system.jumpClock(jump);
            } else if (kind < 5) {
                const std::int64_t jump = -1000 * pick(1, 300);
                story << " jump " << jump;
                session.system.jumpClock(jump);
            } else if (kind < 7) {
                const std::int64_t late = pick(100, 20'000);
                story << " late " << late;
                session.system.delayTimers(late);
                run(late + 1000);  // until the late tick has come
            } else {
                const std::int64_t ms = pick(200, 5000);
                story << " run " << ms;
                run(ms);
            }
            if (std::getenv("VELTRASK_TRACE") != nullptr) {
                story << " [" << core::timeText(secondOf(session.system.wallMs())) << " p"
                      << passages << " b" << session.system.beeps << " L" << form.label1.text
                      << "]";
            }
            // Acknowledge at once, so that every firing opens a new reminder and beeps.
            if (core::Form4* reminder = session.program.existingForm4()) {
                session.act([&] { session.program.close(*reminder); });
            }
        }
        run(1100);
        ASSERT_EQ(session.system.beeps, passages)
            << "seed " << seed << ", target " << text << ", start "
            << core::timeText(static_cast<int>(start / 1000)) << ":" << story.str();
    }
}

}  // namespace
}  // namespace veltrask::testing
