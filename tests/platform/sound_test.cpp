// SPDX-License-Identifier: MIT
#include <dlfcn.h>

#include <QTest>

#include "platform/sound.h"

using veltrask::platform::DesktopSound;

namespace {

// The stand-in library's own controls, reached through the handle the sound also gets.
struct FakeCanberra {
    void (*reset)(int createResult, const int* playResults, int count) = nullptr;
    int (*creates)() = nullptr;
    int (*contexts)() = nullptr;
    const char* (*played)() = nullptr;
    const char* (*applicationName)() = nullptr;
};

template <typename Function>
void find(void* handle, const char* symbol, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, symbol));
    QVERIFY2(function != nullptr, symbol);
}

bool isLoaded(const char* library) {
    void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr) {
        dlclose(handle);
    }
    return handle != nullptr;
}

constexpr int kSuccess = 0;
constexpr int kNoDriver = -5;
constexpr int kNotFound = -9;
constexpr int kDisconnected = -17;

}  // namespace

class SoundTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        void* handle = dlopen(FAKE_CANBERRA, RTLD_LAZY | RTLD_LOCAL);
        QVERIFY2(handle != nullptr, dlerror());
        find(handle, "fake_canberra_reset", fake_.reset);
        find(handle, "fake_canberra_creates", fake_.creates);
        find(handle, "fake_canberra_contexts", fake_.contexts);
        find(handle, "fake_canberra_played", fake_.played);
        find(handle, "fake_canberra_application_name", fake_.applicationName);
    }

    // Before any sound plays, the start-up of the program must not have paid for the library.
    void nothingLoadedBeforeTheFirstBeep() {
        // A driver that does not exist: the real library loads, and plays nothing.
        qputenv("CANBERRA_DRIVER", "veltrask-test-no-driver");
        DesktopSound sound;
        QVERIFY(!isLoaded("libcanberra.so.0"));
        QVERIFY(!sound.play());
        QVERIFY(isLoaded("libcanberra.so.0"));
        QVERIFY(!sound.play());
    }

    void withoutTheLibraryFallsBack() {
        DesktopSound sound("libveltrask-test-missing.so.0");
        QVERIFY(!sound.play());
        QVERIFY(!sound.play());
    }

    void beeps_data() {
        QTest::addColumn<int>("createResult");
        QTest::addColumn<QList<int>>("playResults");
        QTest::addColumn<QList<bool>>("played");
        QTest::addColumn<QString>("eventIds");

        QTest::newRow("the bell") << kSuccess << QList<int>{} << QList<bool>{true, true}
                                  << "bell\nbell\n";
        QTest::newRow("no bell in the theme: the warning instead")
            << kSuccess << QList<int>{kNotFound, kSuccess, kNotFound, kSuccess}
            << QList<bool>{true, true} << "bell\ndialog-warning\nbell\ndialog-warning\n";
        QTest::newRow("neither in the theme: asked again at the next beep")
            << kSuccess << QList<int>{kNotFound, kNotFound, kNotFound, kSuccess}
            << QList<bool>{false, true} << "bell\ndialog-warning\nbell\ndialog-warning\n";
        QTest::newRow("no sound device: never asked again")
            << kSuccess << QList<int>{kNoDriver} << QList<bool>{false, false, false} << "bell\n";
        QTest::newRow("the device gone after a beep")
            << kSuccess << QList<int>{kSuccess, kDisconnected} << QList<bool>{true, false, false}
            << "bell\nbell\n";
        QTest::newRow("no context: never asked again")
            << kNoDriver << QList<int>{} << QList<bool>{false, false} << "";
    }

    void beeps() {
        QFETCH(int, createResult);
        QFETCH(QList<int>, playResults);
        QFETCH(QList<bool>, played);
        QFETCH(QString, eventIds);
        fake_.reset(createResult, playResults.data(), static_cast<int>(playResults.size()));
        {
            DesktopSound sound(FAKE_CANBERRA);
            QCOMPARE(fake_.creates(), 0);
            for (qsizetype beep = 0; beep < played.size(); ++beep) {
                QVERIFY2(sound.play() == played[beep], qPrintable(QString::number(beep)));
            }
            QCOMPARE(QString::fromUtf8(fake_.played()), eventIds);
            QCOMPARE(fake_.creates(), 1);
            if (createResult == kSuccess) {
                QCOMPARE(QString::fromUtf8(fake_.applicationName()), QStringLiteral("Veltrask"));
            }
        }
        QCOMPARE(fake_.contexts(), 0);
    }

private:
    FakeCanberra fake_;
};

QTEST_GUILESS_MAIN(SoundTest)
#include "sound_test.moc"
