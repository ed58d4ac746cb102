#pragma once
// The daemons a recording on Wayland talks to, started privately for the
// tests: a session bus, and a PipeWire daemon whose socket lives in a
// temporary folder.  Each stops when its object goes.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <string>

namespace movigram::capture::test {

class PrivateBus {
public:
    // False with a reason when dbus-daemon is missing or does not start.
    bool start(std::string& why);
    ~PrivateBus();
    const QString& address() const { return address_; }

private:
    QTemporaryDir folder_;
    QProcess daemon_;
    QString address_;
};

class PrivatePipeWire {
public:
    bool start(std::string& why);
    ~PrivatePipeWire();
    QString socketPath() const { return folder_.filePath(QStringLiteral("pipewire-0")); }

private:
    QTemporaryDir folder_;
    QProcess daemon_;
};

// A new connection to the UNIX socket at `path`, or -1.
int connectSocket(const QString& path);

}  // namespace movigram::capture::test
