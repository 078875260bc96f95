#pragma once
// Playback of the slot's recording as a position over its records. The loop runs inside
// Start's handler and waits through the session's wait; Stop, a second Start, pause,
// steps, seeks and the pace are state changes that the handlers of keys and clicks make
// between its waits, never loops of their own.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace ecu {

class PlaybackFooter;
class LinkSession;
class RecordIndex;
class SessionHost;
struct SessionState;

enum class PlaybackPace : int { X1, X2, X4, X10, Fastest };

class Playback {
public:
    Playback(SessionState& state, SessionHost& host, PlaybackFooter& footer, LinkSession& link);
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Plays the slot's file from its first record until its end, Stop or an error (which
    // ends it silently). Called while a playback runs, it starts that one again from the
    // beginning instead. Errors before the first record (the graphs' reset) go out.
    void Play();
    bool Running() const { return running_; }
    // The last Play reached the file's end without decoding a single record.
    bool EndedWithNothingDecoded() const { return endedUndecoded_; }
    // The caption of the opened file ("Чтение файла trip.bin"); pace and pause follow it.
    void SetCaption(const QString& caption);
    // Ends a running playback where it stands; pages, graphs and bar stay as they are.
    void Stop();

    // Steering, while a playback runs; false when none does.
    bool TogglePause();
    bool Paused() const { return paused_; }
    // One record on (+1) or back (-1), the first or the last; while paused.
    bool Step(int delta);
    bool First();
    bool Last();
    // Stands on the record at which the progress bar reads `value`.
    bool SeekToProgress(int value);
    // One pace faster or slower; kept for later playbacks.
    void Faster();
    void Slower();
    PlaybackPace Pace() const { return pace_; }

    // Records of the last playback's file, and the one it stands on.
    std::size_t RecordCount() const;
    std::optional<std::size_t> Position() const { return position_; }
    // "Запись N из M" for the record at bar value `value`; empty without records.
    QString RecordTip(int value) const;

private:
    // What a playback's start does before its first record: bar, labels, graphs, index.
    void Begin();
    void Ended();
    void BuildIndex();
    void Run();
    // The fastest pace: records one after the other for about one redraw's time.
    void PlaySlice(const std::uint64_t seen);
    void PlayRecord(std::size_t i);
    void LoadAndDecode(std::size_t i);
    // Shows record `target` as a playback that reached it would.
    void StandOn(std::size_t target);
    // Runs a steering change; an error there ends the playback as it would the loop.
    template <class Fn> bool Steer(Fn&& fn);
    std::size_t Next() const { return position_ ? *position_ + 1 : 0; }
    void ShowProgress();
    void ShowCaption();
    void Changed() { ++changes_; }

    SessionState& state_;
    SessionHost& host_;
    PlaybackFooter& footer_;
    LinkSession& link_;
    std::unique_ptr<RecordIndex> index_;
    std::optional<std::size_t> position_; // the record shown last
    int maximum_ = 0;
    QString caption_;
    PlaybackPace pace_ = PlaybackPace::X1;
    bool running_ = false;
    bool paused_ = false;
    bool stop_ = false;
    bool restart_ = false;
    bool decodedAny_ = false;     // in this playback, steering included
    bool endedUndecoded_ = false; // see EndedWithNothingDecoded
    std::uint64_t changes_ = 0;   // ends the loop's wait early when it moves
};

} // namespace ecu
