// SPDX-License-Identifier: MIT
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWheelEvent>

#include "core/actions.h"
#include "core/form1.h"
#include "view_fixture.h"

namespace veltrask::testing {

namespace {

const QString kPlaceholder = QStringLiteral("请输入要提醒的内容");
const QColor kGreyText(128, 128, 128);

QString focusName(const QWidget* view) {
    return view->focusWidget() != nullptr ? view->focusWidget()->objectName() : QString();
}

QString coreFocusName(const core::Program& program) {
    const core::Control* focus = program.existingForm1()->focus();
    return focus != nullptr ? QString::fromStdString(focus->name) : QString();
}

// Steps for a field: digits and letters are typed; H, E, <, >, D, B stand for Home, End, the
// arrows, Delete and Backspace.
void runScript(QLineEdit* edit, const QString& script) {
    for (const QChar step : script) {
        switch (step.unicode()) {
            case 'H':
                QTest::keyClick(edit, Qt::Key_Home);
                break;
            case 'E':
                QTest::keyClick(edit, Qt::Key_End);
                break;
            case '<':
                QTest::keyClick(edit, Qt::Key_Left);
                break;
            case '>':
                QTest::keyClick(edit, Qt::Key_Right);
                break;
            case 'D':
                QTest::keyClick(edit, Qt::Key_Delete);
                break;
            case 'B':
                QTest::keyClick(edit, Qt::Key_Backspace);
                break;
            default:
                QTest::keyClicks(edit, QString(step));
                break;
        }
    }
}

}  // namespace

void UiTest::typingIntoNumericFields_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("focus");
    QTest::newRow("hour 7 stays") << "Text1"
                                  << "7"
                                  << "7"
                                  << "Text1";
    QTest::newRow("hour 23 moves on") << "Text1"
                                      << "23"
                                      << "23"
                                      << "Text2";
    QTest::newRow("hour 24 resets and moves on") << "Text1"
                                                 << "24"
                                                 << "00"
                                                 << "Text2";
    QTest::newRow("letters discarded") << "Text1"
                                       << "a1b"
                                       << "1"
                                       << "Text1";
    QTest::newRow("blank and signs discarded") << "Text1"
                                               << " -+."
                                               << ""
                                               << "Text1";
    QTest::newRow("minute 60 resets") << "Text2"
                                      << "60"
                                      << "00"
                                      << "Text3";
    QTest::newRow("second hands on to the list") << "Text3"
                                                 << "05"
                                                 << "05"
                                                 << "Combo1";
    QTest::newRow("reminder takes any text") << "Text8"
                                             << "x1 y"
                                             << "x1 y"
                                             << "Text8";
}

void UiTest::typingIntoNumericFields() {
    QFETCH(QString, field);
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(QString, focus);
    ui::WindowView* view = mainView();
    auto* edit = control<QLineEdit>(view, field.toLatin1().constData());
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(focusName(view), field);
    QCOMPARE(coreFocusName(*program_), field);

    QTest::keyClicks(edit, keys);
    QCOMPARE(edit->text(), text);
    QCOMPARE(focusName(view), focus);
    QCOMPARE(coreFocusName(*program_), focus);
}

void UiTest::editingKeys_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("focus");
    QTest::newRow("backspace") << "1B"
                               << ""
                               << "Text1";
    QTest::newRow("delete after home") << "1HD"
                                       << ""
                                       << "Text1";
    QTest::newRow("left arrow inserts before") << "1<2"
                                               << "21"
                                               << "Text2";
    QTest::newRow("right arrow back to the end") << "1H>2"
                                                 << "12"
                                                 << "Text2";
    QTest::newRow("retyped after backspace") << "2B7"
                                             << "7"
                                             << "Text1";
}

void UiTest::editingKeys() {
    QFETCH(QString, script);
    QFETCH(QString, text);
    QFETCH(QString, focus);
    ui::WindowView* view = mainView();
    auto* edit = control<QLineEdit>(view, "Text1");
    runScript(edit, script);
    QCOMPARE(edit->text(), text);
    QCOMPARE(QString::fromStdString(program_->existingForm1()->text1.text), text);
    QCOMPARE(focusName(view), focus);
}

void UiTest::pasting_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typedFirst");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("focus");
    QTest::newRow("menu paste of digits") << "Text1"
                                          << ""
                                          << "menu"
                                          << "12"
                                          << "12"
                                          << "Text2";
    QTest::newRow("menu paste with a letter refused whole") << "Text1"
                                                            << ""
                                                            << "menu"
                                                            << "1a"
                                                            << ""
                                                            << "Text1";
    QTest::newRow("shift+insert of digits") << "Text1"
                                            << ""
                                            << "shift+insert"
                                            << "12"
                                            << "12"
                                            << "Text2";
    QTest::newRow("shift+insert with a letter refused") << "Text1"
                                                        << ""
                                                        << "shift+insert"
                                                        << "1a"
                                                        << ""
                                                        << "Text1";
    QTest::newRow("ctrl+v discarded like a typed character") << "Text1"
                                                             << ""
                                                             << "ctrl+v"
                                                             << "12"
                                                             << ""
                                                             << "Text1";
    QTest::newRow("first paste of four digits kept whole") << "Text2"
                                                           << ""
                                                           << "menu"
                                                           << "0005"
                                                           << "0005"
                                                           << "Text2";
    QTest::newRow("paste beyond two digits refused") << "Text2"
                                                     << "1"
                                                     << "menu"
                                                     << "23"
                                                     << "1"
                                                     << "Text2";
    QTest::newRow("ctrl+v into the reminder") << "Text8"
                                              << ""
                                              << "ctrl+v"
                                              << "开会"
                                              << "开会"
                                              << "Text8";
    QTest::newRow("line breaks into the reminder become blanks")
        << "Text8"
        << ""
        << "menu"
        << "开会\n三楼\r\n会议室\u2029带电脑"
        << "开会 三楼 会议室 带电脑"
        << "Text8";
}

void UiTest::pasting() {
    QFETCH(QString, field);
    QFETCH(QString, typedFirst);
    QFETCH(QString, how);
    QFETCH(QString, clipboard);
    QFETCH(QString, text);
    QFETCH(QString, focus);
    ui::WindowView* view = mainView();
    auto* edit = control<QLineEdit>(view, field.toLatin1().constData());
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClicks(edit, typedFirst);
    QGuiApplication::clipboard()->setText(clipboard);

    if (how == "menu") {
        edit->paste();  // what the context menu's entry does
    } else if (how == "shift+insert") {
        QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
    } else {
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    }
    QCOMPARE(edit->text(), text);
    QCOMPARE(QString::fromStdString(program_->existingForm1()->find(field.toStdString())->text),
             text);
    QCOMPARE(focusName(view), focus);
}

void UiTest::inputMethodCommits_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("text");
    QTest::newRow("digit into the hour") << "Text1"
                                         << "5"
                                         << "5";
    QTest::newRow("letter into the hour") << "Text1"
                                          << "a"
                                          << "";
    QTest::newRow("full-width digit into the hour") << "Text1"
                                                    << "５"
                                                    << "";
    QTest::newRow("hanzi into the reminder") << "Text8"
                                             << "开会"
                                             << "开会";
}

void UiTest::inputMethodCommits() {
    QFETCH(QString, field);
    QFETCH(QString, commit);
    QFETCH(QString, text);
    ui::WindowView* view = mainView();
    auto* edit = control<QLineEdit>(view, field.toLatin1().constData());
    QTest::mouseClick(edit, Qt::LeftButton);
    QInputMethodEvent event;
    event.setCommitString(commit);
    QApplication::sendEvent(edit, &event);
    QCOMPARE(edit->text(), text);
}

void UiTest::actionListArrowKeys() {
    ui::WindowView* view = mainView();
    auto* combo = control<QComboBox>(view, "Combo1");
    auto* leadTime = control<QLineEdit>(view, "Text4");
    auto* leadLabel = control<QLabel>(view, "Label8");
    auto* reminder = control<QLineEdit>(view, "Text8");

    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentText(), QStringLiteral("关闭计算机"));
    QVERIFY(leadTime->isVisible());
    QVERIFY(leadTime->isEnabled());
    QCOMPARE(leadTime->text(), QStringLiteral("30"));
    QVERIFY(leadLabel->isVisible());
    QCOMPARE(leadLabel->text(), QStringLiteral("关闭计算机前"));
    QVERIFY(control<QLabel>(view, "Label9")->isVisible());
    QVERIFY(!reminder->isVisible());
    QCOMPARE(focusName(view), QStringLiteral("Text4"));

    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(leadLabel->text(), QStringLiteral("重新启动前"));

    QTest::keyClick(combo, Qt::Key_Up);
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(combo->currentText(), QStringLiteral("提醒我"));
    QVERIFY(!leadTime->isVisible());
    QVERIFY(!leadLabel->isVisible());
    QVERIFY(reminder->isVisible());
    // The reminder box takes the focus and so loses its placeholder at once.
    QCOMPARE(focusName(view), QStringLiteral("Text8"));
    QCOMPARE(reminder->text(), QString());
    QCOMPARE(QString::fromStdString(program_->existingForm1()->combo1.text),
             QStringLiteral("提醒我"));
}

void UiTest::actionListIgnoresTypingAndWheel() {
    ui::WindowView* view = mainView();
    auto* combo = control<QComboBox>(view, "Combo1");
    QTest::keyClicks(combo, QStringLiteral("zj"));
    QTest::keyClick(combo, Qt::Key_Space);
    QWheelEvent wheel(QPointF(10, 10), combo->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(combo, &wheel);

    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(!combo->view()->isVisible());
    QVERIFY(!control<QLineEdit>(view, "Text4")->isVisible());
    QCOMPARE(focusName(view), QStringLiteral("Text1"));
    QCOMPARE(QString::fromStdString(program_->existingForm1()->combo1.text),
             QStringLiteral("提醒我"));
}

void UiTest::reminderPlaceholderFollowsFocus() {
    ui::WindowView* view = mainView();
    auto* reminder = control<QLineEdit>(view, "Text8");
    QTest::mouseClick(reminder, Qt::LeftButton);
    QCOMPARE(reminder->text(), QString());
    QTest::keyClicks(reminder, QStringLiteral("x"));
    QVERIFY(reminder->palette().color(QPalette::Text) != kGreyText);
    QTest::keyClick(reminder, Qt::Key_Backspace);

    // Cleared and left: the placeholder comes back, grey.
    QTest::keyClick(reminder, Qt::Key_Tab);
    QCOMPARE(focusName(view), QStringLiteral("Text1"));
    QCOMPARE(reminder->text(), kPlaceholder);
    QCOMPARE(reminder->palette().color(QPalette::Text), kGreyText);

    // Text that was typed stays when the box is left.
    QTest::mouseClick(reminder, Qt::LeftButton);
    QTest::keyClicks(reminder, QStringLiteral("call"));
    QTest::mouseClick(control<QLineEdit>(view, "Text2"), Qt::LeftButton);
    QCOMPARE(reminder->text(), QStringLiteral("call"));
    QVERIFY(reminder->palette().color(QPalette::Text) != kGreyText);
}

void UiTest::tabWalksTheFocusableControls() {
    ui::WindowView* view = mainView();
    QStringList walked;
    for (int step = 0; step < 8; ++step) {
        QTest::keyClick(view->focusWidget(), Qt::Key_Tab);
        QCOMPARE(coreFocusName(*program_), focusName(view));
        walked << focusName(view);
    }
    // The lead time is hidden and the countdown fields disabled: neither takes the focus.
    QCOMPARE(walked, (QStringList{"Text2", "Text3", "Command1", "Combo1", "Option1", "Option2",
                                  "Text8", "Text1"}));
    QCOMPARE(control<QLineEdit>(view, "Text8")->text(), kPlaceholder);
}

void UiTest::countdownModeByMouse() {
    ui::WindowView* view = mainView();
    auto* clockMode = control<QRadioButton>(view, "Option1");
    auto* countdownMode = control<QRadioButton>(view, "Option2");
    QTest::keyClicks(control<QLineEdit>(view, "Text1"), QStringLiteral("9"));

    QTest::mouseClick(countdownMode, Qt::LeftButton);
    QVERIFY(countdownMode->isChecked());
    QVERIFY(!clockMode->isChecked());
    for (const char* name : {"Text1", "Text2", "Text3"}) {
        QVERIFY2(!control<QLineEdit>(view, name)->isEnabled(), name);
    }
    QCOMPARE(control<QLineEdit>(view, "Text1")->text(), QString());
    for (const char* name : {"Text5", "Text6", "Text7"}) {
        QVERIFY2(control<QLineEdit>(view, name)->isEnabled(), name);
    }
    QCOMPARE(focusName(view), QStringLiteral("Text5"));

    // Clicking the selected option keeps it selected.
    QTest::mouseClick(countdownMode, Qt::LeftButton);
    QVERIFY(countdownMode->isChecked());

    QTest::mouseClick(control<QLineEdit>(view, "Text6"), Qt::LeftButton);
    QTest::keyClicks(control<QLineEdit>(view, "Text6"), QStringLiteral("5"));
    QTest::mouseClick(control<QPushButton>(view, "Command1"), Qt::LeftButton);
    QVERIFY(view->isHidden());
    QCOMPARE(program_->existingForm1()->label13.text, std::string("300"));
}

void UiTest::optionButtonsChooseWithArrowKeys_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("focus");  // where the chosen option's click handler puts it
    QTest::newRow("down to the countdown") << "Option1" << int(Qt::Key_Down) << "Option2"
                                           << "Text5";
    QTest::newRow("right to the countdown") << "Option1" << int(Qt::Key_Right) << "Option2"
                                            << "Text5";
    QTest::newRow("up round to the countdown") << "Option1" << int(Qt::Key_Up) << "Option2"
                                               << "Text5";
    QTest::newRow("up to the clock time") << "Option2" << int(Qt::Key_Up) << "Option1"
                                          << "Text1";
    QTest::newRow("left to the clock time") << "Option2" << int(Qt::Key_Left) << "Option1"
                                            << "Text1";
    QTest::newRow("down round to the clock time") << "Option2" << int(Qt::Key_Down) << "Option1"
                                                  << "Text1";
}

void UiTest::optionButtonsChooseWithArrowKeys() {
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(QString, chosen);
    QFETCH(QString, focus);
    ui::WindowView* view = mainView();
    auto* start = control<QRadioButton>(view, from.toLatin1().constData());
    QTest::mouseClick(start, Qt::LeftButton);
    start->setFocus(Qt::TabFocusReason);
    QCOMPARE(focusName(view), from);

    QTest::keyClick(start, static_cast<Qt::Key>(key));
    QVERIFY(control<QRadioButton>(view, chosen.toLatin1().constData())->isChecked());
    QVERIFY(!start->isChecked());
    QCOMPARE(focusName(view), focus);
    QVERIFY(control<QLineEdit>(view, focus.toLatin1().constData())->isEnabled());
}

// A keystroke reaches the core as one event, and the windows are brought up to date once.
void UiTest::oneKeystrokeIsOneEvent() {
    auto* hour = control<QLineEdit>(mainView(), "Text1");
    QTest::mouseClick(hour, Qt::LeftButton);
    const std::size_t before = desktop_->presenter.passes();
    QTest::keyClick(hour, Qt::Key_7);
    QCOMPARE(hour->text(), QStringLiteral("7"));
    QCOMPARE(desktop_->presenter.passes() - before, std::size_t{1});
}

void UiTest::websiteLabelOpensAddress() {
    QTest::mouseClick(control<QLabel>(mainView(), "Label14"), Qt::LeftButton);
    QCOMPARE(desktop_->system.commands,
             std::vector<std::string>{"explorer.exe " + std::string(core::kWebsite)});
}

}  // namespace veltrask::testing
