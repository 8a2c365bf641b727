// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/program.h"
#include "desktop_fixture.h"
#include "ui/window_view.h"

namespace veltrask::testing {

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
    void reminderDrawsWholeLinesOnly();
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
    void optionButtonsChooseWithArrowKeys_data();
    void optionButtonsChooseWithArrowKeys();
    void oneKeystrokeIsOneEvent();
    void websiteLabelOpensAddress();

    // life_cycle_test.cpp
    void closingMainWindowEndsProgram();
    void lastWindowEndsProgram();
    void reminderClosedWhileMainHiddenKeepsRunning();
    void reminderButtonBringsMainWindowBack();
    void confirmationKeysCarryOut_data();
    void confirmationKeysCarryOut();
    void refusedActionIsToldInAWindow();
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

    std::unique_ptr<Desktop> desktop_;
    core::Program* program_ = nullptr;
};

template <typename Widget>
Widget* UiTest::control(const ui::WindowView* view, const char* name) const {
    if (view == nullptr) {
        return nullptr;
    }
    return view->findChild<Widget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

}  // namespace veltrask::testing
