#include "ChildProcess.h"

#include <QDeadlineTimer>

#include <csignal>

namespace ecu::garage {

ChildProcess::ChildProcess(const char* program, const QStringList& arguments) {
    process_.setProgram(QString::fromLocal8Bit(program));
    process_.setArguments(arguments);
    process_.start(QIODevice::ReadOnly);
    started_ = process_.waitForStarted(5000);
}

ChildProcess::~ChildProcess() {
    if (Running()) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool ChildProcess::Running() const {
    return process_.state() != QProcess::NotRunning;
}

QString ChildProcess::Output() {
    output_ += QString::fromLocal8Bit(process_.readAllStandardOutput());
    return output_;
}

QString ChildProcess::Errors() {
    errors_ += QString::fromLocal8Bit(process_.readAllStandardError());
    return errors_;
}

bool ChildProcess::WaitForOutput(const QString& text, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!Output().contains(text)) {
        if (!Running() || deadline.hasExpired())
            return Output().contains(text);
        process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    return true;
}

void ChildProcess::Signal(int sig) {
    const qint64 pid = process_.processId();
    if (pid > 0)
        ::kill(static_cast<pid_t>(pid), sig);
}

std::optional<int> ChildProcess::WaitForExit(int timeoutMs) {
    if (Running() && !process_.waitForFinished(timeoutMs))
        return std::nullopt;
    Output();
    Errors();
    if (EndedBySignal())
        return std::nullopt;
    return process_.exitCode();
}

bool ChildProcess::EndedBySignal() const {
    return !Running() && process_.exitStatus() == QProcess::CrashExit;
}

} // namespace ecu::garage
