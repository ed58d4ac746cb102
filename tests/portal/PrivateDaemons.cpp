#include "PrivateDaemons.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <cstring>

namespace movigram::capture::test {

namespace {

bool writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// A bus for these tests only: anyone may own any name and send anything.
const char* const kBusConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// What a screen cast needs of the daemon: clients (which the access module
// lets in), their nodes, and links made on request (the tests make the links
// a session manager would).
const char* const kPipeWireConfig = R"(context.properties = {
    core.daemon = true
    core.name = pipewire-0
    support.dbus = false
    mem.allow-mlock = false
}
context.spa-libs = {
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-access }
]
)";

}  // namespace

bool PrivateBus::start(std::string& why) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
        why = "dbus-daemon is not installed (scripts/install-deps test installs it)";
        return false;
    }
    const QString config = folder_.filePath(QStringLiteral("bus.conf"));
    if (!folder_.isValid() || !writeFile(config, QString::fromLatin1(kBusConfig).arg(folder_.path()).toUtf8())) {
        why = "cannot write the bus's configuration";
        return false;
    }
    daemon_.setProgram(program);
    daemon_.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1")});
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start();
    while (daemon_.waitForReadyRead(10000) && !daemon_.canReadLine()) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty()) {
        why = "dbus-daemon did not start: " + daemon_.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

PrivateBus::~PrivateBus() { stop(daemon_); }

bool PrivatePipeWire::start(std::string& why) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pipewire"));
    if (program.isEmpty()) {
        why = "the PipeWire daemon is not installed (scripts/install-deps test installs it)";
        return false;
    }
    const QString config = folder_.filePath(QStringLiteral("pipewire.conf"));
    if (!folder_.isValid() || !writeFile(config, kPipeWireConfig)) {
        why = "cannot write PipeWire's configuration";
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder_.path());
    environment.insert(QStringLiteral("PIPEWIRE_RUNTIME_DIR"), folder_.path());
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    daemon_.setProcessEnvironment(environment);
    daemon_.setProgram(program);
    daemon_.setArguments({QStringLiteral("-c"), config});
    daemon_.setStandardOutputFile(folder_.filePath(QStringLiteral("pipewire.log")));
    daemon_.setStandardErrorFile(folder_.filePath(QStringLiteral("pipewire.log")), QIODevice::Append);
    daemon_.start();
    // Ready once its socket takes connections.
    for (int tries = 0; tries < 500 && daemon_.state() != QProcess::NotRunning; ++tries) {
        const int fd = connectSocket(socketPath());
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        QThread::msleep(10);
    }
    QFile log(folder_.filePath(QStringLiteral("pipewire.log")));
    log.open(QIODevice::ReadOnly);
    why = "the PipeWire daemon did not start: " + log.readAll().trimmed().toStdString();
    return false;
}

PrivatePipeWire::~PrivatePipeWire() { stop(daemon_); }

int connectSocket(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::size_t(name.size()) >= sizeof address.sun_path) return -1;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace movigram::capture::test
