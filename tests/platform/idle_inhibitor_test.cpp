// SPDX-License-Identifier: MIT
#include <QDBusArgument>
#include <QTest>

#include <map>
#include <memory>

#include "fakes/private_buses.h"
#include "fakes/real_interface.h"
#include "platform/idle_inhibitor.h"
#include "tests/fakes/qtry.h"

using veltrask::platform::IdleInhibitor;
using veltrask::testing::BusKind;
using veltrask::testing::MockService;
using veltrask::testing::PrivateBuses;

namespace {

constexpr auto kGnome = "org.gnome.SessionManager";
constexpr auto kPowerManagement = "org.freedesktop.PowerManagement.Inhibit";
constexpr auto kLogind = "org.freedesktop.login1.Manager";
constexpr auto kReason = "shut down at 23:00";
constexpr int kPatienceMs = 5000;

// Each inhibitor gets a cookie of its own, so that a release can be matched to its hold; the
// count starts anew with each test.
constexpr auto kNextCookie =
    "self.cookie%1 = getattr(self, 'cookie%1', %2) + 1\nret = dbus.UInt32(self.cookie%1)";

}  // namespace

class IdleInhibitorTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The mocks' methods as GNOME's real session manager and Plasma's power manager declare
        // them (PowerDevil 6.3 introspects byte for byte as 5.27).
        real_["gnome"] = veltrask::testing::realMethods("gnome-session-43.xml", kGnome);
        real_["power"] = veltrask::testing::realMethods("powerdevil-5.27.xml", kPowerManagement);
        for (const auto& [mock, method] : {std::pair{"gnome", "Inhibit"},
                                           {"gnome", "Uninhibit"},
                                           {"power", "Inhibit"},
                                           {"power", "UnInhibit"}}) {
            QVERIFY2(real_[mock].contains(method), method);
        }
        buses_ = std::make_unique<PrivateBuses>();
        mocks_["gnome"] =
            buses_->startMock(BusKind::Session, kGnome, "/org/gnome/SessionManager", kGnome);
        startPowerManagement();
        // Its Inhibit hands out a descriptor and lists the inhibitor until every copy is closed.
        mocks_["logind"] = buses_->startTemplate(
            BusKind::System, "logind", "org.freedesktop.login1", "/org/freedesktop/login1");
        for (const auto& [name, mock] : mocks_) {
            QVERIFY2(mock->isReady(), qPrintable(name));
        }
    }

    void cleanupTestCase() {
        mocks_.clear();
        buses_.reset();
    }

    void init() {
        ++round_;
        declare("gnome", kGnome, "Inhibit", QString(kNextCookie).arg(round_).arg(10));
        declare("gnome", kGnome, "Uninhibit");
        declare("power", kPowerManagement, "Inhibit", QString(kNextCookie).arg(round_).arg(20));
        declare("power", kPowerManagement, "UnInhibit");
        for (const auto& [name, mock] : mocks_) {
            mock->clearCalls();
        }
    }

    void holdsUntilReleased_data() {
        QTest::addColumn<QString>("desktops");
        QTest::addColumn<QString>("unavailable");  // "failing" or "absent" service
        QTest::addColumn<QStringList>("holdCalls");
        QTest::addColumn<QStringList>("releaseCalls");
        QTest::addColumn<bool>("byDestructor");

        const QString gnomeHold =
            "gnome Inhibit(s \"org.example.Veltrask\", u 0, s \"shut down at 23:00\", u 4)";
        const QString powerHold = "power Inhibit(s \"Veltrask\", s \"shut down at 23:00\")";
        const QString logindHold =
            "logind Inhibit(s \"idle\", s \"Veltrask\", s \"shut down at 23:00\", s \"block\")";

        QTest::newRow("Pantheon in lower case: GNOME's session manager, suspend only")
            << "pantheon"
            << "" << QStringList{gnomeHold} << QStringList{"gnome Uninhibit(u 11)"} << false;
        QTest::newRow("Plasma's power manager")
            << "KDE"
            << "" << QStringList{powerHold} << QStringList{"power UnInhibit(u 21)"} << false;
        QTest::newRow("Xfce's power manager lets go when the inhibitor goes")
            << "XFCE"
            << "" << QStringList{powerHold} << QStringList{"power UnInhibit(u 21)"} << true;
        QTest::newRow("logind elsewhere")
            << "LXQt"
            << "" << QStringList{logindHold} << QStringList{} << false;
        QTest::newRow("logind when GNOME refuses")
            << "GNOME"
            << "failing" << QStringList{gnomeHold, logindHold} << QStringList{} << false;
        QTest::newRow("logind when there is no power manager")
            << "XFCE"
            << "absent" << QStringList{logindHold} << QStringList{} << false;
    }

    void holdsUntilReleased() {
        QFETCH(QString, desktops);
        QFETCH(QString, unavailable);
        QFETCH(QStringList, holdCalls);
        QFETCH(QStringList, releaseCalls);
        QFETCH(bool, byDestructor);

        if (unavailable == "failing") {
            mocks_.at("gnome")->failWith(kGnome, "Inhibit", "susu",
                                         "org.freedesktop.DBus.Error.AccessDenied", "no");
            mocks_.at("power")->failWith(kPowerManagement, "Inhibit", "ss",
                                         "org.freedesktop.DBus.Error.NotSupported", "no");
        } else if (unavailable == "absent") {
            mocks_.at("power")->stop();
        }
        const bool throughLogind = holdCalls.last().startsWith("logind");

        auto inhibitor = makeInhibitor(desktops);
        inhibitor->hold(kReason);
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(recordedCalls(), holdCalls, kPatienceMs));
        VELTRASK_QTRY(
            QTRY_COMPARE_WITH_TIMEOUT(logindInhibitors(), throughLogind ? 1 : 0, kPatienceMs));
        if (byDestructor) {
            inhibitor.reset();
        } else {
            inhibitor->release();
            inhibitor->release();  // a second release has nothing left to let go of
        }
        VELTRASK_QTRY(
            QTRY_COMPARE_WITH_TIMEOUT(recordedCalls(), holdCalls + releaseCalls, kPatienceMs));
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(logindInhibitors(), 0, kPatienceMs));

        if (unavailable == "absent") {
            startPowerManagement();
        }
    }

    // The release comes while the inhibitor is still being asked for.
    void releaseBeforeTheAnswerLetsGoOnceItComes_data() {
        QTest::addColumn<QString>("desktops");
        QTest::addColumn<QStringList>("calls");

        QTest::newRow("GNOME") << "GNOME"
                               << QStringList{
                                      "gnome Inhibit(s \"org.example.Veltrask\", u 0, "
                                      "s \"shut down at 23:00\", u 4)",
                                      "gnome Uninhibit(u 11)"};
        QTest::newRow("logind") << ""
                                << QStringList{
                                       "logind Inhibit(s \"idle\", s \"Veltrask\", "
                                       "s \"shut down at 23:00\", s \"block\")"};
    }

    void releaseBeforeTheAnswerLetsGoOnceItComes() {
        QFETCH(QString, desktops);
        QFETCH(QStringList, calls);

        makeInhibitor(desktops)->hold(kReason);  // and gone at once
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(recordedCalls(), calls, kPatienceMs));
        QTest::qWait(200);
        QCOMPARE(logindInhibitors(), 0);
    }

    void holdingAnotherReasonReplacesTheInhibitor() {
        auto inhibitor = makeInhibitor("GNOME");
        inhibitor->hold("restart at 08:00");
        inhibitor->hold("restart at 08:00");  // the same again keeps it
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(recordedCalls().size(), 1, kPatienceMs));
        inhibitor->hold("log off at 18:00");
        inhibitor->release();
        // Letting go of the first and asking for the second may reach the service in any order.
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(
            sorted(recordedCalls()),
            sorted(QStringList{
                "gnome Inhibit(s \"org.example.Veltrask\", u 0, s \"restart at 08:00\", "
                "u 4)",
                "gnome Uninhibit(u 11)",
                "gnome Inhibit(s \"org.example.Veltrask\", u 0, s \"log off at 18:00\", "
                "u 4)",
                "gnome Uninhibit(u 12)"}),
            kPatienceMs));
    }

    // Last: logind's own Inhibit cannot be brought back once it fails.
    void nothingIsHeldWhenNoWayWorks() {
        mocks_.at("power")->failWith(kPowerManagement, "Inhibit", "ss",
                                     "org.freedesktop.DBus.Error.NotSupported", "no");
        mocks_.at("logind")->failWith(kLogind, "Inhibit", "ssss",
                                      "org.freedesktop.DBus.Error.AccessDenied", "no");
        auto inhibitor = makeInhibitor("KDE");
        inhibitor->hold(kReason);
        VELTRASK_QTRY(QTRY_COMPARE_WITH_TIMEOUT(recordedCalls().size(), 2, kPatienceMs));
        inhibitor->release();
        QTest::qWait(200);
        QCOMPARE(recordedCalls().size(), 2);
    }

private:
    // The method as the real service declares it, doing what `code` says.
    void declare(const char* mock, const char* interface, const char* method,
                 const QString& code = {}) {
        const auto& signatures = real_[mock][method];
        mocks_.at(mock)->addMethod(interface, method, signatures.in, signatures.out, code);
    }

    void startPowerManagement() {
        mocks_["power"] =
            buses_->startMock(BusKind::Session, "org.freedesktop.PowerManagement",
                              "/org/freedesktop/PowerManagement/Inhibit", kPowerManagement);
        QVERIFY(mocks_["power"]->isReady());
        if (mocks_.count("logind")) {
            init();
        }
    }

    static std::unique_ptr<IdleInhibitor> makeInhibitor(const QString& desktops) {
        return std::make_unique<IdleInhibitor>(
            desktops.toStdString(),
            IdleInhibitor::Bounds{std::chrono::seconds(3), std::chrono::seconds(3)});
    }

    // Inhibitors logind holds: each lasts while a copy of its descriptor is open.
    int logindInhibitors() const {
        const QDBusMessage reply = buses_->connection(BusKind::System)
                                       .call(QDBusMessage::createMethodCall(
                                           "org.freedesktop.login1", "/org/freedesktop/login1",
                                           kLogind, "ListInhibitors"));
        const auto list = reply.arguments().value(0).value<QDBusArgument>();
        int count = 0;
        list.beginArray();
        while (!list.atEnd()) {
            QString what, who, why, mode;
            uint user = 0;
            uint process = 0;
            list.beginStructure();
            list >> what >> who >> why >> mode >> user >> process;
            list.endStructure();
            ++count;
        }
        list.endArray();
        return count;
    }

    static QStringList sorted(QStringList list) {
        list.sort();
        return list;
    }

    QStringList recordedCalls() const {
        QStringList calls;
        for (const char* name : {"gnome", "power", "logind"}) {
            for (const auto& call : mocks_.at(name)->calls()) {
                if (!call.startsWith("ListInhibitors")) {
                    calls.append(name + (' ' + call));
                }
            }
        }
        return calls;
    }

    std::unique_ptr<PrivateBuses> buses_;
    std::map<QString, std::unique_ptr<MockService>> mocks_;
    std::map<QString, QMap<QString, veltrask::testing::Signatures>> real_;
    int round_ = 0;
};

QTEST_GUILESS_MAIN(IdleInhibitorTest)
#include "idle_inhibitor_test.moc"
