// SPDX-License-Identifier: MIT
// The program as a desktop citizen: the notification-area icon of a hidden, armed main window,
// what a screen reader finds in the windows, scheduling by keyboard alone, and the windows at
// the display's scale factor (the test runs once for each scale, set by QT_SCALE_FACTOR).
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/armed_summary.h"
#include "core/form1.h"
#include "core/form3.h"
#include "core/form4.h"
#include "core/program.h"
#include "desktop_fixture.h"
#include "ui/appearance.h"
#include "ui/window_view.h"

namespace veltrask::testing {

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The scale the test runs at, as the environment sets it for the whole program.
qreal expectedScale() {
    bool ok = false;
    const qreal scale = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok ? scale : 1.0;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void startUpAsksNothingOfTheTray();
    void trayFollowsTheArmedSchedule_data();
    void trayFollowsTheArmedSchedule();
    void trayActivationBringsMainWindowBack_data();
    void trayActivationBringsMainWindowBack();
    void trayGoesWhenConfirmationCounts();
    void trayGoesWhenReminderBringsMainWindowBack();
    void noTrayMeansNoIcon();

    void accessibleTreeNamesEveryControl();
    void accessibleNames_data();
    void accessibleNames();
    void websiteIsAnnouncedAndPressedAsLink();

    void keyboardAloneSchedules_data();
    void keyboardAloneSchedules();

    void windowsScaleWithTheDisplay();
    void iconIsSharpAtThisScale();

private:
    void start(bool trayAvailable);
    ui::WindowView* viewOf(const core::Window* window) const;
    ui::WindowView* mainView() const { return viewOf(program_->existingForm1()); }
    // A countdown of 45 seconds for the action at INDEX, confirmed with the mouse.
    void armCountdown(int actionIndex);
    QWidget* focused() const { return QApplication::focusWidget(); }
    // Presses Tab until the named control holds the focus; false if it cannot be reached.
    bool tabTo(const QString& name);

    // The desktop's answers to whether it has a notification area.
    bool hasTray_ = false;
    int trayQuestions_ = 0;
    std::unique_ptr<Desktop> desktop_;
    core::Program* program_ = nullptr;
};

void DesktopTest::initTestCase() {
    ui::applyAppearance();
}

void DesktopTest::cleanup() {
    program_ = nullptr;
    desktop_.reset();
    flushDeletions();
    const QWidgetList left = QApplication::topLevelWidgets();
    for (QWidget* widget : left) {
        qWarning() << "left open:" << widget;
    }
    QVERIFY(left.isEmpty());
}

void DesktopTest::start(bool trayAvailable) {
    hasTray_ = trayAvailable;
    trayQuestions_ = 0;
    desktop_ = std::make_unique<Desktop>(clockAt(9, 30, 0), [this] {
        ++trayQuestions_;
        return hasTray_;
    });
    program_ = &desktop_->program;
    program_->start();
    ui::WindowView* view = mainView();
    QVERIFY(view != nullptr);
    view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(view));
}

ui::WindowView* DesktopTest::viewOf(const core::Window* window) const {
    return window == nullptr ? nullptr : desktop_->presenter.viewOf(*window);
}

void DesktopTest::armCountdown(int actionIndex) {
    program_->dispatch([this, actionIndex] {
        core::Form1& form = program_->form1();
        form.chooseAction(static_cast<std::size_t>(actionIndex));
    });
    ui::WindowView* view = mainView();
    QTest::mouseClick(view->findChild<QRadioButton*>("Option2"), Qt::LeftButton);
    QTest::mouseClick(view->findChild<QLineEdit*>("Text7"), Qt::LeftButton);
    QTest::keyClicks(view->findChild<QLineEdit*>("Text7"), QStringLiteral("45"));
    QTest::mouseClick(view->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(view->isHidden());
}

bool DesktopTest::tabTo(const QString& name) {
    for (int presses = 0; presses < 40; ++presses) {
        if (focused() != nullptr && focused()->objectName() == name) {
            return true;
        }
        QTest::keyClick(focused(), Qt::Key_Tab);
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Tray

void DesktopTest::startUpAsksNothingOfTheTray() {
    start(true);
    QCOMPARE(trayQuestions_, 0);
    QCOMPARE(desktop_->presenter.tray().icon(), nullptr);
    // Nothing entered: confirm keeps the window, and there is still nothing to stand in for.
    QTest::mouseClick(mainView()->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(mainView()->isVisible());
    QCOMPARE(trayQuestions_, 0);
    QCOMPARE(desktop_->presenter.tray().icon(), nullptr);
}

void DesktopTest::trayFollowsTheArmedSchedule_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("countdown");
    QTest::addColumn<QString>("armed");
    QTest::addColumn<QString>("afterThreeSeconds");

    QTest::newRow("reminder at a clock time")
        << 0 << false << QStringLiteral("提醒我 10:05:07") << QStringLiteral("提醒我 10:05:07");
    QTest::newRow("restart at a clock time")
        << 2 << false << QStringLiteral("重新启动 10:05:07") << QStringLiteral("重新启动 10:05:07");
    QTest::newRow("shutdown after a countdown")
        << 1 << true << QStringLiteral("关闭计算机 倒计时剩余 45 秒")
        << QStringLiteral("关闭计算机 倒计时剩余 42 秒");
    QTest::newRow("reminder after a countdown")
        << 0 << true << QStringLiteral("提醒我 倒计时剩余 45 秒")
        << QStringLiteral("提醒我 倒计时剩余 42 秒");
}

void DesktopTest::trayFollowsTheArmedSchedule() {
    QFETCH(int, action);
    QFETCH(bool, countdown);
    QFETCH(QString, armed);
    QFETCH(QString, afterThreeSeconds);

    start(true);
    if (countdown) {
        armCountdown(action);
    } else {
        ui::WindowView* view = mainView();
        program_->dispatch(
            [this, action] { program_->form1().chooseAction(static_cast<std::size_t>(action)); });
        const std::array<std::array<const char*, 2>, 3> target{
            {{"Text1", "10"}, {"Text2", "5"}, {"Text3", "7"}}};
        for (const auto& [name, text] : target) {
            QTest::mouseClick(view->findChild<QLineEdit*>(name), Qt::LeftButton);
            QTest::keyClicks(view->findChild<QLineEdit*>(name), QString::fromLatin1(text));
        }
        QTest::mouseClick(view->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QVERIFY(view->isHidden());
    }

    const QSystemTrayIcon* icon = desktop_->presenter.tray().icon();
    QVERIFY(icon != nullptr);
    QVERIFY(icon->isVisible());
    QCOMPARE(icon->toolTip(), armed);
    QCOMPARE(icon->toolTip(), qs(*core::armedSummary(*program_)));
    QVERIFY(!icon->icon().isNull());

    // The countdown runs on in the tooltip.
    for (int second = 0; second < 3; ++second) {
        program_->dispatch([this] { program_->form1().timer2Tick(); });
    }
    QCOMPARE(icon->toolTip(), afterThreeSeconds);
}

void DesktopTest::trayActivationBringsMainWindowBack_data() {
    QTest::addColumn<int>("reason");  // -1: the menu's 显示
    QTest::addColumn<bool>("brings");
    QTest::newRow("click") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << true;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << true;
    QTest::newRow("menu 显示") << -1 << true;
    QTest::newRow("context menu opened") << int(QSystemTrayIcon::Context) << false;
}

void DesktopTest::trayActivationBringsMainWindowBack() {
    QFETCH(int, reason);
    QFETCH(bool, brings);

    start(true);
    armCountdown(1);
    core::Form1* armed = program_->existingForm1();
    QSystemTrayIcon* icon = desktop_->presenter.tray().icon();
    QVERIFY(icon != nullptr && icon->isVisible());

    if (reason < 0) {
        QMenu* menu = desktop_->presenter.tray().menu();
        QVERIFY(menu != nullptr);
        QCOMPARE(icon->contextMenu(), menu);
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("显示"));
        menu->actions().first()->trigger();
    } else {
        emit icon->activated(static_cast<QSystemTrayIcon::ActivationReason>(reason));
        if (reason == QSystemTrayIcon::DoubleClick) {
            // The desktop sends a click first; the double click that follows finds no icon.
            emit icon->activated(QSystemTrayIcon::Trigger);
        }
    }

    QCOMPARE(mainView()->isVisible(), brings);
    QCOMPARE(icon->isVisible(), !brings);
    // The same main window, still counting down.
    QCOMPARE(program_->existingForm1(), armed);
    QCOMPARE(qs(armed->label13.text), QStringLiteral("45"));
    QVERIFY(armed->timer2.enabled());
    QVERIFY(desktop_->system.commands.empty());
}

void DesktopTest::trayGoesWhenConfirmationCounts() {
    start(true);
    armCountdown(1);
    const QSystemTrayIcon* icon = desktop_->presenter.tray().icon();
    QVERIFY(icon != nullptr && icon->isVisible());

    // The countdown runs out: the confirmation window opens and the main window is replaced by a
    // fresh, hidden one.
    program_->dispatch([this] { program_->form1().setText(program_->form1().label13, "0"); });
    program_->dispatch([this] { program_->form1().timer1Tick(); });
    flushDeletions();
    QVERIFY(program_->existingForm3() != nullptr);
    QVERIFY(!program_->existingForm1()->isVisible());
    QVERIFY(!icon->isVisible());

    // Neither while it counts ...
    program_->dispatch([this] { program_->existingForm3()->timer1Tick(); });
    QVERIFY(!icon->isVisible());
    QCOMPARE(desktop_->presenter.tray().icon(), icon);

    // ... nor after cancel, which shows the fresh main window.
    ui::WindowView* confirmation = viewOf(program_->existingForm3());
    QTest::mouseClick(confirmation->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    flushDeletions();
    QVERIFY(mainView()->isVisible());
    QVERIFY(!icon->isVisible());
    QVERIFY(desktop_->system.commands.empty());
}

void DesktopTest::trayGoesWhenReminderBringsMainWindowBack() {
    start(true);
    armCountdown(0);
    const QSystemTrayIcon* icon = desktop_->presenter.tray().icon();
    QVERIFY(icon != nullptr && icon->isVisible());

    // The reminder pops up; the main window stays hidden, its countdown spent.
    program_->dispatch([this] { program_->form1().setText(program_->form1().label13, "0"); });
    program_->dispatch([this] { program_->form1().timer1Tick(); });
    ui::WindowView* reminder = viewOf(program_->existingForm4());
    QVERIFY(reminder != nullptr && reminder->isVisible());
    QVERIFY(mainView()->isHidden());
    QVERIFY(!icon->isVisible());  // nothing armed any more

    QTest::mouseClick(reminder->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    flushDeletions();
    QVERIFY(mainView()->isVisible());
    QVERIFY(!icon->isVisible());
}

void DesktopTest::noTrayMeansNoIcon() {
    start(false);
    armCountdown(1);
    QVERIFY(core::armedSummary(*program_).has_value());
    QVERIFY(trayQuestions_ > 0);
    QCOMPARE(desktop_->presenter.tray().icon(), nullptr);
    QCOMPARE(desktop_->presenter.tray().menu(), nullptr);

    // The desktop is not asked again at every tick of the countdown...
    const int questions = trayQuestions_;
    hasTray_ = true;
    program_->dispatch([this] { program_->form1().timer2Tick(); });
    QCOMPARE(trayQuestions_, questions);
    QCOMPARE(desktop_->presenter.tray().icon(), nullptr);
    // ...but a notification area that appeared meanwhile is found when a schedule is armed anew.
    program_->dispatch([this] { program_->showForm1(); });
    program_->dispatch([this] { program_->form1().command1Click(); });
    QVERIFY(desktop_->presenter.tray().icon() != nullptr);
    QVERIFY(desktop_->presenter.tray().icon()->toolTip().startsWith(
        QStringLiteral("关闭计算机 倒计时剩余")));

    // And the program's own presenter asks the desktop, which here has none.
    program_ = nullptr;
    desktop_.reset();
    FakeSystem system(clockAt(9, 30, 0));
    auto presenter = std::make_unique<ui::DesktopPresenter>();
    core::Program program(system, *presenter);
    program.start();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        QSKIP("this desktop has a notification area");
    }
    program.dispatch([&program] {
        program.form1().setText(program.form1().text7, "45");
        program.form1().command1Click();
    });
    QVERIFY(core::armedSummary(program).has_value());
    QCOMPARE(presenter->tray().icon(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Accessibility

namespace {

// Every element below IFACE, depth first.
void collect(QAccessibleInterface* iface, std::vector<QAccessibleInterface*>& all) {
    for (int i = 0; i < iface->childCount(); ++i) {
        if (QAccessibleInterface* child = iface->child(i)) {
            all.push_back(child);
            collect(child, all);
        }
    }
}

QAccessibleInterface* accessibleOf(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

}  // namespace

void DesktopTest::accessibleTreeNamesEveryControl() {
    start(false);
    program_->dispatch([this] { program_->showForm4(); });
    program_->dispatch([this] {
        program_->form1().chooseAction(1);
        program_->showForm3();
    });
    const std::vector<ui::WindowView*> views{mainView(), viewOf(program_->existingForm3()),
                                             viewOf(program_->existingForm4())};
    for (ui::WindowView* view : views) {
        QVERIFY(view != nullptr);
        QAccessibleInterface* window = accessibleOf(view);
        QVERIFY(window != nullptr);
        QCOMPARE(window->role(), QAccessible::Window);
        QVERIFY(!window->text(QAccessible::Name).isEmpty());

        std::vector<QAccessibleInterface*> all;
        collect(window, all);
        int controls = 0;
        for (QAccessibleInterface* element : all) {
            auto* widget = qobject_cast<QWidget*>(element->object());
            if (widget == nullptr || widget->parentWidget() != view) {
                continue;  // the parts of a control, such as the list of the drop-down
            }
            ++controls;
            const QString what = view->windowTitle() + "/" + widget->objectName();
            const bool focusable = widget->focusPolicy() != Qt::NoFocus;
            const bool label = qobject_cast<QLabel*>(widget) != nullptr;
            QVERIFY2(focusable || label, qPrintable(what + " is neither control nor label"));
            if (element->state().invisible) {
                continue;
            }
            QVERIFY2(
                element->role() != QAccessible::NoRole && element->role() != QAccessible::Client,
                qPrintable(what + " has no role"));
            QVERIFY2(!element->text(QAccessible::Name).trimmed().isEmpty(),
                     qPrintable(what + " has no name"));
        }
        // Every control of the window is in the tree.
        const qsizetype bound = view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size();
        QCOMPARE(controls, bound);
    }
}

void DesktopTest::accessibleNames_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("name");

    const auto row = [](const char* control, QAccessible::Role role, const QString& name) {
        QTest::newRow(control) << QString::fromLatin1(control) << int(role) << name;
    };
    // The option buttons have no caption at all.
    row("Option1", QAccessible::RadioButton, QStringLiteral("按时间"));
    row("Option2", QAccessible::RadioButton, QStringLiteral("倒计时"));
    // The fields are named by the label after them.
    row("Text1", QAccessible::EditableText, QStringLiteral("时"));
    row("Text2", QAccessible::EditableText, QStringLiteral("分"));
    row("Text3", QAccessible::EditableText, QStringLiteral("秒"));
    row("Text4", QAccessible::EditableText, QStringLiteral("关闭计算机前"));
    row("Text5", QAccessible::EditableText, QStringLiteral("小时"));
    row("Text6", QAccessible::EditableText, QStringLiteral("分"));
    row("Text7", QAccessible::EditableText, QStringLiteral("秒后"));
    row("Text8", QAccessible::EditableText, QStringLiteral("提醒内容"));
    row("Command1", QAccessible::Button, QStringLiteral("确定"));
    row("Label14", QAccessible::Link, QStringLiteral("欢迎访问我们的网站：veltrask.example.org"));
}

void DesktopTest::accessibleNames() {
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, name);

    start(false);
    // The lead-time row shows for a system action.
    program_->dispatch([this] { program_->form1().chooseAction(1); });
    auto* widget = mainView()->findChild<QWidget*>(control, Qt::FindDirectChildrenOnly);
    QVERIFY(widget != nullptr);
    QAccessibleInterface* element = accessibleOf(widget);
    QVERIFY(element != nullptr);
    QCOMPARE(int(element->role()), role);
    QCOMPARE(element->text(QAccessible::Name), name);
}

void DesktopTest::websiteIsAnnouncedAndPressedAsLink() {
    start(false);
    auto* label = mainView()->findChild<QLabel*>("Label14");
    QAccessibleInterface* link = accessibleOf(label);
    QCOMPARE(link->role(), QAccessible::Link);
    QVERIFY(link->state().linked);
    QCOMPARE(link->text(QAccessible::Value), qs(core::kWebsite));
    // The label itself still shows plain text.
    QCOMPARE(label->textFormat(), Qt::PlainText);
    // No other label is a link.
    for (QLabel* other : mainView()->findChildren<QLabel*>()) {
        if (other != label) {
            QVERIFY2(accessibleOf(other)->role() != QAccessible::Link,
                     qPrintable(other->objectName()));
        }
    }

    QAccessibleActionInterface* actions = link->actionInterface();
    QVERIFY(actions != nullptr);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(desktop_->system.commands,
             std::vector<std::string>{std::string(core::kOpenAddressCommand) +
                                      std::string(core::kWebsite)});
}

// ---------------------------------------------------------------------------------------------
// Keyboard

void DesktopTest::keyboardAloneSchedules_data() {
    QTest::addColumn<int>("action");           // index in the action list
    QTest::addColumn<bool>("fromOpenedList");  // else the arrow keys on the closed list
    QTest::addColumn<bool>("countdown");
    QTest::addColumn<QStringList>("fields");  // name, text, name, text ...
    QTest::addColumn<QString>("leadTime");    // empty: left alone
    QTest::addColumn<int>("confirmKey");
    QTest::addColumn<QString>("summary");

    QTest::newRow("reminder at a clock time, Enter")
        << 0 << false << false << QStringList{"Text1", "23", "Text2", "5", "Text3", "9"}
        << QString() << int(Qt::Key_Return) << QStringLiteral("提醒我 23:05:09");
    QTest::newRow("shutdown at a clock time with a lead time, Space")
        << 1 << false << false << QStringList{"Text1", "7", "Text2", "30", "Text3", "00"}
        << QStringLiteral("10") << int(Qt::Key_Space) << QStringLiteral("关闭计算机 7:30:00");
    QTest::newRow("restart after a countdown, arrows, Enter")
        << 2 << false << true << QStringList{"Text5", "1", "Text6", "2"} << QString()
        << int(Qt::Key_Enter) << QStringLiteral("重新启动 倒计时剩余 3720 秒");
    QTest::newRow("log off after a countdown, opened list, Space")
        << 3 << true << true << QStringList{"Text7", "90"} << QStringLiteral("5")
        << int(Qt::Key_Space) << QStringLiteral("注销 倒计时剩余 90 秒");
    QTest::newRow("log off at a clock time, arrows, Enter")
        << 3 << false << false << QStringList{"Text1", "0", "Text2", "0", "Text3", "0"} << QString()
        << int(Qt::Key_Return) << QStringLiteral("注销 0:00:00");
    QTest::newRow("reminder with its text after a countdown, opened list, Enter")
        << 0 << true << true << QStringList{"Text6", "10", "Text8", "喝水"} << QString()
        << int(Qt::Key_Return) << QStringLiteral("提醒我 倒计时剩余 600 秒");
}

namespace {

// Types TEXT into the focused widget key by key; characters beyond Latin-1 arrive as the text of
// a key event, as from a keyboard layout that has them.
void typeText(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        if (character.unicode() < 0x80) {
            QTest::keyClicks(widget, QString(character));
        } else {
            QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
        }
    }
}

}  // namespace

void DesktopTest::keyboardAloneSchedules() {
    QFETCH(int, action);
    QFETCH(bool, fromOpenedList);
    QFETCH(bool, countdown);
    QFETCH(QStringList, fields);
    QFETCH(QString, leadTime);
    QFETCH(int, confirmKey);
    QFETCH(QString, summary);

    start(false);
    ui::WindowView* view = mainView();
    QCOMPARE(focused()->objectName(), QStringLiteral("Text1"));

    auto* combo = view->findChild<QComboBox*>("Combo1");
    if (fromOpenedList) {
        QVERIFY(tabTo("Combo1"));
        QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(combo->view()->isVisible());
        for (int i = 0; i < action; ++i) {
            QTest::keyClick(combo->view(), Qt::Key_Down);
        }
        QTest::keyClick(combo->view(), Qt::Key_Return);
        QVERIFY(!combo->view()->isVisible());
    } else {
        // Each choice moves the focus on to the lead time: Tab comes back to the list.
        for (int i = 0; i < action; ++i) {
            QVERIFY(tabTo("Combo1"));
            QTest::keyClick(combo, Qt::Key_Down);
        }
    }
    QCOMPARE(combo->currentIndex(), action);
    if (countdown) {
        QVERIFY(tabTo("Option2"));
        QTest::keyClick(focused(), Qt::Key_Space);
        QVERIFY(program_->form1().option2.checked);
    }
    const auto replaceText = [this](const QString& text) {
        auto* edit = qobject_cast<QLineEdit*>(focused());
        QVERIFY(edit != nullptr);
        QTest::keyClick(edit, Qt::Key_End);
        for (qsizetype left = edit->text().size(); left > 0; --left) {
            QTest::keyClick(edit, Qt::Key_Backspace);
        }
        typeText(edit, text);
    };
    if (!leadTime.isEmpty()) {
        QVERIFY(tabTo("Text4"));
        replaceText(leadTime);
    }
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QVERIFY2(tabTo(fields[i]), qPrintable(fields[i]));
        replaceText(fields[i + 1]);
    }
    QVERIFY(tabTo("Command1"));
    QTest::keyClick(focused(), static_cast<Qt::Key>(confirmKey));

    QVERIFY(view->isHidden());
    const std::optional<std::string> armed = core::armedSummary(*program_);
    QVERIFY(armed.has_value());
    QCOMPARE(qs(*armed), summary);
    if (!leadTime.isEmpty()) {
        QCOMPARE(qs(program_->form1().text4.text), leadTime);
    }
    if (fields.contains(QStringLiteral("Text8"))) {
        QCOMPARE(qs(program_->form1().text8.text), fields.last());
    }
    QVERIFY(desktop_->system.commands.empty());
}

// ---------------------------------------------------------------------------------------------
// Scale

void DesktopTest::windowsScaleWithTheDisplay() {
    start(false);
    program_->dispatch([this] { program_->form1().chooseAction(3); });  // the longest caption
    program_->dispatch([this] { program_->showForm4(); });
    program_->dispatch([this] { program_->showForm3(); });
    const qreal scale = expectedScale();
    for (ui::WindowView* view :
         {mainView(), viewOf(program_->existingForm3()), viewOf(program_->existingForm4())}) {
        QVERIFY(view != nullptr);
        QCOMPARE(view->devicePixelRatio(), scale);
        // Drawn at the display's full resolution: the image has the scaled size.
        const QPixmap image = view->grab();
        QCOMPARE(image.devicePixelRatio(), scale);
        QCOMPARE(image.width(), qRound(view->width() * scale));

        for (QWidget* widget : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (widget->isHidden()) {
                continue;
            }
            const QString what = view->windowTitle() + "/" + widget->objectName();
            auto* label = qobject_cast<QLabel*>(widget);
            if (label == nullptr) {
                QVERIFY2(view->rect().contains(widget->geometry()),
                         qPrintable(what + " reaches out of its window"));
                continue;
            }
            if (label->text().isEmpty()) {
                continue;
            }
            // A label may reach beyond the window's edge (the website's does, by two pixels),
            // as long as its text does not.
            const QRect text = QFontMetrics(label->font())
                                   .boundingRect(QRect(0, 0, label->width(), 10'000),
                                                 Qt::TextWordWrap, label->text());
            QVERIFY2(view->rect().contains(QRect(label->pos(), text.size())),
                     qPrintable(what + " shows text beyond its window"));
            QVERIFY2(text.width() <= label->width() && text.height() <= label->height(),
                     qPrintable(QStringLiteral("%1 needs %2x%3 px, has %4x%5")
                                    .arg(what)
                                    .arg(text.width())
                                    .arg(text.height())
                                    .arg(label->width())
                                    .arg(label->height())));
            // Drawn at the device's resolution, the text leaves the label's last column of
            // pixels empty: nothing of it is cut off at the right.
            const QImage drawn = label->grab().toImage();
            const QRgb background = drawn.pixel(drawn.width() - 1, 0);
            for (int y = 0; y < drawn.height(); ++y) {
                QVERIFY2(drawn.pixel(drawn.width() - 1, y) == background,
                         qPrintable(what + " is cut off at the right"));
            }
        }
    }
}

void DesktopTest::iconIsSharpAtThisScale() {
    // The SVG image plugin draws the icon at any size; without it the icon would be empty.
    QVERIFY(QImageReader::supportedImageFormats().contains("svg"));
    const QIcon icon = ui::applicationIcon();
    const qreal scale = expectedScale();
    // Far larger than the 64-pixel drawing in the file: a bitmap engine would hand out at most
    // the file's own size, the SVG engine draws every size afresh.
    for (const int size : {16, 32, 48, 128}) {
        const QPixmap pixmap = icon.pixmap(QSize(size, size), scale);
        QVERIFY(!pixmap.isNull());
        QCOMPARE(pixmap.width(), qRound(size * scale));
        QCOMPARE(pixmap.height(), qRound(size * scale));
    }
}

}  // namespace veltrask::testing

int main(int argc, char* argv[]) {
    // Whatever a notification area would be asked over the session bus goes nowhere.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/veltrask-test-bus");
    QApplication app(argc, argv);
    veltrask::testing::DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "desktop_test.moc"
