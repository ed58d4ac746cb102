#pragma once
// A small screen-cast portal on a private bus, answering on a thread of its
// own as the desktop's portal does: each call returns its Request's path and
// the answer follows as the Request's Response signal.  Start gives the
// stream it is told to give; OpenPipeWireRemote a new connection to the
// PipeWire socket it is told of (or one end of a socket pair without one).
#include <QString>
#include <QThread>
#include <QVariantMap>

#include <cstdint>
#include <memory>
#include <mutex>

namespace movigram::capture::test {

struct PortalScript {
    std::uint32_t node = 0;
    int width = 0;
    int height = 0;
    QString pipeWireSocket;  // empty: hand out a socket pair's end
    uint startResponse = 0;  // 0 granted, 1 cancelled by the person, 2 failed
};

// What the portal was asked.
struct PortalLog {
    QVariantMap sourceOptions;  // SelectSources' options
    QString parentWindow;       // Start's
    int otherEnd = -1;          // the socket pair's end we kept
    bool sessionClosed = false;
};

class TestPortal {
public:
    TestPortal(const QString& busAddress, PortalScript script);
    ~TestPortal();
    bool registered() const { return registered_; }
    PortalLog log() const;

    class Object;

private:
    QThread thread_;
    std::unique_ptr<Object> object_;
    QString connectionName_;
    bool registered_ = false;
};

}  // namespace movigram::capture::test
