// SPDX-License-Identifier: MIT
#include <QElapsedTimer>
#include <QTest>

#include "platform/system_platform.h"

namespace {

class WindowlessPlatform final : public veltrask::platform::SystemPlatform {
public:
    void showWindow(veltrask::core::Window&) override {}
    void hideWindow(veltrask::core::Window&) override {}
    void destroyWindow(veltrask::core::Window&) override {}
    void stateChanged() override {}
};

constexpr int kPatienceMs = 2000;

}  // namespace

class SystemPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void timerFiresOnceNotBeforeItsDelay() {
        int fired = 0;
        auto timer = platform_.createTimer([&] { ++fired; });
        QElapsedTimer clock;
        clock.start();
        timer->start(40);
        QTRY_COMPARE_WITH_TIMEOUT(fired, 1, kPatienceMs);
        QVERIFY2(clock.elapsed() >= 39, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(100);
        QCOMPARE(fired, 1);
    }

    void startingAgainReplacesTheDelay() {
        int fired = 0;
        auto timer = platform_.createTimer([&] { ++fired; });
        timer->start(60'000);
        timer->start(5);
        QTRY_COMPARE_WITH_TIMEOUT(fired, 1, kPatienceMs);
    }

    void stoppedTimerStaysQuiet() {
        int fired = 0;
        auto timer = platform_.createTimer([&] { ++fired; });
        timer->start(20);
        timer->stop();
        QTest::qWait(100);
        QCOMPARE(fired, 0);
    }

    void rearmsFromItsOwnCallback() {
        int fired = 0;
        std::unique_ptr<veltrask::core::Timer> timer;
        timer = platform_.createTimer([&] {
            if (++fired < 3) {
                timer->start(5);
            }
        });
        timer->start(5);
        QTRY_COMPARE_WITH_TIMEOUT(fired, 3, kPatienceMs);
        QTest::qWait(50);
        QCOMPARE(fired, 3);
    }

    // The core drops a window's timers when the window closes, and a tick can close it.
    void destroyedFromItsOwnCallbackThenReplaced() {
        int fired = 0;
        int replacementFired = 0;
        std::unique_ptr<veltrask::core::Timer> timer;
        timer = platform_.createTimer([&] {
            ++fired;
            timer = platform_.createTimer([&] { ++replacementFired; });
            timer->start(5);
        });
        timer->start(5);
        QTRY_COMPARE_WITH_TIMEOUT(replacementFired, 1, kPatienceMs);
        QCOMPARE(fired, 1);
        timer.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void destroyedWhileArmedNeverFires() {
        int fired = 0;
        auto timer = platform_.createTimer([&] { ++fired; });
        timer->start(10);
        timer.reset();
        QTest::qWait(60);
        QCOMPARE(fired, 0);
    }

    // No sound server and no display here: the first beep must still come back at once.
    void beepsWithoutASoundServer() {
        QElapsedTimer clock;
        clock.start();
        platform_.beep();
        platform_.beep();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }

private:
    WindowlessPlatform platform_;
};

QTEST_MAIN(SystemPlatformTest)
#include "system_platform_test.moc"
