// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/program.h"
#include "ui/desktop_platform.h"
#include "ui/window_view.h"

namespace veltrask::testing {

// The desktop platform with a clock that stands still and with everything that would leave the
// process recorded instead.
class RecordingPlatform final : public ui::DesktopPlatform {
public:
    int clockMs = (9 * 3600 + 30 * 60) * 1000;  // 9:30:00
    std::vector<std::string> commands;
    int beeps = 0;
    std::vector<int> endings;

    int msecsSinceMidnight() override { return clockMs; }
    bool runCommand(std::string_view commandLine) override {
        commands.emplace_back(commandLine);
        return true;
    }
    void beep() override { ++beeps; }
    void endProgram(int exitCode) override { endings.push_back(exitCode); }
};

class UiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // layout_test.cpp
    void mainWindowTable_data();
    void mainWindowTable();
    void mainWindowDesign();
    void mainWindowTabOrder();
    void confirmationTable_data();
    void confirmationTable();
    void reminderTable_data();
    void reminderTable();
    void reminderShowsMarkupLiterally();
    void everyTextIsWhole();

    // interaction_test.cpp
    void typingIntoNumericFields_data();
    void typingIntoNumericFields();
    void editingKeys_data();
    void editingKeys();
    void pasting_data();
    void pasting();
    void inputMethodCommits_data();
    void inputMethodCommits();
    void actionListArrowKeys();
    void actionListIgnoresTypingAndWheel();
    void reminderPlaceholderFollowsFocus();
    void tabWalksTheFocusableControls();
    void countdownModeByMouse();
    void websiteLabelOpensAddress();

    // life_cycle_test.cpp
    void closingMainWindowEndsProgram();
    void lastWindowEndsProgram();
    void reminderClosedWhileMainHiddenKeepsRunning();
    void reminderButtonBringsMainWindowBack();
    void confirmationKeysCarryOut_data();
    void confirmationKeysCarryOut();
    void confirmationCancelBringsFreshMainWindow_data();
    void confirmationCancelBringsFreshMainWindow();
    void clockTargetFiresConfirmation();

private:
    ui::WindowView* viewOf(const core::Window* window) const;
    ui::WindowView* mainView() const;
    template <typename Widget>
    Widget* control(const ui::WindowView* view, const char* name) const;
    // Fires the shutdown action the way the clock does: the confirmation window opens while the
    // main window still holds the values, then the main window is closed.
    ui::WindowView* openConfirmation();
    ui::WindowView* openReminder();
    // Makes sure the window is active, so that key and focus events behave as for a user.
    static void activate(QWidget* view);

    std::unique_ptr<RecordingPlatform> platform_;
    std::unique_ptr<core::Program> program_;
};

template <typename Widget>
Widget* UiTest::control(const ui::WindowView* view, const char* name) const {
    if (view == nullptr) {
        return nullptr;
    }
    return view->findChild<Widget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

}  // namespace veltrask::testing
