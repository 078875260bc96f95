#include "session/Playback.h"

#include "link/Decode.h"
#include "record/RecordIndex.h"
#include "session/FileHost.h"
#include "session/LinkSession.h"
#include "session/Messages.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"

#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

namespace ecu {

namespace {
// Wait before each record at ×1, ×2, ×4 and ×10; ×1 is the recorded 100 ms.
constexpr std::array<std::int32_t, 4> PaceWaitMs = {100, 50, 25, 10};
constexpr std::array<const char*, 4> PaceNames = {"", " ×2", " ×4", " ×10"};
// The fastest pace hands the window its events (and a redraw) this often: ~30 a second.
constexpr qint64 FrameMs = 33;
constexpr std::int32_t EventPassMs = 1;
// A paused loop wakes at each change anyway; this only bounds a wait nothing ended.
constexpr std::int32_t PausedWaitMs = 250;
// A refill gives the graphs the points a chart shows: the target and those before it.
constexpr std::size_t GraphPoints = 274;
constexpr std::size_t ReadBlock = 1 << 16;
} // namespace

Playback::Playback(SessionState& state, SessionHost& host, PlaybackFooter& footer,
                   LinkSession& link)
    : state_(state), host_(host), footer_(footer), link_(link) {}

Playback::~Playback() = default;

void Playback::SetCaption(const QString& caption) {
    caption_ = caption;
    ShowCaption();
}

void Playback::ShowCaption() {
    if (caption_.isEmpty())
        return;
    QString text = caption_;
    if (pace_ == PlaybackPace::Fastest)
        text += QString::fromUtf8(text::PaceFastest);
    else
        text += QString::fromUtf8(PaceNames[static_cast<std::size_t>(pace_)]);
    if (paused_ && running_)
        text += QString::fromUtf8(text::Paused);
    footer_.SetFileNameLabel(text);
}

void Playback::Play() {
    endedUndecoded_ = false;
    if (running_) {
        // A second Start plays the file again from its beginning: one loop, started over.
        restart_ = true;
        Changed();
        return;
    }
    running_ = true;
    stop_ = false;
    footer_.PlaybackRunning(true);
    do {
        restart_ = false;
        paused_ = false;
        ShowCaption();
        try {
            Begin();
            Run();
        } catch (...) {
            // An error after the start (a vanished file, a failing page) just ends it;
            // one before it (the graphs' reset) is the handler's to show.
            if (!index_ && !restart_) {
                Ended();
                throw;
            }
        }
    } while (restart_ && !stop_);
    Ended();
}

void Playback::Ended() {
    running_ = false;
    paused_ = false;
    ShowCaption();
    footer_.PlaybackRunning(false);
}

void Playback::Begin() {
    index_.reset();
    position_.reset();
    decodedAny_ = false;
    endedUndecoded_ = false;
    footer_.SetProgressPosition(0);
    footer_.ShowPercentLabels();
    host_.ResetGraphs();
    index_ = std::make_unique<RecordIndex>(RecordSize(host_.SelectedVariant()));
    if (index_->RecordSize() == 0)
        return; // no variant chosen: there is no record to cut
    const std::int64_t records =
        state_.File.Size() / static_cast<std::int64_t>(index_->RecordSize());
    maximum_ = static_cast<int>(std::min<std::int64_t>(records, INT_MAX));
    footer_.SetProgressMaximum(maximum_);
    footer_.ShowProgressBar();
    BuildIndex();
}

// Cut as ecu-csv cuts: a damaged cycle is skipped, not shown.
void Playback::BuildIndex() {
    DataFile& file = state_.File;
    file.Seek(0);
    std::vector<std::uint8_t> block(ReadBlock);
    std::size_t got = 0;
    do { // a short block is the end: Read completes blocks until there
        got = file.Read(block.data(), block.size());
        index_->Feed(std::span<const std::uint8_t>(block.data(), got));
    } while (got == block.size());
    index_->Finish();
}

void Playback::Run() {
    if (index_->RecordSize() == 0)
        return;
    while (!stop_ && !restart_) {
        const std::uint64_t seen = changes_;
        const auto changed = [this, seen] { return changes_ != seen; };
        if (paused_) {
            link_.WaitMs(PausedWaitMs, changed);
            continue;
        }
        if (Next() >= index_->Count())
            break;
        if (pace_ == PlaybackPace::Fastest) {
            PlaySlice(seen);
            link_.WaitMs(EventPassMs, changed);
            continue;
        }
        link_.WaitMs(PaceWaitMs[static_cast<std::size_t>(pace_)], changed);
        if (!changed()) // a step, seek, pause or new pace waits afresh from where it left
            PlayRecord(Next());
    }
    endedUndecoded_ = !stop_ && !restart_ && !decodedAny_;
    // Damaged cycles at the end moved the bar too; a partial last record does not.
    if (!stop_ && !restart_ && index_->Cutter().Damaged() != 0)
        footer_.SetProgressPosition(static_cast<int>(
            std::min<std::uint64_t>(index_->Cutter().Consumed() / index_->RecordSize(),
                                    static_cast<std::uint64_t>(maximum_))));
}

void Playback::PlaySlice(const std::uint64_t seen) {
    QElapsedTimer frame;
    frame.start();
    do
        PlayRecord(Next());
    while (Next() < index_->Count() && changes_ == seen && frame.elapsed() < FrameMs);
}

void Playback::PlayRecord(std::size_t i) {
    LoadAndDecode(i);
    StepDisplayPage(host_, host_.ActivePageIndex()); // never sends, not on the control page
    position_ = i;
    ShowProgress();
}

void Playback::LoadAndDecode(std::size_t i) {
    const std::size_t length = index_->ReadLength(i);
    ByteString& rx = state_.RxBuffer;
    rx.resize(length);
    state_.File.Seek(static_cast<std::int64_t>(index_->At(i).offset));
    if (state_.File.Read(rx.data(), length) != length)
        throw DataFileError(state_.File.Path() + ": the recording has become shorter");
    decodedAny_ = DecodeExchange(rx, state_.Engine, host_.SelectedVariant()) || decodedAny_;
}

void Playback::StandOn(std::size_t target) {
    const int page = host_.ActivePageIndex();
    // The records before the target are decoded too: one the decoder refuses leaves the
    // values of the one before, as playing would have.
    const std::size_t first = target + 1 >= GraphPoints ? target + 1 - GraphPoints : 0;
    if (page == PageGraphs)
        host_.RestartGraphsAt(static_cast<int>(std::min<std::size_t>(first, INT_MAX)));
    for (std::size_t i = first; i <= target; ++i) {
        LoadAndDecode(i);
        if (page == PageGraphs)
            host_.AddGraphPoints();
    }
    if (page == PageParameters)
        host_.ShowParameters();
    else if (page == PageGraphs)
        host_.PlaceGraphCursorAtNewest();
    position_ = target;
    ShowProgress();
}

void Playback::ShowProgress() {
    if (!position_)
        return;
    const std::uint64_t at = index_->ProgressAfter(*position_);
    footer_.SetProgressPosition(static_cast<int>(std::min<std::uint64_t>(at, maximum_)));
}

void Playback::Stop() {
    if (!running_)
        return;
    stop_ = true;
    Changed();
}

template <class Fn> bool Playback::Steer(Fn&& fn) {
    if (!running_ || !index_ || index_->Count() == 0)
        return false;
    try {
        fn();
    } catch (...) {
        stop_ = true; // as an error of the loop would: the playback ends silently
    }
    Changed();
    return true;
}

bool Playback::TogglePause() {
    if (!running_)
        return false;
    paused_ = !paused_;
    Changed();
    ShowCaption();
    return true;
}

bool Playback::Step(int delta) {
    if (!paused_)
        return false;
    return Steer([&] {
        const std::size_t at = position_.value_or(0);
        if (delta < 0 && at > 0)
            StandOn(at - 1);
        else if (delta > 0 && Next() < index_->Count())
            StandOn(Next());
        else if (!position_)
            StandOn(0);
    });
}

bool Playback::First() {
    return paused_ && Steer([&] { StandOn(0); });
}

bool Playback::Last() {
    return paused_ && Steer([&] { StandOn(index_->Count() - 1); });
}

bool Playback::SeekToProgress(int value) {
    return Steer(
        [&] { StandOn(index_->RecordAtProgress(static_cast<std::uint64_t>(std::max(value, 0)))); });
}

void Playback::Faster() {
    if (pace_ != PlaybackPace::Fastest)
        pace_ = static_cast<PlaybackPace>(static_cast<int>(pace_) + 1);
    Changed();
    ShowCaption();
}

void Playback::Slower() {
    if (pace_ != PlaybackPace::X1)
        pace_ = static_cast<PlaybackPace>(static_cast<int>(pace_) - 1);
    Changed();
    ShowCaption();
}

std::size_t Playback::RecordCount() const {
    return index_ ? index_->Count() : 0;
}

QString Playback::RecordTip(int value) const {
    if (!index_ || index_->Count() == 0)
        return {};
    const std::size_t at = index_->RecordAtProgress(static_cast<std::uint64_t>(std::max(value, 0)));
    return QString::fromUtf8(text::RecordOfCount)
        .arg(static_cast<qulonglong>(at + 1))
        .arg(static_cast<qulonglong>(index_->Count()));
}

} // namespace ecu
