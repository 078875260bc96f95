#pragma once
// One of the project's own tools run as a separate process next to the window
// under test: a simulator that can be killed like an unplugged adapter, or a
// logger that holds the port. The child inherits this process's environment, so
// it sees the same temporary port map.
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

namespace ecu::garage {

class ChildProcess {
public:
    ChildProcess(const char* program, const QStringList& arguments);
    // A child still running is killed and reaped.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return started_; }
    bool Running() const;
    // Reads standard output until it holds `text`; false when the child ended or
    // timeoutMs passed first.
    bool WaitForOutput(const QString& text, int timeoutMs);
    // Sends sig to the child (SIGKILL: an adapter pulled out).
    void Signal(int sig);
    // The exit code once the child has ended by itself within timeoutMs; nothing
    // when it is still running or a signal ended it.
    std::optional<int> WaitForExit(int timeoutMs);
    bool EndedBySignal() const;
    // What the child wrote so far.
    QString Output();
    QString Errors();

private:
    QProcess process_;
    QString output_;
    QString errors_;
    bool started_ = false;
};

} // namespace ecu::garage
