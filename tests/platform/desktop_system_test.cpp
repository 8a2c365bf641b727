// SPDX-License-Identifier: MIT
#include <QElapsedTimer>
#include <QTest>

#include "platform/desktop_system.h"
#include "tests/fakes/qtry.h"

namespace {

constexpr int kPatienceMs = 2000;

}  // namespace

class DesktopSystemTest : public QObject {
    Q_OBJECT

private slots:
    void timerFiresOnceNotBeforeItsDelay() {
        int fired = 0;
        auto timer = system_.createTimer([&] { ++fired; });
        QElapsedTimer clock;
        clock.start();
        timer->start(40);
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(fired, 1, kPatienceMs));
        QVERIFY2(clock.elapsed() >= 39, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(100);
        QCOMPARE(fired, 1);
    }

    void startingAgainReplacesTheDelay() {
        int fired = 0;
        auto timer = system_.createTimer([&] { ++fired; });
        timer->start(60'000);
        timer->start(5);
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(fired, 1, kPatienceMs));
    }

    void stoppedTimerStaysQuiet() {
        int fired = 0;
        auto timer = system_.createTimer([&] { ++fired; });
        timer->start(20);
        timer->stop();
        QTest::qWait(100);
        QCOMPARE(fired, 0);
    }

    void rearmsFromItsOwnCallback() {
        int fired = 0;
        std::unique_ptr<veltrask::core::Timer> timer;
        timer = system_.createTimer([&] {
            if (++fired < 3) {
                timer->start(5);
            }
        });
        timer->start(5);
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(fired, 3, kPatienceMs));
        QTest::qWait(50);
        QCOMPARE(fired, 3);
    }

    // The core drops a window's timers when the window closes, and a tick can close it.
    void destroyedFromItsOwnCallbackThenReplaced() {
        int fired = 0;
        int replacementFired = 0;
        std::unique_ptr<veltrask::core::Timer> timer;
        timer = system_.createTimer([&] {
            ++fired;
            timer = system_.createTimer([&] { ++replacementFired; });
            timer->start(5);
        });
        timer->start(5);
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(replacementFired, 1, kPatienceMs));
        QCOMPARE(fired, 1);
        timer.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void destroyedWhileArmedNeverFires() {
        int fired = 0;
        auto timer = system_.createTimer([&] { ++fired; });
        timer->start(10);
        timer.reset();
        QTest::qWait(60);
        QCOMPARE(fired, 0);
    }

    // No sound server and no display here: the first beep must still come back at once.
    void beepsWithoutASoundServer() {
        QElapsedTimer clock;
        clock.start();
        system_.beep();
        system_.beep();
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }

private:
    veltrask::platform::DesktopSystem system_;
};

QTEST_MAIN(DesktopSystemTest)
#include "desktop_system_test.moc"
