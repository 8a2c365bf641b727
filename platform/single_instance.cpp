// SPDX-License-Identifier: MIT
#include "platform/single_instance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QObject>
#include <QVariantMap>

#include <utility>

#include "platform/dbus_call.h"
#include "platform/log.h"
#include "veltrask/identity.h"

namespace veltrask::platform {

namespace {

const QString kServiceName = QString::fromLatin1(kApplicationId);
const std::string kObjectPath = (u'/' + QString(kServiceName).replace(u'.', u'/')).toStdString();
const QString kObjectPathText = QString::fromStdString(kObjectPath);
// What a later launch asks of the running instance.
const DBusObject kApplication{Bus::Session, kApplicationId, kObjectPath,
                              "org.freedesktop.Application"};

// The bus and the running instance answer as soon as their event loops turn; waiting longer than
// this means one is stuck, and a window of one's own is better than none.
constexpr int kAnswerBoundMs = 2000;

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
        connection_->unregisterObject(kObjectPathText);
    }
}

bool SingleInstance::reachSessionBus() {
    if (!connection_) {
        connection_ = connectionTo(Bus::Session);
    }
    return connection_->isConnected();
}

void SingleInstance::ask() {
    if (request_ || !reachSessionBus()) {
        return;
    }
    auto offered = std::make_unique<QObject>();
    new ApplicationAdaptor(offered.get(), onActivate_, *connection_);
    // The object goes first: whoever sees the name must find the object behind it.
    if (!connection_->registerObject(kObjectPathText, offered.get(),
                                     QDBusConnection::ExportAdaptors)) {
        qCDebug(lcInstance, "could not serve %s", kObjectPath.c_str());
        return;
    }
    offered_ = std::move(offered);
    // As QDBusConnectionInterface::registerService asks: never queued, never replaced.
    constexpr uint kDoNotQueue = 0x4;
    request_ = connection_->asyncCall(
        methodCall(kBusDaemon, "RequestName", {kServiceName, kDoNotQueue}), kAnswerBoundMs);
}

Launch SingleInstance::claim() {
    if (!reachSessionBus()) {
        qCDebug(lcInstance, "no session bus: running alone");
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
                qCWarning(lcInstance,
                          "the running instance did not come forward: running beside it");
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
        qCDebug(lcInstance, "%s is taken (%s)", qPrintable(kServiceName),
                qPrintable(reply.isValid() ? QStringLiteral("owned") : reply.error().name()));
        connection_->unregisterObject(kObjectPathText);
        offered_.reset();
        return false;
    }
    served_ = std::move(offered_);
    return true;
}

SingleInstance::HandOver SingleInstance::handOver() {
    QDBusMessage activate = methodCall(kApplication, "Activate", {platformDataOfThisLaunch()});
    // Nothing is to be started for the name: only a running instance may answer.
    activate.setAutoStartService(false);
    const QDBusMessage reply = connection_->call(activate, QDBus::Block, kAnswerBoundMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return HandOver::Delivered;
    }
    // The bus answers NameHasNoOwner when it may not start anyone, ServiceUnknown otherwise.
    const bool nobodyThere =
        isError(reply, {dbus_error::kNameHasNoOwner, dbus_error::kServiceUnknown});
    qCDebug(lcInstance, "handing over failed with %s", describeError(reply).c_str());
    return nobodyThere ? HandOver::NobodyThere : HandOver::Failed;
}

}  // namespace veltrask::platform

#include "single_instance.moc"
