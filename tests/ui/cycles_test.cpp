// SPDX-License-Identifier: MIT
// A thousand openings and closings of each pop-up window through the core and the real views.
// Whatever a cycle leaves behind, a view, a timer, a binding, shows as growth of the process;
// under the sanitizers LeakSanitizer reports it at exit instead.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstddef>
#include <memory>

#include "core/form1.h"
#include "core/form3.h"
#include "core/form4.h"
#include "core/program.h"
#include "desktop_fixture.h"
#include "ui/appearance.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELTRASK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELTRASK_SANITIZED 1
#endif
#endif

namespace veltrask::testing {

namespace {

constexpr int kWarmUpCycles = 100;
constexpr int kCycles = 1000;
constexpr qint64 kAllowedGrowthKb = 1024;

// Showing the main window again raises it, which the offscreen platform answers with a warning
// each time: a thousand of them would drown the report.
QtMessageHandler testMessageHandler = nullptr;

void dropRaiseWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message != QLatin1String("This plugin does not support raise()")) {
        testMessageHandler(type, context, message);
    }
}

// Resident memory of this process, from the kernel's own count.
qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

}  // namespace

class CyclesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void confirmationOpenedAndCancelled();
    void reminderOpenedAndAcknowledged();

private:
    ui::WindowView* viewOf(const core::Window* window) const { return desktop_->viewOf(window); }
    // Runs CYCLE kCycles times and compares the resident memory after the warm-up with the end.
    template <typename Cycle>
    void repeat(Cycle&& cycle);

    std::unique_ptr<Desktop> desktop_;
    core::Program* program_ = nullptr;
};

void CyclesTest::initTestCase() {
    ui::applyAppearance();
    testMessageHandler = qInstallMessageHandler(dropRaiseWarnings);
}

void CyclesTest::init() {
    desktop_ = std::make_unique<Desktop>();
    program_ = &desktop_->program;
    program_->start();
    QVERIFY(viewOf(program_->existingForm1()) != nullptr);
}

void CyclesTest::cleanup() {
    program_ = nullptr;
    desktop_.reset();
    flushDeletions();
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

template <typename Cycle>
void CyclesTest::repeat(Cycle&& cycle) {
    qint64 warmKb = 0;
    for (int round = 1; round <= kCycles; ++round) {
        cycle();
        if (QTest::currentTestFailed()) {
            qWarning() << "failed in cycle" << round;
            return;
        }
        // What a cycle closed is deleted by the event loop; let it run as the program's would.
        flushDeletions();
        QCoreApplication::processEvents();
        if (round == kWarmUpCycles) {
            warmKb = residentKb();
        }
    }
    const qint64 endKb = residentKb();
    qInfo("resident memory after %d cycles: %lld kB, after %d: %lld kB", kWarmUpCycles, warmKb,
          kCycles, endKb);
    // Every window that was opened has gone again: the main window is the only one left. A
    // window another widget owns goes with its owner (from Qt 6.8 on, the action list's popup
    // is such a window from the start).
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](const QWidget* window) { return window->parentWidget() == nullptr; }),
             std::ptrdiff_t{1});
    QVERIFY(desktop_->system.endings.empty());
    QVERIFY(desktop_->system.commands.empty());
#ifdef VELTRASK_SANITIZED
    qInfo("resident memory not compared: the sanitizers keep freed memory in quarantine");
#else
    QVERIFY(warmKb > 0 && endKb > 0);
    QVERIFY2(endKb - warmKb < kAllowedGrowthKb,
             qPrintable(QStringLiteral("grew by %1 kB").arg(endKb - warmKb)));
#endif
}

void CyclesTest::confirmationOpenedAndCancelled() {
    repeat([this] {
        // Fired as the clock fires it: the confirmation opens while the main window still holds
        // the values, then the main window goes.
        program_->dispatch([this] {
            program_->form1().chooseAction(1);  // 关闭计算机
            program_->showForm3();
            program_->close(program_->form1());
        });
        ui::WindowView* view = viewOf(program_->existingForm3());
        QVERIFY(view != nullptr && view->isVisible());
        QCOMPARE(view->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("30"));
        QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("Command2")),
                          Qt::LeftButton);
        QCOMPARE(program_->existingForm3(), nullptr);
        QVERIFY(view->isHidden());
        ui::WindowView* main = viewOf(program_->existingForm1());
        QVERIFY(main != nullptr && main->isVisible());
    });
    QCOMPARE(desktop_->system.beepTimes.size(), static_cast<std::size_t>(kCycles));
}

void CyclesTest::reminderOpenedAndAcknowledged() {
    repeat([this] {
        program_->dispatch([this] { program_->showForm4(); });
        ui::WindowView* view = viewOf(program_->existingForm4());
        QVERIFY(view != nullptr && view->isVisible());
        QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        QCOMPARE(program_->existingForm4(), nullptr);
        QVERIFY(view->isHidden());
        QVERIFY(viewOf(program_->existingForm1())->isVisible());
    });
    QCOMPARE(desktop_->system.beepTimes.size(), static_cast<std::size_t>(kCycles));
}

}  // namespace veltrask::testing

QTEST_MAIN(veltrask::testing::CyclesTest)
#include "cycles_test.moc"
