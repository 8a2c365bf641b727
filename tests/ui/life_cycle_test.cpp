// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "core/form1.h"
#include "core/form3.h"
#include "core/form4.h"
#include "view_fixture.h"

namespace veltrask::testing {

namespace {

// What a user sees of the main window right after start-up, or after it was replaced.
void checkInitialMainWindow(const ui::WindowView* view) {
    QVERIFY(view != nullptr);
    QVERIFY(view->isVisible());
    for (const char* name : {"Text1", "Text2", "Text3", "Text5", "Text6", "Text7"}) {
        QCOMPARE(view->findChild<QLineEdit*>(name)->text(), QString());
    }
    QCOMPARE(view->findChild<QComboBox*>("Combo1")->currentText(), QStringLiteral("提醒我"));
    QVERIFY(view->findChild<QRadioButton*>("Option1")->isChecked());
    QVERIFY(!view->findChild<QLineEdit*>("Text4")->isVisible());
}

// Confirms a clock-time target well away from now: the main window hides and keeps its values.
void confirmTarget(ui::WindowView* view) {
    QTest::keyClicks(view->findChild<QLineEdit*>("Text1"), QStringLiteral("1"));
    QTest::mouseClick(view->findChild<QLineEdit*>("Text2"), Qt::LeftButton);
    QTest::keyClicks(view->findChild<QLineEdit*>("Text2"), QStringLiteral("5"));
    QTest::mouseClick(view->findChild<QLineEdit*>("Text3"), Qt::LeftButton);
    QTest::keyClicks(view->findChild<QLineEdit*>("Text3"), QStringLiteral("7"));
    QTest::mouseClick(view->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(view->isHidden());
}

}  // namespace

void UiTest::closingMainWindowEndsProgram() {
    QPointer<ui::WindowView> view = mainView();
    view->close();
    QCOMPARE(program_->existingForm1(), nullptr);
    QVERIFY(view->isHidden());
    QCOMPARE(desktop_->system.endings, std::vector<int>{0});
    flushDeletions();
    QVERIFY(view.isNull());
    QVERIFY(desktop_->system.commands.empty());
}

void UiTest::lastWindowEndsProgram() {
    QPointer<ui::WindowView> reminder = openReminder();
    reminder->close();
    QVERIFY(desktop_->system.endings.empty());
    QVERIFY(mainView()->isVisible());

    reminder = openReminder();
    mainView()->close();
    QVERIFY(desktop_->system.endings.empty());
    QVERIFY(reminder->isVisible());

    reminder->close();
    QCOMPARE(desktop_->system.endings, std::vector<int>{0});
    flushDeletions();
    QVERIFY(reminder.isNull());
}

void UiTest::reminderClosedWhileMainHiddenKeepsRunning() {
    // Hidden by confirm.
    ui::WindowView* main = mainView();
    confirmTarget(main);
    QPointer<ui::WindowView> reminder = openReminder();
    reminder->close();
    QVERIFY(desktop_->system.endings.empty());
    QVERIFY(main->isHidden());
    QCOMPARE(main->findChild<QLineEdit*>("Text2")->text(), QStringLiteral("05"));

    // Closed, then reached by name: a new main window in its initial state, hidden.
    reminder = openReminder();
    main->close();
    QVERIFY(program_->existingForm1() == nullptr);
    program_->dispatch([this] { program_->openHiddenMainWindow(); });
    QVERIFY(program_->existingForm1() != nullptr);
    QCOMPARE(mainView(), nullptr);
    reminder->close();
    QVERIFY(desktop_->system.endings.empty());
    flushDeletions();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
    }
}

void UiTest::reminderButtonBringsMainWindowBack() {
    ui::WindowView* main = mainView();
    confirmTarget(main);
    ui::WindowView* reminder = openReminder();
    activate(reminder);
    QTest::mouseClick(reminder->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QCOMPARE(program_->existingForm4(), nullptr);
    QVERIFY(reminder->isHidden());
    QCOMPARE(mainView(), main);
    QVERIFY(main->isVisible());
    QCOMPARE(main->findChild<QLineEdit*>("Text1")->text(), QStringLiteral("1"));
    QCOMPARE(main->findChild<QLineEdit*>("Text3")->text(), QStringLiteral("07"));
    QVERIFY(desktop_->system.endings.empty());
}

void UiTest::confirmationKeysCarryOut_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << static_cast<int>(Qt::Key_Return);
    QTest::newRow("keypad Enter") << static_cast<int>(Qt::Key_Enter);
    QTest::newRow("Space") << static_cast<int>(Qt::Key_Space);
}

void UiTest::confirmationKeysCarryOut() {
    QFETCH(int, key);
    ui::WindowView* view = openConfirmation();
    QVERIFY(view != nullptr);
    QCOMPARE(mainView(), nullptr);
    activate(view);
    QWidget* focused = view->focusWidget();
    QCOMPARE(focused, view->findChild<QWidget*>("Command1"));

    QTest::keyClick(focused, static_cast<Qt::Key>(key));
    QCOMPARE(desktop_->system.commands, std::vector<std::string>{"Shutdown -s -t 00"});
    QCOMPARE(desktop_->system.endings, std::vector<int>{0});
    QVERIFY(program_->hasEnded());
}

// Every way refused: the confirmation goes, a window of the program's own tells why, and the
// program ends with a failure status only once the user has closed it.
void UiTest::refusedActionIsToldInAWindow() {
    desktop_->system.setCommandOutcome(
        {core::CommandOutcome::Result::Failed, "Interactive authentication required."});
    QPointer<ui::WindowView> view = openConfirmation();
    QTest::mouseClick(view->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    flushDeletions();
    QVERIFY(view.isNull());
    QMessageBox* message = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("FailureMessage") && widget->isVisible()) {
            message = qobject_cast<QMessageBox*>(widget);
        }
    }
    QVERIFY(message != nullptr);
    QCOMPARE(message->text(),
             QStringLiteral("无法关闭计算机：Interactive authentication required."));
    QCOMPARE(message->textFormat(), Qt::PlainText);
    QVERIFY(desktop_->system.endings.empty());
    QTest::mouseClick(message->button(QMessageBox::Ok), Qt::LeftButton);
    QCOMPARE(desktop_->system.endings, std::vector<int>{1});
    flushDeletions();
}

void UiTest::confirmationCancelBringsFreshMainWindow_data() {
    QTest::addColumn<bool>("byTitleBar");
    QTest::newRow("Command2") << false;
    QTest::newRow("title-bar close") << true;
}

void UiTest::confirmationCancelBringsFreshMainWindow() {
    QFETCH(bool, byTitleBar);
    QTest::keyClicks(mainView()->findChild<QLineEdit*>("Text1"), QStringLiteral("7"));
    QPointer<ui::WindowView> view = openConfirmation();
    activate(view);
    if (byTitleBar) {
        view->close();
    } else {
        QTest::mouseClick(view->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    }
    QCOMPARE(program_->existingForm3(), nullptr);
    QVERIFY(view->isHidden());
    checkInitialMainWindow(mainView());
    QVERIFY(desktop_->system.commands.empty());
    QVERIFY(desktop_->system.endings.empty());
    flushDeletions();
    QVERIFY(view.isNull());
}

void UiTest::clockTargetFiresConfirmation() {
    ui::WindowView* main = mainView();
    QTest::keyClick(main->findChild<QComboBox*>("Combo1"), Qt::Key_Down);  // 关闭计算机
    QTest::mouseClick(main->findChild<QLineEdit*>("Text1"), Qt::LeftButton);
    QTest::keyClicks(main->findChild<QLineEdit*>("Text1"), QStringLiteral("9"));
    QTest::mouseClick(main->findChild<QLineEdit*>("Text2"), Qt::LeftButton);
    QTest::keyClicks(main->findChild<QLineEdit*>("Text2"), QStringLiteral("30"));
    QTest::keyClicks(main->findChild<QLineEdit*>("Text3"), QStringLiteral("01"));
    // The tick that writes 9:30:01, then the one that sees it.
    desktop_->advance(2100);
    QVERIFY(program_->existingForm3() != nullptr);
    ui::WindowView* view = viewOf(program_->existingForm3());
    QVERIFY(view != nullptr && view->isVisible());
    QCOMPARE(view->windowTitle(), QStringLiteral("真的要关闭计算机吗？"));
    QCOMPARE(view->findChild<QLabel*>("Label1")->text(), QStringLiteral("30"));
    QCOMPARE(mainView(), nullptr);
    QCOMPARE(desktop_->system.beeps, 1);
    QVERIFY(desktop_->system.commands.empty());
}

}  // namespace veltrask::testing

QTEST_MAIN(veltrask::testing::UiTest)
