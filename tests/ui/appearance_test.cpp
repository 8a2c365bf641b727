// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "core/form1.h"
#include "core/program.h"
#include "desktop_fixture.h"
#include "tests/fakes/qtry.h"
#include "ui/appearance.h"
#include "ui/window_view.h"

namespace veltrask::testing {

using ui::IconTiming;

namespace {

// Whether the first window painted had an icon then.
class FirstPaintWatch final : public QObject {
public:
    bool painted = false;
    bool hadIcon = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted && watched->isWidgetType()) {
            painted = true;
            hadIcon = !static_cast<QWidget*>(watched)->window()->windowIcon().isNull();
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

class AppearanceTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QApplication::setWindowIcon(QIcon()); }

    void iconComes_data() {
        QTest::addColumn<IconTiming>("timing");
        QTest::addColumn<bool>("iconInFirstFrame");
        QTest::newRow("at once") << IconTiming::AtOnce << true;
        QTest::newRow("after the first frame") << IconTiming::AfterFirstFrame << false;
    }

    void iconComes() {
        QFETCH(IconTiming, timing);
        QFETCH(bool, iconInFirstFrame);
        FirstPaintWatch watch;
        qApp->installEventFilter(&watch);
        ui::applyAppearance(timing);
        QCOMPARE(QApplication::font().pointSize(), 9);

        Desktop desktop;
        desktop.program.start();
        QWidget* main = desktop.viewOf(&desktop.program.form1());
        QVERIFY(main != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(main));
        VELTRASK_QTRY(QTRY_VERIFY(watch.painted));
        QCOMPARE(watch.hadIcon, iconInFirstFrame);
        // Every window carries the one icon in the end, read once for all of them.
        VELTRASK_QTRY(QTRY_VERIFY(!main->windowIcon().isNull()));
        QCOMPARE(ui::applicationIcon().cacheKey(), QApplication::windowIcon().cacheKey());
        QCOMPARE(main->windowHandle()->icon().cacheKey(), QApplication::windowIcon().cacheKey());
        QCOMPARE(main->windowIcon().pixmap(16).width(), 16);
        qApp->removeEventFilter(&watch);
    }

    // A window that comes after the first frame gets the icon like the first one did.
    void laterWindowsCarryTheIcon() {
        ui::applyAppearance(IconTiming::AfterFirstFrame);
        QWidget first;
        first.show();
        VELTRASK_QTRY(QTRY_VERIFY(!QApplication::windowIcon().isNull()));
        QWidget second;
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QCOMPARE(second.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
    }
};

}  // namespace veltrask::testing

QTEST_MAIN(veltrask::testing::AppearanceTest)
#include "appearance_test.moc"
