// SPDX-License-Identifier: MIT
#include "platform/single_instance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QObject>
#include <QVariantMap>

#include <utility>

#include "veltrask/identity.h"

namespace veltrask::platform {

namespace {

const QString kServiceName = QString::fromLatin1(kApplicationId);
const QString kObjectPath = u'/' + QString(kServiceName).replace(u'.', u'/');
const QString kApplicationInterface = QStringLiteral("org.freedesktop.Application");

// The running instance answers as soon as its event loop turns; waiting longer than this means it
// is stuck, and a window of one's own is better than none.
constexpr int kHandOverTimeoutMs = 2000;

const QString kActivationTokenKey = QStringLiteral("activation-token");
const QString kStartupIdKey = QStringLiteral("desktop-startup-id");

std::string tokenFrom(const QVariantMap& platformData) {
    for (const auto& key : {kActivationTokenKey, kStartupIdKey}) {
        const QString token = platformData.value(key).toString();
        if (!token.isEmpty()) {
            return token.toStdString();
        }
    }
    return {};
}

QVariantMap platformDataOfThisLaunch() {
    QVariantMap platformData;
    const auto addFromEnvironment = [&](const char* variable, const QString& key) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty()) {
            platformData.insert(key, value);
        }
    };
    addFromEnvironment("XDG_ACTIVATION_TOKEN", kActivationTokenKey);
    addFromEnvironment("DESKTOP_STARTUP_ID", kStartupIdKey);
    return platformData;
}

// Asking QtDBus for the session bus when none is known makes libdbus autolaunch one through X11:
// a launch would then wait for a bus daemon and leave it behind. A bus is known by its address in
// the environment or by the per-user socket that libdbus looks for without one.
bool sessionBusKnown() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtimeDirectory = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtimeDirectory.isEmpty() &&
           QFileInfo::exists(runtimeDirectory + QStringLiteral("/bus"));
}

class ApplicationAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    ApplicationAdaptor(QObject* served, SingleInstance::ActivateHandler onActivate,
                       QDBusConnection connection)
        : QDBusAbstractAdaptor(served),
          onActivate_(std::move(onActivate)),
          connection_(std::move(connection)) {}

public slots:
    void Activate(const QVariantMap& platformData) { onActivate_(tokenFrom(platformData)); }

    // The program opens no files: being asked to is being asked to come forward.
    void Open(const QStringList& uris, const QVariantMap& platformData) {
        Q_UNUSED(uris);
        Activate(platformData);
    }

    void ActivateAction(const QString& actionName, const QVariantList& parameter,
                        const QVariantMap& platformData, const QDBusMessage& call) {
        Q_UNUSED(parameter);
        Q_UNUSED(platformData);
        // The caller context of QDBusContext reaches the exported object, not its adaptors: the
        // error goes out by hand.
        call.setDelayedReply(true);
        connection_.send(
            call.createErrorReply(QDBusError::NotSupported,
                                  QStringLiteral("Veltrask has no action \"%1\"").arg(actionName)));
    }

private:
    SingleInstance::ActivateHandler onActivate_;
    QDBusConnection connection_;
};

}  // namespace

SingleInstance::SingleInstance(ActivateHandler onActivate) : onActivate_(std::move(onActivate)) {}

SingleInstance::SingleInstance(ActivateHandler onActivate, QDBusConnection connection)
    : onActivate_(std::move(onActivate)), connection_(std::move(connection)) {}

SingleInstance::~SingleInstance() {
    if (served_) {
        // In the reverse order of serve(), so a later launch never finds the name without the
        // object.
        connection_->unregisterService(kServiceName);
        connection_->unregisterObject(kObjectPath);
    }
}

bool SingleInstance::connect() {
    if (!connection_) {
        if (!sessionBusKnown()) {
            return false;
        }
        connection_ = QDBusConnection::sessionBus();
    }
    return connection_->isConnected();
}

void SingleInstance::ask() {
    if (request_ || !connect()) {
        return;
    }
    auto offered = std::make_unique<QObject>();
    new ApplicationAdaptor(offered.get(), onActivate_, *connection_);
    // The object goes first: whoever sees the name must find the object behind it.
    if (!connection_->registerObject(kObjectPath, offered.get(), QDBusConnection::ExportAdaptors)) {
        return;
    }
    offered_ = std::move(offered);
    // As QDBusConnectionInterface::registerService asks: never queued, never replaced.
    constexpr uint kDoNotQueue = 0x4;
    request_ = connection_->interface()->asyncCall(QStringLiteral("RequestName"), kServiceName,
                                                   kDoNotQueue);
}

Launch SingleInstance::claim() {
    if (!connect()) {
        return Launch::Independent;
    }
    // The owner may end between our failing to take the name and our call: then try once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (serve()) {
            return Launch::First;
        }
        switch (handOver()) {
            case HandOver::Delivered:
                return Launch::HandedOver;
            case HandOver::NobodyThere:
                continue;
            case HandOver::Failed:
                return Launch::Independent;
        }
    }
    return Launch::Independent;
}

bool SingleInstance::serve() {
    ask();
    if (!request_) {
        return false;
    }
    QDBusPendingReply<uint> reply = *std::exchange(request_, std::nullopt);
    reply.waitForFinished();
    constexpr uint kPrimaryOwner = 1;
    if (!reply.isValid() || reply.value() != kPrimaryOwner) {
        connection_->unregisterObject(kObjectPath);
        offered_.reset();
        return false;
    }
    served_ = std::move(offered_);
    return true;
}

SingleInstance::HandOver SingleInstance::handOver() {
    QDBusMessage activate = QDBusMessage::createMethodCall(
        kServiceName, kObjectPath, kApplicationInterface, QStringLiteral("Activate"));
    // Nothing is to be started for the name: only a running instance may answer.
    activate.setAutoStartService(false);
    activate << platformDataOfThisLaunch();
    const QDBusMessage reply = connection_->call(activate, QDBus::Block, kHandOverTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return HandOver::Delivered;
    }
    // The bus answers NameHasNoOwner when it may not start anyone, ServiceUnknown otherwise.
    const QString error = reply.errorName();
    const bool nobodyThere = error == u"org.freedesktop.DBus.Error.NameHasNoOwner" ||
                             error == u"org.freedesktop.DBus.Error.ServiceUnknown";
    return nobodyThere ? HandOver::NobodyThere : HandOver::Failed;
}

}  // namespace veltrask::platform

#include "single_instance.moc"
