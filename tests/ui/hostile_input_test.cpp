// SPDX-License-Identifier: MIT
// Input no user means to give, through the real windows: megabyte pastes, markup and control
// characters, input-method text, keys held down, and a clock that is set back or forward while a
// schedule waits. The clock is virtual and the test gives each tick, so that the program lives
// through minutes, or days, of its clock within the test's few seconds.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <optional>

#include "core/form1.h"
#include "core/form3.h"
#include "core/form4.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/time_text.h"
#include "desktop_fixture.h"
#include "ui/appearance.h"

#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 5;  // the sanitizers' price, on a shared machine
#else
constexpr int kSlowdown = 1;
#endif

namespace veltrask::testing {

namespace {

const int kStart = clockAt(9, 30, 0);
// Qt's line edits hold no more than this many characters, whatever the core allows.
constexpr int kLineEditLimit = 32767;
constexpr int kMegabyte = 1 << 20;
// From here on a double no longer steps down by one: a countdown this long never reaches zero.
constexpr double kFirstUncountable = 9007199254740992.0;

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QString repeated(const QString& unit, int length) {
    return unit.repeated(length / unit.size() + 1).left(length);
}

}  // namespace

class HostileInputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void megabytePasteIntoTheReminder_data();
    void megabytePasteIntoTheReminder();
    void reminderShowsTheTextAsTyped_data();
    void reminderShowsTheTextAsTyped();
    void pastesIntoNumericFields_data();
    void pastesIntoNumericFields();
    void inputMethodTextIntoNumericFields_data();
    void inputMethodTextIntoNumericFields();
    void keysHeldDown_data();
    void keysHeldDown();
    void clockSetBackOrForward_data();
    void clockSetBackOrForward();

private:
    ui::WindowView* viewOf(const core::Window* window) const { return desktop_->viewOf(window); }
    ui::WindowView* mainView() const { return viewOf(program_->existingForm1()); }
    QLineEdit* field(const char* name) const {
        return mainView()->findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    core::Form1& form() const { return *program_->existingForm1(); }
    // Makes the field reachable the way a user would: the lead time needs a system action, the
    // countdown fields the countdown mode.
    void reach(const QString& name);
    void click(const char* name);
    void paste(QLineEdit* edit, const QString& text);
    // From now on the clock follows the schedule: `clockAt(tick)` for the nth tick.
    void runClock(std::function<int(int)> clockAt);
    // The clock stands, and the ticks come in quick succession.
    void holdClock(int ms);
    // Lets the next once-a-second tick come, with the clock where the schedule has it then.
    void tick();

    std::unique_ptr<Desktop> desktop_;
    core::Program* program_ = nullptr;
    std::function<int(int)> schedule_;
    int ticks_ = 0;
    int firstTick_ = 0;
};

void HostileInputTest::initTestCase() {
    ui::applyAppearance();
}

void HostileInputTest::init() {
    desktop_ = std::make_unique<Desktop>(kStart);
    ticks_ = 0;
    firstTick_ = 0;
    holdClock(kStart);
    program_ = &desktop_->program;
    program_->start();
    QVERIFY(mainView() != nullptr);
    mainView()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(mainView()));
}

void HostileInputTest::cleanup() {
    program_ = nullptr;
    desktop_.reset();
    flushDeletions();
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void HostileInputTest::holdClock(int ms) {
    schedule_ = [ms](int) { return ms; };
}

void HostileInputTest::runClock(std::function<int(int)> clockAt) {
    firstTick_ = ticks_;
    schedule_ = std::move(clockAt);
}

void HostileInputTest::tick() {
    FakeSystem& system = desktop_->system;
    system.advance(0);  // whatever was due at once
    const std::int64_t due = system.nextDueMs();
    if (due < 0) {
        return;
    }
    ++ticks_;
    const std::int64_t wait = due - system.nowMs();
    system.setClock(static_cast<int>(schedule_(ticks_ - firstTick_) - wait));
    desktop_->advance(wait);
}

void HostileInputTest::click(const char* name) {
    QWidget* widget = mainView()->findChild<QWidget*>(QString::fromLatin1(name));
    QVERIFY2(widget != nullptr && widget->isVisible() && widget->isEnabled(), name);
    QTest::mouseClick(widget, Qt::LeftButton);
}

void HostileInputTest::reach(const QString& name) {
    if (name == QLatin1String("Text4")) {
        QTest::keyClick(mainView()->findChild<QComboBox*>(QStringLiteral("Combo1")), Qt::Key_Down);
    } else if (name == QLatin1String("Text5") || name == QLatin1String("Text6") ||
               name == QLatin1String("Text7")) {
        click("Option2");
    }
    click(name.toLatin1().constData());
    QCOMPARE(QApplication::focusWidget(), field(name.toLatin1().constData()));
}

void HostileInputTest::paste(QLineEdit* edit, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    edit->paste();  // what the context menu's entry and Shift+Insert do
}

void HostileInputTest::megabytePasteIntoTheReminder_data() {
    QTest::addColumn<QString>("unit");
    QTest::newRow("one letter") << QStringLiteral("x");
    QTest::newRow("words and blanks") << QStringLiteral("开会 meeting ");
    QTest::newRow("lines") << QStringLiteral("line\n");
}

void HostileInputTest::megabytePasteIntoTheReminder() {
    QFETCH(QString, unit);
    const QString megabyte = repeated(unit, kMegabyte);
    QLineEdit* reminder = field("Text8");
    click("Text8");

    QElapsedTimer elapsed;
    elapsed.start();
    paste(reminder, megabyte);
    const qint64 pasteMs = elapsed.elapsed();
    // Cut at the line edit's limit, and the core holds what the box shows.
    QCOMPARE(reminder->text().size(), kLineEditLimit);
    QCOMPARE(fromStd(form().text8.text), reminder->text());
    const QString kept = reminder->text();

    // A countdown of one second: the reminder pops up after two ticks.
    click("Option2");
    click("Text7");
    QTest::keyClicks(field("Text7"), QStringLiteral("1"));
    click("Command1");
    QVERIFY(mainView()->isHidden());
    for (int n = 0; n < 3 && program_->existingForm4() == nullptr; ++n) {
        tick();
    }
    QVERIFY(program_->existingForm4() != nullptr);
    ui::WindowView* popUp = viewOf(program_->existingForm4());
    QVERIFY(popUp != nullptr && popUp->isVisible());
    const qint64 totalMs = elapsed.elapsed();
    qInfo("paste %lld ms, paste to reminder %lld ms", pasteMs, totalMs);
    QVERIFY2(totalMs < 2000 * kSlowdown, qPrintable(QString::number(totalMs)));

    auto* message = popUp->findChild<QLabel*>(QStringLiteral("Label1"));
    QCOMPARE(message->text(), QStringLiteral("9:30:00 时间到，请") + kept);
    QCOMPARE(message->size(), message->maximumSize());  // cut off, never grown

    // Still answering: the reminder's button brings the main window back with its text.
    QTest::mouseClick(popUp->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(program_->existingForm4(), nullptr);
    QVERIFY(mainView()->isVisible());
    QCOMPARE(field("Text8")->text(), kept);
    QVERIFY(elapsed.elapsed() < 3000 * kSlowdown);
}

void HostileInputTest::reminderShowsTheTextAsTyped_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("markup") << QStringLiteral("<b>bold</b><img src=\"file:///etc/x.png\">&amp;");
    QTest::newRow("control characters") << QStringLiteral(
        "a\tb\x01"
        "c\x1b[31md\x7f"
        "e\u0085f");
    QTest::newRow("right-to-left override") << QStringLiteral("\u202E开会 txt.exe");
    QTest::newRow("isolates and marks") << QStringLiteral("\u2067abc\u2069\u200F\u200E\uFEFF");
    QTest::newRow("astral and combining") << QStringLiteral("\U0001F600e\u0301\u0000x");
}

void HostileInputTest::reminderShowsTheTextAsTyped() {
    QFETCH(QString, text);
    QLineEdit* reminder = field("Text8");
    click("Text8");
    paste(reminder, text);
    // Whatever the box took (a line edit drops some control characters), the core holds the same
    // and the reminder shows exactly that, as plain text.
    const QString kept = reminder->text();
    QVERIFY(!kept.isEmpty());
    QCOMPARE(fromStd(form().text8.text), kept);

    program_->dispatch([this] { program_->showForm4(); });
    ui::WindowView* popUp = viewOf(program_->existingForm4());
    QVERIFY(popUp != nullptr);
    QCOMPARE(popUp->windowTitle(), QStringLiteral("时间到"));
    auto* message = popUp->findChild<QLabel*>(QStringLiteral("Label1"));
    QCOMPARE(message->text(), QStringLiteral("9:30:00 时间到，请") + kept);
    QCOMPARE(message->textFormat(), Qt::PlainText);
    QVERIFY(!message->openExternalLinks());
    QCOMPARE(message->alignment(), Qt::AlignLeft | Qt::AlignTop);
    QCOMPARE(popUp->layoutDirection(), Qt::LeftToRight);
    QCOMPARE(message->size(), message->maximumSize());
    QCOMPARE(desktop_->system.beepTimes.size(), std::size_t{1});
}

void HostileInputTest::pastesIntoNumericFields_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("text");  // what the field holds afterwards

    const QString nines = QString(kMegabyte, QLatin1Char('9'));
    const QString kept = nines.left(kLineEditLimit);
    const QString twenty = QString(20, QLatin1Char('9'));
    const QString thirteen = QString(13, QLatin1Char('9'));
    for (const char* name : {"Text1", "Text2", "Text3"}) {
        // Kept whole, and then, being beyond the hour's or minute's range, set to "00".
        QTest::addRow("%s: a megabyte of digits", name) << name << nines << "00";
        QTest::addRow("%s: twenty digits", name) << name << twenty << "00";
    }
    QTest::addRow("Text4: a megabyte of digits") << "Text4" << nines << kept;
    for (const char* name : {"Text5", "Text6", "Text7"}) {
        QTest::addRow("%s: a megabyte of digits", name) << name << nines << kept;
        QTest::addRow("%s: twenty digits", name) << name << twenty << twenty;
    }
    // Thirteen digits of hours are beyond 2^53 seconds; of minutes or seconds, not.
    QTest::addRow("Text5: thirteen digits") << "Text5" << thirteen << thirteen;
    QTest::addRow("Text6: thirteen digits") << "Text6" << thirteen << thirteen;
    QTest::addRow("Text7: thirteen digits") << "Text7" << thirteen << thirteen;
    const QString refused[] = {
        QString(kMegabyte, QLatin1Char('x')),
        QString(kMegabyte - 1, QLatin1Char('1')) + QLatin1Char('a'),
        QStringLiteral("1.5"),
        QStringLiteral("-1"),
        QStringLiteral("1e5"),
        QStringLiteral(" 12"),
        QStringLiteral("１２"),  // full-width
        QStringLiteral("١٢"),    // Arabic-Indic
        QStringLiteral("12\n"),
        QStringLiteral("0x10"),
    };
    const char* refusedNames[] = {"a megabyte of letters",
                                  "a megabyte of digits and a letter",
                                  "a point",
                                  "a sign",
                                  "an exponent",
                                  "a blank",
                                  "full-width digits",
                                  "Arabic-Indic digits",
                                  "a line break",
                                  "hexadecimal"};
    for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7"}) {
        for (std::size_t i = 0; i < std::size(refused); ++i) {
            const QString before = QLatin1String(name) == QLatin1String("Text4") ? "30" : "";
            QTest::addRow("%s: %s", name, refusedNames[i]) << name << refused[i] << before;
        }
    }
}

void HostileInputTest::pastesIntoNumericFields() {
    QFETCH(QString, field);
    QFETCH(QString, clipboard);
    QFETCH(QString, text);
    reach(field);
    QLineEdit* edit = this->field(field.toLatin1().constData());
    core::Control* control = form().find(field.toStdString());
    QVERIFY(control != nullptr);

    if (field == QLatin1String("Text4")) {
        edit->selectAll();  // in place of the lead time already there
    }

    QElapsedTimer elapsed;
    elapsed.start();
    paste(edit, clipboard);
    QCOMPARE(fromStd(control->text), edit->text());
    QCOMPARE(edit->text(), text);

    // Confirm: whatever it arms must be a countdown that can run out.
    click("Command1");
    const std::string& remaining = form().label13.text;
    if (form().timer2.enabled()) {
        const std::optional<double> seconds = core::textToNumber(remaining);
        QVERIFY2(seconds.has_value(), remaining.c_str());
        QVERIFY2(*seconds < kFirstUncountable,
                 qPrintable(QStringLiteral("a countdown that never ends: ") + fromStd(remaining)));
    } else {
        QCOMPARE(fromStd(remaining), QString());
    }

    // Responsive: the clock goes on ticking, and what confirm left stays put.
    for (int n = 0; n < 11; ++n) {
        tick();
    }
    qInfo("paste, confirm and ten ticks: %lld ms", elapsed.elapsed());
    QVERIFY(elapsed.elapsed() < 2000 * kSlowdown);
    QVERIFY(desktop_->system.endings.empty());
    QVERIFY(desktop_->system.commands.empty());
}

void HostileInputTest::inputMethodTextIntoNumericFields_data() {
    QTest::addColumn<QString>("field");
    for (const char* name : {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7"}) {
        QTest::newRow(name) << name;
    }
}

void HostileInputTest::inputMethodTextIntoNumericFields() {
    QFETCH(QString, field);
    reach(field);
    QLineEdit* edit = this->field(field.toLatin1().constData());
    edit->end(false);
    core::Control* control = form().find(field.toStdString());
    const QString before = edit->text();
    const QString commits[] = {
        QStringLiteral("五"),     QStringLiteral("５"),
        QStringLiteral("十二点"), QStringLiteral("1a"),
        QStringLiteral("a1"),     QStringLiteral("①"),
        QStringLiteral("\u0661"), QString(kMegabyte, QChar(0x4E00)),
    };
    for (const QString& commit : commits) {
        // Composed first, then committed, as an input method does.
        QInputMethodEvent composing(commit.left(8), {});
        QApplication::sendEvent(edit, &composing);
        QInputMethodEvent committing;
        committing.setCommitString(commit);
        QApplication::sendEvent(edit, &committing);
        QCOMPARE(edit->text(), before);
        QCOMPARE(fromStd(control->text), before);
        // No composition left hanging in the field.
        QCOMPARE(edit->inputMethodQuery(Qt::ImSurroundingText).toString(), before);
        QVERIFY(!edit->hasAcceptableInput() || edit->displayText() == before);
    }
    // The field still takes what it should.
    QInputMethodEvent digit;
    digit.setCommitString(QStringLiteral("1"));
    QApplication::sendEvent(edit, &digit);
    QCOMPARE(edit->text(), before + QLatin1Char('1'));
}

void HostileInputTest::keysHeldDown_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QChar>("key");
    QTest::addColumn<QStringList>("texts");  // Text1, Text2, Text3 and Text8 afterwards
    QTest::addColumn<QString>("focus");

    const QString held = QString(150, QLatin1Char('7'));
    const QString placeholder = QStringLiteral("请输入要提醒的内容");
    // A held digit fills each clock field, which then hands the focus on, until it reaches the
    // action list, which takes no typing.
    QTest::newRow("digit in the hour")
        << "Text1" << QChar('7') << QStringList{"00", "00", "00", placeholder} << "Combo1";
    QTest::newRow("letter in the hour")
        << "Text1" << QChar('k') << QStringList{"", "", "", placeholder} << "Text1";
    QTest::newRow("digit in the reminder")
        << "Text8" << QChar('7') << QStringList{"", "", "", held} << "Text8";
    QTest::newRow("letter in the reminder")
        << "Text8" << QChar('k') << QStringList{"", "", "", QString(150, QLatin1Char('k'))}
        << "Text8";
}

void HostileInputTest::keysHeldDown() {
    QFETCH(QString, field);
    QFETCH(QChar, key);
    QFETCH(QStringList, texts);
    QFETCH(QString, focus);
    click(field.toLatin1().constData());

    // Five seconds at thirty repeats a second, each to whichever control holds the focus by
    // then, with the clock ticking in between.
    const int code =
        key.isDigit() ? Qt::Key_0 + key.digitValue() : Qt::Key_A + (key.unicode() - 'a');
    ulong timestamp = 1000;
    for (int press = 0; press < 150; ++press) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target != nullptr);
        QKeyEvent event(QEvent::KeyPress, code, Qt::NoModifier, QString(key), press > 0);
        event.setTimestamp(timestamp += 33);
        QApplication::sendEvent(target, &event);
        QCoreApplication::processEvents();
        if (press % 30 == 29) {
            tick();
        }
    }
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, QString(key));
    QApplication::sendEvent(QApplication::focusWidget(), &release);

    const char* names[] = {"Text1", "Text2", "Text3", "Text8"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(this->field(names[i])->text(), texts[i]);
        QCOMPARE(fromStd(form().find(names[i])->text), texts[i]);
    }
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    QCOMPARE(fromStd(form().focus()->name), focus);
    QCOMPARE(mainView()->findChild<QComboBox*>(QStringLiteral("Combo1"))->currentIndex(), 0);
    QVERIFY(desktop_->system.beepTimes.empty());
    QVERIFY(desktop_->system.endings.empty());
}

void HostileInputTest::clockSetBackOrForward_data() {
    QTest::addColumn<bool>("countdown");
    QTest::addColumn<int>("action");        // index in the action list
    QTest::addColumn<QString>("schedule");  // the hour, minute and second, or countdown seconds
    // From the tick of that number on, the clock is off by that many seconds.
    QTest::addColumn<QList<int>>("jumpTicks");
    QTest::addColumn<QList<int>>("jumpSeconds");
    QTest::addColumn<QString>("firesAt");  // the clock when the pop-up window opens

    constexpr int kHour = 3600;
    constexpr int kDay = 24 * kHour;
    // The clock starts at 9:30:00, and the nth tick after confirm comes at 9:30:0n.005.
    QTest::newRow("target, clock untouched")
        << false << 0 << "9 30 05" << QList<int>{} << QList<int>{} << "9:30:06";
    QTest::newRow("target, clock back an hour to before it")
        << false << 0 << "8 30 10" << QList<int>{3} << QList<int>{-kHour} << "8:30:11";
    QTest::newRow("target passed, clock back an hour over it")
        << false << 0 << "9 30 02" << QList<int>{5} << QList<int>{-kHour} << "9:30:03";
    QTest::newRow("target, clock forward a day")
        << false << 0 << "9 30 05" << QList<int>{2} << QList<int>{kDay} << "9:30:06";
    QTest::newRow("target, clock forward an hour over it, then round to before it")
        << false << 0 << "9 30 10" << QList<int>{3, 6} << QList<int>{kHour, kDay - kHour}
        << "9:30:11";
    QTest::newRow("target, clock forward a day and an hour over it, then round to before it")
        << false << 0 << "9 30 10" << QList<int>{3, 6} << QList<int>{kDay + kHour, kDay - kHour}
        << "9:30:11";
    QTest::newRow("target, clock forward half a minute over it: caught up")
        << false << 0 << "9 30 10" << QList<int>{3} << QList<int>{30} << "9:30:33";
    QTest::newRow("shutdown target, clock back an hour to before it")
        << false << 1 << "8 30 10" << QList<int>{3} << QList<int>{-kHour} << "8:30:11";
    // A countdown confirmed on the second runs out eight steady seconds later, whatever the
    // wall clock does meanwhile.
    QTest::newRow("countdown, clock untouched")
        << true << 0 << "8" << QList<int>{} << QList<int>{} << "9:30:08";
    QTest::newRow("countdown, clock back an hour")
        << true << 0 << "8" << QList<int>{3} << QList<int>{-kHour} << "8:30:08";
    QTest::newRow("countdown, clock forward a day and an hour")
        << true << 0 << "8" << QList<int>{3} << QList<int>{kDay + kHour} << "10:30:08";
    QTest::newRow("shutdown countdown, clock back an hour")
        << true << 1 << "8" << QList<int>{3} << QList<int>{-kHour} << "8:30:08";
}

void HostileInputTest::clockSetBackOrForward() {
    QFETCH(bool, countdown);
    QFETCH(int, action);
    QFETCH(QString, schedule);
    QFETCH(QList<int>, jumpTicks);
    QFETCH(QList<int>, jumpSeconds);
    QFETCH(QString, firesAt);

    // Armed as a user arms it, while the clock stands at 9:30:00.
    auto* combo = mainView()->findChild<QComboBox*>(QStringLiteral("Combo1"));
    for (int step = 0; step < action; ++step) {
        QTest::keyClick(combo, Qt::Key_Down);
    }
    if (action != 0) {
        click("Text4");
        field("Text4")->selectAll();
        QTest::keyClicks(field("Text4"), QStringLiteral("2"));
    }
    const QStringList values = schedule.split(QLatin1Char(' '));
    if (countdown) {
        click("Option2");
        click("Text7");
        QTest::keyClicks(field("Text7"), values[0]);
    } else {
        const char* names[] = {"Text1", "Text2", "Text3"};
        for (int i = 0; i < 3; ++i) {
            click(names[i]);
            QTest::keyClicks(field(names[i]), values[i]);
        }
    }
    click("Command1");
    QVERIFY(mainView() == nullptr || mainView()->isHidden());
    QVERIFY(desktop_->system.beepTimes.empty());

    runClock([jumpTicks, jumpSeconds](int tick) {
        int seconds = tick;
        for (int i = 0; i < jumpTicks.size(); ++i) {
            seconds += tick >= jumpTicks[i] ? jumpSeconds[i] : 0;
        }
        const int day = core::kSecondsPerDay;
        return (kStart / 1000 + seconds % day + day) % day * 1000 + 5;
    });
    // Long enough for a second firing, had there been one, and for a shutdown's lead time.
    constexpr int kTicks = 30;
    const FakeSystem& system = desktop_->system;
    int beepTick = -1;
    int commandTick = -1;
    for (int n = 0; n < kTicks && system.endings.empty(); ++n) {
        tick();
        beepTick = beepTick < 0 && !system.beepTimes.empty() ? ticks_ : beepTick;
        commandTick = commandTick < 0 && !system.commands.empty() ? ticks_ : commandTick;
    }

    QVERIFY(!desktop_->system.beepTimes.empty());
    QCOMPARE(fromStd(core::timeText(desktop_->system.beepTimes.front() / 1000)), firesAt);
    QCOMPARE(desktop_->system.beepTimes.size(), std::size_t{1});
    if (action == 0) {
        QVERIFY(program_->existingForm4() != nullptr);
        QVERIFY(desktop_->system.endings.empty());
        QVERIFY(desktop_->system.commands.empty());
    } else {
        // The lead time of two seconds ran out after two more ticks.
        QCOMPARE(desktop_->system.commands, std::vector<std::string>{"Shutdown -s -t 00"});
        QCOMPARE(desktop_->system.endings, std::vector<int>{0});
        QCOMPARE(commandTick - beepTick, 2);
    }
}

}  // namespace veltrask::testing

QTEST_MAIN(veltrask::testing::HostileInputTest)
#include "hostile_input_test.moc"
