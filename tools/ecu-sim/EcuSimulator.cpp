#include "ecu-sim/EcuSimulator.h"

#include "ecu-sim/AnswerEncoder.h"
#include "ecu-sim/EngineModel.h"
#include "ecu-sim/FaultPicker.h"
#include "ecu-sim/FrameScanner.h"
#include "ecu-sim/LineOutput.h"
#include "ecu-sim/LinkBytes.h"
#include "ecu-sim/SimTty.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <poll.h>
#include <random>
#include <stdexcept>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace ecu {
namespace {

using Clock = std::chrono::steady_clock;

// A frame whose start has arrived but whose rest has not come within this time is given up.
constexpr auto kHold = std::chrono::milliseconds(50);
// Wait after the far side went away before looking again.
constexpr auto kHangupPause = std::chrono::milliseconds(50);
// Oldest entries of Frames() are dropped beyond this, so a long run does not grow without end.
constexpr std::size_t kMaxFrames = 200000;
// Likewise for SentBytes(): the oldest half goes once it holds this many.
constexpr std::size_t kMaxSent = std::size_t{1} << 20;

timespec ToTimespec(Clock::duration d) {
    if (d < Clock::duration::zero())
        d = Clock::duration::zero();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

} // namespace

struct EcuSimulator::Impl {
    explicit Impl(SimOptions o)
        : options(std::move(o)), model(options.seed, options.ambientC, options.promId),
          lastAdvance(Clock::now()) {
        lastAnswered = model.State();
    }

    // Shared state, under mutex.
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    SimOptions options;
    EngineModel model;
    Clock::time_point lastAdvance;
    SimEngine lastAnswered;
    std::optional<SimEngine> held; // answered instead of the model while set
    std::deque<SimFrame> frames;
    std::vector<std::uint8_t> sent;
    SimCounts counts;
    std::function<void(const SimFrame&)> observer;
    bool started = false; // once true, the engine keeps its state across option changes

    // Lifecycle, under lifeMutex.
    std::mutex lifeMutex;
    std::thread thread;
    std::atomic<bool> running{false};
    SimLine line;
    int stopFd = -1;
    std::string path; // under mutex

    // Line thread only.
    FrameScanner scanner;
    LineOutput output;
    std::vector<std::uint8_t> written; // by the latest flush
    std::unique_ptr<FaultPicker> picker;
    std::mt19937 garbageRng;

    void AdvanceModel(Clock::time_point now) {
        const double seconds = std::chrono::duration<double>(now - lastAdvance).count();
        if (seconds > 0)
            model.Advance(seconds * options.timeScale);
        lastAdvance = now;
    }

    void Begin(SimLine opened) {
        const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fd < 0) {
            const int err = errno;
            CloseSimLine(opened);
            throw std::system_error(err, std::generic_category(), "eventfd");
        }
        line = opened;
        stopFd = fd;
        scanner = FrameScanner();
        output = LineOutput();
        {
            std::lock_guard lock(mutex);
            path = line.path;
            started = true;
            picker = std::make_unique<FaultPicker>(options.seed);
            garbageRng.seed(options.seed ^ 0x9E3779B9u);
        }
        running = true;
        thread = std::thread([this] { Run(); });
    }

    void Run();
    void Handle(const FrameScanner::Piece& piece, Clock::time_point now);
    std::vector<std::uint8_t> Answer(std::uint8_t mode, const std::vector<std::uint8_t>& frame,
                                     Clock::time_point now);
    void Record(const SimFrame& frame);
    void RecordSent();

    void Count(std::uint8_t mode) {
        ++counts.frames;
        switch (mode) {
        case link_bytes::kModeData:
            ++counts.dataRequests;
            break;
        case link_bytes::kModeControl:
            ++counts.controlFrames;
            break;
        case link_bytes::kModeReset:
            ++counts.resetRequests;
            break;
        case link_bytes::kModeZero:
            ++counts.modeZero;
            break;
        default:
            break;
        }
    }
};

void EcuSimulator::Impl::Record(const SimFrame& frame) {
    std::function<void(const SimFrame&)> notify;
    {
        std::lock_guard lock(mutex);
        frames.push_back(frame);
        if (frames.size() > kMaxFrames)
            frames.pop_front();
        notify = observer;
    }
    if (!notify)
        return;
    try {
        notify(frame);
    } catch (...) {
        // An observer's failure must not take the line down.
    }
}

void EcuSimulator::Impl::RecordSent() {
    if (written.empty())
        return;
    std::lock_guard lock(mutex);
    sent.insert(sent.end(), written.begin(), written.end());
    if (sent.size() > kMaxSent)
        sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(sent.size() / 2));
    written.clear();
}

std::vector<std::uint8_t> EcuSimulator::Impl::Answer(std::uint8_t mode,
                                                     const std::vector<std::uint8_t>& frame,
                                                     Clock::time_point now) {
    using namespace link_bytes;
    AdvanceModel(now);
    switch (mode) {
    case kModeData: {
        lastAnswered = held ? *held : model.State();
        return EncodeDataAnswer(lastAnswered, options.variant);
    }
    case kModeControl:
        // Data sits between the mode byte and the checksum.
        model.ApplyControl(std::span<const std::uint8_t>(frame).subspan(3, frame.size() - 4));
        return MakeFrame(kModeControl, {});
    case kModeReset: {
        model.Reset();
        const std::array<std::uint8_t, 1> ack{kResetAck};
        return MakeFrame(kModeReset, ack);
    }
    case kModeZero:
        return MakeFrame(kModeZero, {});
    default:
        return {}; // modes this ECU does not know go unanswered
    }
}

void EcuSimulator::Impl::Handle(const FrameScanner::Piece& piece, Clock::time_point now) {
    Record(SimFrame{piece.bytes, now, piece.frame});
    if (!piece.frame) {
        {
            std::lock_guard lock(mutex);
            counts.skippedBytes += piece.bytes.size();
        }
        output.Queue(piece.bytes, now, LineOutput::Source::Wire);
        return;
    }

    const std::uint8_t mode = piece.bytes[2];
    std::vector<std::uint8_t> answer;
    SimFault fault;
    SimOptions o;
    {
        std::lock_guard lock(mutex);
        o = options;
        Count(mode);
        fault = picker->Pick(options.faults, mode == link_bytes::kModeData);
        if (fault != SimFault::None)
            ++counts.faults;
        // With the cable off or the ignition off the ECU never hears the frame.
        if (fault != SimFault::Silence && fault != SimFault::EchoOnly)
            answer = Answer(mode, piece.bytes, now);
    }

    const Clock::duration byteTime =
        o.fast ? Clock::duration::zero()
               : std::chrono::duration_cast<Clock::duration>(
                     std::chrono::duration<double>(10.0 / std::max(o.lineBaud, 1)));
    output.SetByteTime(byteTime);

    using Source = LineOutput::Source;
    if (fault == SimFault::StrayByte)
        output.Queue(std::span(&o.strayByte, 1), now, Source::Wire);
    if (fault != SimFault::Silence && fault != SimFault::NoEcho)
        output.Queue(piece.bytes, now, Source::Wire);
    if (answer.empty()) {
        changed.notify_all();
        return;
    }

    // The ECU speaks once the request is over (its echo has passed) and it is done with
    // earlier answers.
    Clock::time_point start = output.FreeAt(Source::Wire, now);
    if (!o.fast)
        start += o.turnaround;
    start = std::max(start, output.FreeAt(Source::Ecu, start));
    bool complete = true;
    switch (fault) {
    case SimFault::Delayed:
        start += o.faultDelay;
        break;
    case SimFault::Partial: {
        const std::size_t keep = o.partialBytes ? o.partialBytes : answer.size() / 2;
        answer.resize(std::min(keep, answer.size() - 1));
        complete = false;
        break;
    }
    case SimFault::Garbage: {
        std::uniform_int_distribution<int> byte(0, 255);
        for (auto& b : answer)
            b = static_cast<std::uint8_t>(byte(garbageRng));
        if (link_bytes::SumsToZero(answer))
            answer.back() ^= 0x01;
        complete = false;
        break;
    }
    default:
        break;
    }
    output.Queue(answer, start, Source::Ecu);
    {
        std::lock_guard lock(mutex);
        if (complete)
            ++counts.answers;
    }
    changed.notify_all();
}

void EcuSimulator::Impl::Run() {
    std::array<std::uint8_t, 4096> buf{};
    bool blocked = false;
    for (;;) {
        const Clock::time_point now = Clock::now();
        while (auto piece = scanner.Take(now, kHold))
            Handle(*piece, now);
        blocked = !output.Flush(line.fd, now, &written);
        RecordSent();

        std::optional<Clock::time_point> wake;
        if (!blocked)
            wake = output.NextDue();
        if (const auto deadline = scanner.Deadline(kHold))
            wake = wake ? std::min(*wake, *deadline) : *deadline;
        timespec ts{};
        if (wake)
            ts = ToTimespec(*wake - Clock::now());

        pollfd fds[2] = {{stopFd, POLLIN, 0},
                         {line.fd, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0}};
        const int r = ppoll(fds, 2, wake ? &ts : nullptr, nullptr);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::perror("ecu-sim: poll");
            break;
        }
        if (fds[0].revents)
            break;
        bool hangup = false;
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(line.fd, buf.data(), buf.size());
            if (n > 0)
                scanner.Append(buf.data(), static_cast<std::size_t>(n), Clock::now());
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                hangup = true;
        } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            hangup = true;
        }
        if (hangup) {
            // Nobody on the other side: wait for someone, but stay stoppable.
            pollfd stop{stopFd, POLLIN, 0};
            const timespec pause = ToTimespec(kHangupPause);
            if (ppoll(&stop, 1, &pause, nullptr) > 0)
                break;
        }
    }
    running = false;
    changed.notify_all();
}

EcuSimulator::EcuSimulator(SimOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

EcuSimulator::~EcuSimulator() {
    Stop();
}

void EcuSimulator::Start() {
    std::lock_guard life(impl_->lifeMutex);
    if (impl_->thread.joinable())
        throw std::logic_error("ECU simulator already started");
    impl_->Begin(OpenSimPty(Options().lineBaud));
}

void EcuSimulator::StartOnDevice(const std::string& path) {
    std::lock_guard life(impl_->lifeMutex);
    if (impl_->thread.joinable())
        throw std::logic_error("ECU simulator already started");
    impl_->Begin(OpenSimDevice(path, Options().lineBaud));
}

void EcuSimulator::Stop() {
    std::lock_guard life(impl_->lifeMutex);
    if (!impl_->thread.joinable())
        return;
    const std::uint64_t one = 1;
    while (::write(impl_->stopFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    impl_->thread.join();
    CloseSimLine(impl_->line);
    ::close(impl_->stopFd);
    impl_->stopFd = -1;
    impl_->running = false;
}

bool EcuSimulator::Running() const {
    return impl_->running;
}

unsigned EcuSimulator::LineRate() const {
    std::lock_guard life(impl_->lifeMutex);
    return impl_->thread.joinable() ? ecu::LineRate(impl_->line) : 0;
}

std::string EcuSimulator::SlavePath() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->path;
}

void EcuSimulator::SetOptions(const SimOptions& options) {
    std::lock_guard lock(impl_->mutex);
    impl_->AdvanceModel(Clock::now()); // time so far runs at the old scale
    impl_->options = options;
    if (!impl_->started) {
        // Nothing has run yet: the engine starts afresh from the new seed and temperature.
        const SimEngine old = impl_->model.State();
        impl_->model = EngineModel(options.seed, options.ambientC, options.promId);
        impl_->model.SetFaultBytes(old.faultByte1, old.faultByte2);
        impl_->lastAnswered = impl_->model.State();
        return;
    }
    impl_->model.SetPromId(options.promId);
    impl_->model.SetAmbient(options.ambientC);
}

SimOptions EcuSimulator::Options() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->options;
}

void EcuSimulator::SetFaultBytes(std::uint8_t byte1, std::uint8_t byte2) {
    std::lock_guard lock(impl_->mutex);
    impl_->model.SetFaultBytes(byte1, byte2);
    if (impl_->held) {
        impl_->held->faultByte1 = byte1;
        impl_->held->faultByte2 = byte2;
    }
}

void EcuSimulator::HoldEngine(const SimEngine& state) {
    std::lock_guard lock(impl_->mutex);
    impl_->held = state;
}

void EcuSimulator::ReleaseEngine() {
    std::lock_guard lock(impl_->mutex);
    impl_->held.reset();
}

void EcuSimulator::SetFrameObserver(std::function<void(const SimFrame&)> observer) {
    std::lock_guard lock(impl_->mutex);
    impl_->observer = std::move(observer);
}

std::vector<SimFrame> EcuSimulator::Frames() const {
    std::lock_guard lock(impl_->mutex);
    return {impl_->frames.begin(), impl_->frames.end()};
}

void EcuSimulator::ClearFrames() {
    std::lock_guard lock(impl_->mutex);
    impl_->frames.clear();
}

std::vector<std::uint8_t> EcuSimulator::SentBytes() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->sent;
}

void EcuSimulator::ClearSent() {
    std::lock_guard lock(impl_->mutex);
    impl_->sent.clear();
}

SimCounts EcuSimulator::Counts() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->counts;
}

bool EcuSimulator::WaitForDataRequests(std::uint64_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->counts.dataRequests >= n; });
}

bool EcuSimulator::WaitForFrames(std::uint64_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout, [&] { return impl_->counts.frames >= n; });
}

SimEngine EcuSimulator::Engine() const {
    std::lock_guard lock(impl_->mutex);
    impl_->AdvanceModel(Clock::now());
    return impl_->model.State();
}

SimEngine EcuSimulator::LastAnswered() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lastAnswered;
}

} // namespace ecu
