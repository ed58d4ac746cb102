#include "capture/PortalScreenCast.h"

#include <fcntl.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QEventLoop>
#include <QFileInfo>
#include <QObject>
#include <QSize>
#include <QTimer>
#include <QVariantMap>

#include <atomic>

namespace movigram::capture {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kObject = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// The portal's bit masks.
constexpr uint kSourceMonitor = 1;
constexpr uint kSourceWindow = 2;
constexpr uint kCursorHidden = 1;
constexpr uint kCursorEmbedded = 2;

const std::string kNoPortal = "No screen-cast portal on this desktop";

std::atomic<int> connectionCount{0};

// Receives one Request's Response signal and ends the local loop waiting for it.
class ResponseWaiter : public QObject {
    Q_OBJECT
public:
    // False when the time ran out first.
    bool wait(std::chrono::milliseconds timeout) {
        if (answered) return true;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(timeout);
        loop.exec();
        return answered;
    }

    bool answered = false;
    uint response = 2;
    QVariantMap results;

public slots:
    void onResponse(uint code, const QVariantMap& values) {
        answered = true;
        response = code;
        results = values;
        loop.quit();
    }

private:
    QEventLoop loop;
};

// The one-line reason of a failed call.
std::string describe(const QDBusError& error) {
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownProperty:
    case QDBusError::InvalidArgs:
        return kNoPortal;
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return "The desktop portal did not answer";
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
        return "The session bus is gone";
    default: {
        const std::string message = error.message().toStdString();
        return "The desktop portal refused: " + (message.empty() ? error.name().toStdString() : message);
    }
    }
}

// The session bus's address, without starting one: an address from the
// environment, or the bus every desktop session keeps in the runtime folder.
QString sessionBusAddress() {
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty()) return address;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    return {};
}

// A private connection to the bus, so that the portal's session ends with it.
// Empty name and a reason when there is no bus.
QString connectBus(const PortalOptions& options, std::string& error) {
    if (!QCoreApplication::instance()) {
        error = "Screen recording needs the application object first";
        return {};
    }
    const QString address =
        options.busAddress.empty() ? sessionBusAddress() : QString::fromStdString(options.busAddress);
    if (address.isEmpty()) {
        error = "No session bus to reach the desktop portal";
        return {};
    }
    const QString name = QStringLiteral("movigram-portal-%1").arg(connectionCount.fetch_add(1));
    const QDBusConnection connection = QDBusConnection::connectToBus(address, name);
    if (!connection.isConnected()) {
        QDBusConnection::disconnectFromBus(name);
        error = "Cannot reach the session bus: " + connection.lastError().message().toStdString();
        return {};
    }
    return name;
}

QVariant readProperty(QDBusConnection connection, const QString& name, std::chrono::milliseconds timeout,
                      QDBusError& error) {
    QDBusMessage get = QDBusMessage::createMethodCall(kService, kObject, kProperties, QStringLiteral("Get"));
    get.setArguments({kScreenCast, name});
    const QDBusMessage reply = connection.call(get, QDBus::Block, int(timeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        error = QDBusError(reply);
        return {};
    }
    return reply.arguments().first().value<QDBusVariant>().variant();
}

// A "size" or "position" of the Start results: a pair of integers.
QSize readPair(const QVariant& value) {
    if (!value.canConvert<QDBusArgument>()) return {};
    const auto argument = value.value<QDBusArgument>();
    int first = 0;
    int second = 0;
    argument.beginStructure();
    argument >> first >> second;
    argument.endStructure();
    return {first, second};
}

}  // namespace

struct PortalScreenCast::Impl {
    PortalOptions options;
    QString connectionName;  // empty until connected
    QString sessionHandle;   // empty until the portal made the session
    bool started = false;
    int tokenCount = 0;

    QDBusConnection connection() const { return QDBusConnection(connectionName); }

    // The path of the Request a call with `token` will answer on.
    QString requestPath(const QString& token) const {
        QString sender = connection().baseService().mid(1);  // without the leading ':'
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        return kObject + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    }

    QString nextToken() {
        return QStringLiteral("movigram%1_%2").arg(QCoreApplication::applicationPid()).arg(++tokenCount);
    }

    // Calls a ScreenCast method whose last argument is `options` and waits for
    // its Request's Response.  The signal is watched before the call, on the
    // path the token gives, so that a quick answer is not missed.
    bool request(const QString& method, QVariantList arguments, QVariantMap requestOptions,
                 std::chrono::milliseconds timeout, QVariantMap& results, std::string& error) {
        QDBusConnection bus = connection();
        const QString token = nextToken();
        requestOptions.insert(QStringLiteral("handle_token"), token);
        QString path = requestPath(token);

        ResponseWaiter waiter;
        const auto watch = [&](const QString& at) {
            return bus.connect(kService, at, kRequest, QStringLiteral("Response"), &waiter,
                               SLOT(onResponse(uint, QVariantMap)));
        };
        const auto unwatch = [&](const QString& at) {
            bus.disconnect(kService, at, kRequest, QStringLiteral("Response"), &waiter,
                           SLOT(onResponse(uint, QVariantMap)));
        };
        if (!watch(path)) {
            error = "Cannot follow the desktop portal's answers";
            return false;
        }

        QDBusMessage call = QDBusMessage::createMethodCall(kService, kObject, kScreenCast, method);
        arguments.append(requestOptions);
        call.setArguments(arguments);
        const QDBusMessage reply = bus.call(call, QDBus::Block, int(options.replyTimeout.count()));
        if (reply.type() != QDBusMessage::ReplyMessage) {
            unwatch(path);
            error = describe(QDBusError(reply));
            return false;
        }
        // A portal older than handle tokens answers on a path of its own.
        const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
        if (!handle.isEmpty() && handle != path) {
            unwatch(path);
            path = handle;
            watch(path);
        }
        const bool answered = waiter.wait(timeout);
        unwatch(path);
        if (!answered) {
            bus.call(QDBusMessage::createMethodCall(kService, path, kRequest, QStringLiteral("Close")), QDBus::NoBlock);
            error = "The desktop portal did not answer";
            return false;
        }
        switch (waiter.response) {
        case 0:
            results = waiter.results;
            return true;
        case 1:
            error = "Cancelled";
            return false;
        default:
            error = "The desktop portal could not start the screen cast";
            return false;
        }
    }

    bool createSession(std::string& error) {
        QVariantMap requestOptions;
        requestOptions.insert(QStringLiteral("session_handle_token"), nextToken());
        QVariantMap results;
        if (!request(QStringLiteral("CreateSession"), {}, requestOptions, options.replyTimeout, results, error))
            return false;
        // A string in the portal's documentation, an object path in some portals.
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        sessionHandle =
            handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path() : handle.toString();
        if (sessionHandle.isEmpty()) {
            error = "The desktop portal gave no session";
            return false;
        }
        return true;
    }

    bool selectSources(bool& pointerShown, std::string& error) {
        QDBusError propertyError;
        const uint cursorModes = readProperty(connection(), QStringLiteral("AvailableCursorModes"),
                                              options.replyTimeout, propertyError)
                                     .toUInt();
        pointerShown = options.showPointer && (cursorModes & kCursorEmbedded);
        QVariantMap requestOptions;
        requestOptions.insert(QStringLiteral("types"), QVariant::fromValue(kSourceMonitor | kSourceWindow));
        requestOptions.insert(QStringLiteral("multiple"), false);
        // A portal without cursor modes (before version 2) takes none.
        if (cursorModes != 0) {
            const uint mode = pointerShown ? kCursorEmbedded : kCursorHidden;
            if (cursorModes & mode) requestOptions.insert(QStringLiteral("cursor_mode"), QVariant::fromValue(mode));
        }
        QVariantMap results;
        return request(QStringLiteral("SelectSources"), {QVariant::fromValue(QDBusObjectPath(sessionHandle))},
                       requestOptions, options.replyTimeout, results, error);
    }

    bool startCast(PortalStream& stream, std::string& error) {
        QVariantMap results;
        if (!request(QStringLiteral("Start"),
                     {QVariant::fromValue(QDBusObjectPath(sessionHandle)), QString::fromStdString(options.parentWindow)},
                     {}, options.choiceTimeout, results, error))
            return false;
        // streams: a(ua{sv}), one stream since we asked for one source.
        const QVariant streams = results.value(QStringLiteral("streams"));
        bool found = false;
        if (streams.canConvert<QDBusArgument>()) {
            const auto argument = streams.value<QDBusArgument>();
            argument.beginArray();
            while (!argument.atEnd()) {
                uint node = 0;
                QVariantMap properties;
                argument.beginStructure();
                argument >> node >> properties;
                argument.endStructure();
                if (found) continue;
                found = true;
                stream.node = node;
                const QSize size = readPair(properties.value(QStringLiteral("size")));
                stream.width = std::max(size.width(), 0);
                stream.height = std::max(size.height(), 0);
            }
            argument.endArray();
        }
        if (!found) {
            error = "The desktop portal gave no stream";
            return false;
        }
        return true;
    }

    bool openPipeWire(PortalStream& stream, std::string& error) {
        QDBusConnection bus = connection();
        if (!(bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
            error = "The session bus cannot pass PipeWire's connection";
            return false;
        }
        QDBusMessage call =
            QDBusMessage::createMethodCall(kService, kObject, kScreenCast, QStringLiteral("OpenPipeWireRemote"));
        call.setArguments({QVariant::fromValue(QDBusObjectPath(sessionHandle)), QVariantMap()});
        const QDBusMessage reply = bus.call(call, QDBus::Block, int(options.replyTimeout.count()));
        if (reply.type() != QDBusMessage::ReplyMessage) {
            error = describe(QDBusError(reply));
            return false;
        }
        const auto remote = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
        // The message owns its descriptor; ours is a copy.
        const int fd = remote.isValid() ? ::fcntl(remote.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
        if (fd < 0) {
            error = "The desktop portal gave no PipeWire connection";
            return false;
        }
        stream.pipeWire.reset(fd);
        return true;
    }

};

PortalScreenCast::PortalScreenCast(PortalOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
}

PortalScreenCast::~PortalScreenCast() {
    if (impl_->connectionName.isEmpty()) return;
    if (!impl_->sessionHandle.isEmpty()) {
        impl_->connection().call(QDBusMessage::createMethodCall(kService, impl_->sessionHandle, kSession,
                                                                QStringLiteral("Close")),
                                 QDBus::NoBlock);
    }
    QDBusConnection::disconnectFromBus(impl_->connectionName);
}

bool PortalScreenCast::start(PortalStream& stream, std::string& error) {
    if (impl_->started) {
        error = "The screen cast has started already";
        return false;
    }
    impl_->started = true;
    impl_->connectionName = connectBus(impl_->options, error);
    if (impl_->connectionName.isEmpty()) return false;
    stream = PortalStream{};
    return impl_->createSession(error) && impl_->selectSources(stream.pointerShown, error) &&
           impl_->startCast(stream, error) && impl_->openPipeWire(stream, error);
}

bool PortalScreenCast::available(const PortalOptions& options, std::string& error) {
    const QString name = connectBus(options, error);
    if (name.isEmpty()) return false;
    QDBusConnection bus(name);
    QDBusError propertyError;
    const uint sources = readProperty(bus, QStringLiteral("AvailableSourceTypes"), options.replyTimeout, propertyError)
                             .toUInt();
    QDBusConnection::disconnectFromBus(name);
    if (propertyError.isValid()) {
        error = describe(propertyError);
        return false;
    }
    if (!(sources & (kSourceMonitor | kSourceWindow))) {
        error = "The desktop portal can share neither a screen nor a window";
        return false;
    }
    return true;
}

}  // namespace movigram::capture

#include "PortalScreenCast.moc"
