#include "TestPortal.h"

#include "PrivateDaemons.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSize>

namespace movigram::capture::test {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kObject = QStringLiteral("/org/freedesktop/portal/desktop");

// One entry of Start's "streams": a(ua{sv}).
struct StreamEntry {
    uint node = 0;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const StreamEntry& entry) {
    argument.beginStructure();
    argument << entry.node << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, StreamEntry& entry) {
    argument.beginStructure();
    argument >> entry.node >> entry.properties;
    argument.endStructure();
    return argument;
}

}  // namespace

}  // namespace movigram::capture::test

Q_DECLARE_METATYPE(movigram::capture::test::StreamEntry)

namespace movigram::capture::test {

class TestPortal::Object : public QDBusVirtualObject {
public:
    explicit Object(PortalScript script) : script_(std::move(script)) {}
    ~Object() override {
        if (log_.otherEnd >= 0) ::close(log_.otherEnd);
    }

    PortalLog log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QVariantList arguments = message.arguments();
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        // Options come last in every ScreenCast call.
        const QVariantMap options = arguments.isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(arguments.last());
        const auto path = [&](const char* kind, const QString& token) {
            return kObject + QLatin1Char('/') + QLatin1String(kind) + QLatin1Char('/') + sender + QLatin1Char('/') + token;
        };
        const QString request = path("request", options.value(QStringLiteral("handle_token")).toString());

        if (member == QLatin1String("CreateSession")) {
            QVariantMap results;
            results.insert(QStringLiteral("session_handle"),
                           path("session", options.value(QStringLiteral("session_handle_token")).toString()));
            answer(message, connection, request, 0, results);
        } else if (member == QLatin1String("SelectSources")) {
            setLog([&](PortalLog& log) { log.sourceOptions = options; });
            answer(message, connection, request, 0, {});
        } else if (member == QLatin1String("Start")) {
            setLog([&](PortalLog& log) { log.parentWindow = arguments.value(1).toString(); });
            QVariantMap results;
            if (script_.startResponse == 0) {
                StreamEntry entry{script_.node, {}};
                entry.properties.insert(QStringLiteral("size"), QSize(script_.width, script_.height));
                entry.properties.insert(QStringLiteral("source_type"), 1u);
                results.insert(QStringLiteral("streams"), QVariant::fromValue(QList<StreamEntry>{entry}));
            }
            answer(message, connection, request, script_.startResponse, results);
        } else if (member == QLatin1String("OpenPipeWireRemote")) {
            const int fd = remote();
            const QDBusUnixFileDescriptor descriptor(fd);  // a copy of ours
            if (fd >= 0) ::close(fd);
            connection.send(message.createReply(QVariant::fromValue(descriptor)));
        } else if (member == QLatin1String("Close")) {
            setLog([](PortalLog& log) { log.sessionClosed = true; });
            connection.send(message.createReply());
        } else if (member == QLatin1String("Get")) {
            const QString property = arguments.value(1).toString();
            const uint value = property == QLatin1String("version") ? 4u : 3u;  // both sources, both cursor modes
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
        } else {
            return false;
        }
        return true;
    }

private:
    template <class Change>
    void setLog(Change change) {
        std::lock_guard lock(mutex_);
        change(log_);
    }

    // The call's reply, then the Request's answer, in that order as a portal does.
    static void answer(const QDBusMessage& message, const QDBusConnection& connection, const QString& request,
                       uint response, const QVariantMap& results) {
        QDBusConnection bus = connection;
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage signal =
            QDBusMessage::createSignal(request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        bus.send(signal);
    }

    // A socket to PipeWire, or one end of a pair whose other end the log keeps.
    int remote() {
        if (!script_.pipeWireSocket.isEmpty()) return connectSocket(script_.pipeWireSocket);
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return -1;
        setLog([&](PortalLog& log) {
            if (log.otherEnd >= 0) ::close(log.otherEnd);
            log.otherEnd = pair[1];
        });
        return pair[0];
    }

    PortalScript script_;
    mutable std::mutex mutex_;
    PortalLog log_;
};

TestPortal::TestPortal(const QString& busAddress, PortalScript script)
    : object_(std::make_unique<Object>(std::move(script))) {
    static const bool typesRegistered = [] {
        qDBusRegisterMetaType<StreamEntry>();
        qDBusRegisterMetaType<QList<StreamEntry>>();
        return true;
    }();
    (void)typesRegistered;
    static int count = 0;
    connectionName_ = QStringLiteral("test-portal-%1").arg(++count);
    object_->moveToThread(&thread_);
    thread_.start();
    // Registered from the portal's thread, where its object lives.
    QMetaObject::invokeMethod(
        object_.get(),
        [&] {
            QDBusConnection bus = QDBusConnection::connectToBus(busAddress, connectionName_);
            registered_ = bus.isConnected() &&
                          bus.registerVirtualObject(kObject, object_.get(), QDBusConnection::SubPath) &&
                          bus.registerService(kService);
        },
        Qt::BlockingQueuedConnection);
}

TestPortal::~TestPortal() {
    QDBusConnection::disconnectFromBus(connectionName_);
    thread_.quit();
    thread_.wait();
}

PortalLog TestPortal::log() const { return object_->log(); }

}  // namespace movigram::capture::test
