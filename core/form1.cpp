// SPDX-License-Identifier: MIT
#include "form1.h"

#include <optional>
#include <string>

#include "numbers.h"
#include "time_text.h"

namespace veltrask::core {

namespace {

// Every line break a paste or a drop may bring (CR LF as one) becomes one blank.
std::string withLineBreaksAsSpaces(std::string_view text) {
    constexpr std::string_view kBreaks[] = {"\r\n", "\r",     "\n",     "\v",
                                            "\f",   "\u0085", "\u2028", "\u2029"};
    std::string result;
    result.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = 0;
        for (const std::string_view lineBreak : kBreaks) {
            if (text.starts_with(lineBreak)) {
                length = lineBreak.size();
                break;
            }
        }
        if (length > 0) {
            result += ' ';
        } else {
            result += text.front();
            length = 1;
        }
        text.remove_prefix(length);
    }
    return result;
}

// A late tick makes up for the seconds it skipped only when the clock moved on by less than a
// minute; a larger jump is a suspended computer or a changed clock, and catching up on it would
// carry out a stale schedule the moment the computer wakes.
constexpr int kLongestCatchUpSeconds = 59;

std::string twoDigits(int value) {
    return std::string{static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

bool filled(const Control& field) {
    return !field.text.empty();
}

}  // namespace

Form1::Form1(Windows& windows)
    : Window(windows, WindowKind::Form1, std::string(kMainCaption)),
      timer1(windows, "Timer1", TimerControl::Pacing::EverySecond, [this] { timer1Tick(); }),
      timer2(windows, "Timer2", TimerControl::Pacing::RealSeconds, [this] { timer2Tick(); }) {
    setControls({&label1,  &text1,   &label2,   &label3,  &text2,  &label4,  &text3,
                 &label5,  &label6,  &command1, &label8,  &text4,  &label9,  &combo1,
                 &option1, &option2, &text5,    &label10, &text6,  &label11, &text7,
                 &label12, &label13, &text8,    &label7,  &label14});
    label8.visible = false;
    text4.enabled = false;
    text4.visible = false;
    label9.visible = false;
    option1.checked = true;
    text5.enabled = false;
    text6.enabled = false;
    text7.enabled = false;
    label13.visible = false;
    text8.foreColor = kGrey;
    label14.foreColor = kDarkBlue;
    timer1.setEnabled(true);
}

Form1::~Form1() = default;

void Form1::startUp() {
    setText(label1, windows().currentTimeText());
    focusFirst();
}

void Form1::stopTimers() {
    timer1.setEnabled(false);
    timer2.setEnabled(false);
}

// Clock tick. A fired system action replaces this window; the fresh main window shows the time
// from its own start-up, so nothing more is done here then.
void Form1::timer1Tick() {
    const int nowSeconds = windows().system().msecsSinceMidnight() / 1000;
    if (clockTimeDue(nowSeconds) && fire()) {
        return;
    }
    if (countdownDue()) {
        if (fire()) {
            return;
        }
        timer2.setEnabled(false);
        setText(label13, "");
    }
    setText(label1, windows().currentTimeText());
}

bool Form1::targetMatches(int secondOfDay) const {
    const int hour = secondOfDay / 3600;
    if (text2.text != twoDigits(secondOfDay / 60 % 60) ||
        text3.text != twoDigits(secondOfDay % 60)) {
        return false;
    }
    // The hour matches by value, so that "09" and the "00" of a reset hour are not dead targets.
    if (isDigits(text1.text) && text1.text.size() <= 2) {
        return std::stoi(text1.text) == hour;
    }
    return text1.text == std::to_string(hour);
}

bool Form1::clockTimeDue(int nowSeconds) const {
    const std::optional<int> shown = parseTimeText(label1.text);
    if (!shown) {
        return false;
    }
    bool due = targetMatches(*shown);
    const int gap = ((nowSeconds - *shown) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
    if (gap <= kLongestCatchUpSeconds) {
        // Seconds that no tick wrote to Label1 count as seen now.
        for (int step = 1; step < gap && !due; ++step) {
            due = targetMatches((*shown + step) % kSecondsPerDay);
        }
    }
    return due;
}

bool Form1::countdownDue() const {
    const std::optional<double> remaining = textToNumber(label13.text);
    return remaining && *remaining <= 0;
}

bool Form1::fire() {
    if (combo1.text == kRemindMe) {
        windows().openReminder();
        return false;
    }
    windows().replaceMainWithConfirmation();
    return true;
}

void Form1::timer2Tick() {
    const std::optional<double> remaining = textToNumber(label13.text);
    // Never below zero: the clock tick fires at zero whichever of the two timers comes first.
    if (!remaining || *remaining <= 0) {
        return;
    }
    setText(label13, numberToText(*remaining - 1));
}

void Form1::command1Click() {
    arm();
    if (windows().systemActionArmed()) {
        windows().holdAwake(awakeReason());
    }
}

bool Form1::countdownRunning() const {
    return timer2.enabled() && !label13.text.empty();
}

bool Form1::targetComplete() const {
    return !text1.text.empty() && !text2.text.empty() && !text3.text.empty();
}

std::string Form1::awakeReason() const {
    if (countdownRunning()) {
        return "倒计时 " + label13.text + " 秒后" + combo1.text;
    }
    return "将在 " + text1.text + ":" + text2.text + ":" + text3.text + " " + combo1.text;
}

void Form1::arm() {
    if (text4.text.empty()) {
        setText(text4, std::string(kDefaultLeadTime));
    }
    for (Control* field : {&text2, &text3}) {
        if (field->text.size() == 1 && isDigits(field->text)) {
            setText(*field, "0" + field->text);
        }
    }

    const bool countdownFilled = filled(text5) || filled(text6) || filled(text7);
    if (isActionName(combo1.text)) {
        if ((filled(text1) && filled(text2) && filled(text3)) || countdownFilled) {
            windows().hide(*this);
        }
    }
    if (!countdownFilled) {
        return;
    }

    std::string total;
    if (!filled(text5) && !filled(text6)) {
        // The seconds alone are taken as typed, as long as they can be counted down.
        if (!countableNumber(text7.text)) {
            return;
        }
        total = text7.text;
    } else {
        double seconds = 0;
        for (auto [field, factor] : {std::pair{&text5, 3600.0}, {&text6, 60.0}, {&text7, 1.0}}) {
            if (!filled(*field)) {
                continue;
            }
            const std::optional<double> value = textToNumber(field->text);
            if (!value) {
                return;  // not a countdown the program can count
            }
            seconds += *value * factor;
        }
        if (seconds >= kFirstUncountable) {
            return;  // a countdown that could never reach zero
        }
        total = numberToText(seconds);
    }
    setText(label13, std::move(total));
    timer2.setEnabled(true);
}

void Form1::option1Click() {
    chooseMode(false);
}

void Form1::option2Click() {
    chooseMode(true);
}

// The mode not chosen has its fields emptied and disabled, so that only one kind of target is
// ever armed.
void Form1::chooseMode(bool byCountdown) {
    const std::initializer_list<Control*> clockFields{&text1, &text2, &text3};
    const std::initializer_list<Control*> countdownFields{&text5, &text6, &text7};
    const auto& chosen = byCountdown ? countdownFields : clockFields;
    const auto& other = byCountdown ? clockFields : countdownFields;
    setChecked(option1, !byCountdown);
    setChecked(option2, byCountdown);
    for (Control* field : chosen) {
        setEnabled(*field, true);
    }
    for (Control* field : other) {
        setEnabled(*field, false);
    }
    for (Control* field : other) {
        setText(*field, "");
    }
    setFocus(**chosen.begin());
}

void Form1::chooseAction(std::size_t index) {
    if (index >= kActionNames.size()) {
        return;
    }
    setText(combo1, std::string(kActionNames[index]));
    combo1Click();
}

void Form1::combo1Click() {
    if (combo1.text != kRemindMe) {
        setVisible(text8, false);
        setEnabled(text4, true);
        setVisible(label8, true);
        setVisible(label9, true);
        setVisible(text4, true);
        setFocus(text4);
        setText(label8, combo1.text + "前");
    } else {
        setEnabled(text4, false);
        setVisible(label8, false);
        setVisible(label9, false);
        setVisible(text4, false);
        setVisible(text8, true);
        setFocus(text8);
    }
}

void Form1::label14Click() {
    // An address that cannot be opened changes nothing.
    windows().system().runCommand(std::string(kOpenAddressCommand) + std::string(kWebsite), {});
}

void Form1::text8GotFocus() {
    if (text8.text == kReminderPlaceholder) {
        setText(text8, "");
    }
}

void Form1::text8LostFocus() {
    if (text8.text.empty()) {
        setText(text8, std::string(kReminderPlaceholder));
    }
}

void Form1::text8Change() {
    setForeColor(text8, text8.text == kReminderPlaceholder ? kGrey : kBlack);
}

bool Form1::isNumericField(const Control& control) const {
    for (const Control* field : {&text1, &text2, &text3, &text4, &text5, &text6, &text7}) {
        if (field == &control) {
            return true;
        }
    }
    return false;
}

Control* Form1::nextAfter(const Control& field) {
    if (&field == &text1)
        return &text2;
    if (&field == &text2)
        return &text3;
    if (&field == &text3)
        return &combo1;
    if (&field == &text5)
        return &text6;
    if (&field == &text6)
        return &text7;
    if (&field == &text7)
        return &combo1;
    return nullptr;
}

void Form1::numericFieldChange(Control& field) {
    Control* next = nextAfter(field);
    if (next == nullptr) {
        return;  // the lead time has no change rule
    }
    setMaxLength(field, 2);
    if (characterCount(field.text) == 2) {
        setFocus(*next);
    }
    const bool clockField = &field == &text1 || &field == &text2 || &field == &text3;
    if (clockField && filled(field)) {
        const double limit = &field == &text1 ? 23 : 59;
        // Digits too many for a double are over any limit too.
        const std::optional<double> value = textToNumber(field.text);
        if (value ? *value > limit : isDigits(field.text)) {
            setText(field, "00");
        }
    }
}

void Form1::changed(Control& control) {
    if (&control == &text8) {
        text8Change();
    } else if (isNumericField(control)) {
        numericFieldChange(control);
    }
}

void Form1::gotFocus(Control& control) {
    if (&control == &text8) {
        text8GotFocus();
    }
}

void Form1::lostFocus(Control& control) {
    if (&control == &text8) {
        text8LostFocus();
    }
}

void Form1::click(Control& control) {
    if (&control == &command1) {
        command1Click();
    } else if (&control == &option1) {
        option1Click();
    } else if (&control == &option2) {
        option2Click();
    } else if (&control == &label14) {
        label14Click();
    } else if (&control == &combo1) {
        combo1Click();
    }
}

bool Form1::keyPress(Control& control, char32_t character) {
    if (&control == &combo1) {
        return false;  // the action is chosen from the list only
    }
    if (isNumericField(control)) {
        return character == U'\b' || (character >= U'0' && character <= U'9');
    }
    return true;
}

std::optional<std::string> Form1::admitted(const Control& control,
                                           std::string_view proposedText) const {
    if (&control == &combo1) {
        return std::nullopt;
    }
    if (isNumericField(control)) {
        // Pasted or dropped text follows the same rule as typed characters: digits only.
        if (!proposedText.empty() && !isDigits(proposedText)) {
            return std::nullopt;
        }
    } else if (&control == &text8) {
        // One line in the box is one line in the reminder.
        return withLineBreaksAsSpaces(proposedText);
    }
    return std::string(proposedText);
}

}  // namespace veltrask::core
