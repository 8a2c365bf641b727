// SPDX-License-Identifier: MIT
#include "platform/idle_inhibitor.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <array>
#include <string_view>
#include <vector>

#include "platform/dbus_call.h"
#include "platform/desktops.h"
#include "platform/log.h"
#include "platform/ways_in_turn.h"
#include "veltrask/identity.h"

namespace veltrask::platform {

namespace {

// GNOME's inhibit flags: 4 keeps it from suspending, and nothing else. Log-off (1) must stay
// possible, since it is one of the actions held for.
constexpr std::uint32_t kGnomeSuspendFlag = 4;

QVariantList gnomeArguments(const QString& reason) {
    return {QString(kApplicationId), std::uint32_t{0}, reason, kGnomeSuspendFlag};
}

QVariantList powerManagementArguments(const QString& reason) {
    return {QString(kApplicationName), reason};
}

QVariantList logindArguments(const QString& reason) {
    return {QStringLiteral("idle"), QString(kApplicationName), reason, QStringLiteral("block")};
}

struct Way {
    std::string_view desktops;  // ':'-separated names; empty: any desktop
    const DBusObject* inhibitor;
    QVariantList (*inhibitArguments)(const QString& reason);
    // Its release by the cookie Inhibit gave; null: logind's, which lasts as long as the
    // descriptor it gave stays open.
    const char* uninhibit;
};

// In the order of trying: logind holds for every desktop, but only the desktop's own inhibitor
// shows up in its power settings.
constexpr std::array kWays{
    Way{kGnomeFamily, &kGnomeSessionManager, gnomeArguments, "Uninhibit"},
    Way{"KDE:XFCE", &kPowerManagementInhibit, powerManagementArguments, "UnInhibit"},
    Way{"", &kLogindManager, logindArguments, nullptr},
};

// One inhibitor, from the first request until it is let go of.
class Claim final : public QObject {
public:
    Claim(std::vector<const Way*> ways, QString reason, IdleInhibitor::Bounds bounds)
        : QObject(QCoreApplication::instance()),
          ways_(std::move(ways)),
          reason_(std::move(reason)),
          bounds_(bounds) {}

    void tryNext() {
        if (released_) {
            deleteLater();
            return;
        }
        const Way* const* next = ways_.next();
        if (next == nullptr) {
            qCWarning(lcInhibit, "could not keep the computer from suspending (tried: %s)",
                      ways_.tried().c_str());
            failed_ = true;
            return;
        }
        const Way* way = *next;
        const QDBusMessage message =
            methodCall(*way->inhibitor, "Inhibit", way->inhibitArguments(reason_));
        const Bus bus = way->inhibitor->bus;
        callAsync(bus, message, bus == Bus::System ? bounds_.logind : bounds_.sessionManager, this,
                  [this, way, message](const QDBusMessage& reply) {
                      if (reply.type() == QDBusMessage::ReplyMessage) {
                          held(way, reply.arguments().value(0));
                          return;
                      }
                      const std::string failure =
                          describeCall(message) + " failed with " + describeError(reply);
                      qCDebug(lcInhibit, "%s", failure.c_str());
                      ways_.failed(failure);
                      tryNext();
                  });
    }

    void release() {
        released_ = true;
        if (way_ != nullptr || failed_) {
            letGo();
        }
        // Still asking: let go of it when the answer comes.
    }

    const QString& reason() const { return reason_; }

private:
    void held(const Way* way, const QVariant& handle) {
        way_ = way;
        if (way->uninhibit == nullptr) {
            fileDescriptor_ = handle.value<QDBusUnixFileDescriptor>();
        } else {
            cookie_ = handle.toUInt();
        }
        if (released_) {
            letGo();
        }
    }

    void letGo() {
        if (way_ != nullptr && way_->uninhibit != nullptr) {
            sendWithoutReply(way_->inhibitor->bus,
                             methodCall(*way_->inhibitor, way_->uninhibit, {cookie_}));
        }
        fileDescriptor_ = QDBusUnixFileDescriptor();
        way_ = nullptr;
        deleteLater();
    }

    WaysInTurn<const Way*> ways_;
    QString reason_;
    IdleInhibitor::Bounds bounds_;
    bool released_ = false;
    bool failed_ = false;
    const Way* way_ = nullptr;  // set while held
    std::uint32_t cookie_ = 0;
    QDBusUnixFileDescriptor fileDescriptor_;
};

}  // namespace

struct IdleInhibitor::Current {
    QPointer<Claim> claim;
};

IdleInhibitor::IdleInhibitor(std::string desktops, Bounds bounds)
    : desktops_(std::move(desktops)), bounds_(bounds), current_(std::make_unique<Current>()) {}

IdleInhibitor::IdleInhibitor() : IdleInhibitor(currentDesktops(), Bounds{}) {}

IdleInhibitor::~IdleInhibitor() {
    release();
}

void IdleInhibitor::hold(std::string reason) {
    const QString shown = QString::fromStdString(reason);
    if (current_->claim && current_->claim->reason() == shown) {
        return;
    }
    release();
    std::vector<const Way*> ways;
    for (const Way& way : kWays) {
        if (desktopIsOneOf(way.desktops, desktops_)) {
            ways.push_back(&way);
        }
    }
    current_->claim = new Claim(std::move(ways), shown, bounds_);
    current_->claim->tryNext();
}

void IdleInhibitor::release() {
    if (current_->claim) {
        current_->claim->release();
        current_->claim = nullptr;
    }
}

}  // namespace veltrask::platform
