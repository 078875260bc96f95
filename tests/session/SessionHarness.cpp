#include "SessionHarness.h"

#include "ecu-sim/AnswerEncoder.h"
#include "session/PortOpen.h"
#include "wire/Frames.h"

#include <QFileInfo>
#include <QTimer>

namespace ecu::testing {

void FakeHost::Stop() {
    if (!session_.Comm().Connected())
        return;
    session_.Comm().CloseComm();
    session_.State().Flags.StoppedWithPortOpen();
}

int FakeHost::ActivePageIndex() const {
    const int cycle = reads_++;
    auto* self = const_cast<FakeHost*>(this);
    self->cycles = reads_;
    if (onCycle)
        onCycle(cycle);
    const auto index = std::min<std::size_t>(cycle, pages.size() - 1);
    return pages.at(index);
}

void FakeHost::Record(StepKind kind) {
    steps.push_back({kind, reads_ - 1, session_.State().Engine});
    if (onStep)
        onStep(steps.back());
}

void FakeHost::OpenPort() {
    if (OpenPortWith(session_.Comm(), port, LinkBaudRate, delayMs, session_.State().PollDelay))
        ++portOpens;
}

std::optional<QString> FakeHost::ChooseSaveFile() {
    // The save dialog's overwrite prompt, answered by confirmOverwrite.
    if (saveChoice && QFileInfo::exists(*saveChoice) && !confirmOverwrite)
        return std::nullopt;
    return saveChoice;
}

SessionTest::SessionTest() {
    auto handler = comm.OnReceiveData;
    comm.OnReceiveData = [this, handler](const void* buffer, std::uint16_t length) {
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        delivered_.insert(delivered_.end(), p, p + length);
        handler(buffer, length);
    };
}

SessionTest::~SessionTest() {
    comm.CloseComm();
    sim.Stop();
}

SimOptions SessionTest::Fast(EngineVariant variant) {
    SimOptions o;
    o.variant = variant;
    o.fast = true;
    return o;
}

void SessionTest::StartSim(const SimOptions& options) {
    sim.SetOptions(options);
    sim.ClearFrames();
    sim.Start();
    map_.Link("COM1", sim.SlavePath());
}

void SessionTest::OpenPort() {
    host.OpenPort();
    ASSERT_TRUE(comm.Connected());
}

void SessionTest::RunLivePoll() {
    bool fired = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        fired = true;
        comm.CloseComm();
    });
    watchdog.start(30000);
    link.LivePoll();
    EXPECT_FALSE(fired) << "the live loop did not end by itself";
}

std::vector<std::vector<std::uint8_t>> SessionTest::FramesReceived() const {
    std::vector<std::vector<std::uint8_t>> out;
    for (const SimFrame& f : sim.Frames())
        if (f.valid)
            out.push_back(f.bytes);
    return out;
}

ByteString ExpectedExchange(const SimEngine& engine, EngineVariant variant) {
    ByteString rx(DataRequest.begin(), DataRequest.end());
    const auto answer = EncodeDataAnswer(engine, variant);
    rx.insert(rx.end(), answer.begin(), answer.end());
    return rx;
}

} // namespace ecu::testing
