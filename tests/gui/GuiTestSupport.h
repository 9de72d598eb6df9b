// SPDX-License-Identifier: MIT
// What the window tests share: a temporary working folder with a ports file, a message service
// that records every box together with the window's state at that moment, and the receiver
// simulator as a child process.
#pragma once

#include "Messages.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

// A fresh folder made the current directory, with $XDG_CONFIG_HOME inside it (so the ports file
// is the test's own) and port detection off.
class TestWorkspace {
public:
    TestWorkspace();
    ~TestWorkspace();
    TestWorkspace(const TestWorkspace&) = delete;
    TestWorkspace& operator=(const TestWorkspace&) = delete;

    QString Path(const QString& name) const { return Dir.filePath(name); }
    void Write(const QString& name, const std::string& bytes) const;
    std::string Read(const QString& name) const;
    bool Exists(const QString& name) const;
    void WritePortsFile(const std::string& lines) const;
    void WriteFirmwareFiles() const;  // font.app, decoder.app, out.app with distinct bytes

private:
    QTemporaryDir Dir;
    QString Previous;
};

// One box as it was shown, with what the window looked like then.
struct ShownBox {
    MessageBoxRequest Request;
    bool OnMainThread = false;
    bool WindowVisible = false;
    bool StartEnabled = false;
    bool PortBoxEnabled = false;
};

// Records boxes on the user-interface thread (as real boxes are shown) without blocking. Boxes
// that offer buttons beside OK are answered from Answers, in order (OK once it is used up).
class SnapshotMessageService : public MessageService {
public:
    void Show(const MessageBoxRequest& request) override;
    std::string Ask(const MessageBoxRequest& request) override;
    bool NeedsMainThread() const override { return true; }
    std::vector<ShownBox> Boxes;
    std::deque<std::string> Answers;
    std::vector<std::string> Texts() const;
};

// zendrak-receiver-sim on a pseudo-terminal, reachable as `link`.
class ReceiverSimulator {
public:
    ReceiverSimulator(const QString& link, const QStringList& options);
    ~ReceiverSimulator();
    bool Started() const { return Ready; }
    // Waits for the simulator to end; its exit code, or -1 when it had to be stopped.
    int WaitForExit(int timeoutMs);
    QString ErrorOutput();

private:
    QProcess Process;
    bool Ready = false;
};

// Watches the real (Qt) message boxes while they are open: records each one as it is shown and
// closes it with OK once it has been open for `closeAfterMs` (a test may let a box close by
// itself first; a box that had to be closed here is marked so).
struct SeenBox {
    QString Text;
    QString Caption;
    QString Details;
    QWidget* Parent = nullptr;
    bool HasIcon = false;
    QRect Geometry;
    bool ClosedByWatcher = false;
};
class BoxWatcher : public QObject {
public:
    explicit BoxWatcher(int closeAfterMs = 100);
    std::vector<SeenBox> Seen;

private:
    void Scan();
    int CloseAfterMs;
    struct OpenBox {
        QPointer<QWidget> Box;
        qint64 Since = 0;  // when first seen
        size_t Index = 0;  // in Seen
    };
    std::vector<OpenBox> Open;
    QElapsedTimer Clock;
};

// Runs the event loop until `done` holds or the time runs out (a functional time-out).
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
