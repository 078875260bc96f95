// Playback of arbitrary files: the bytes become the data file that Start plays through
// the real file session. Byte 0 picks the engine variant (bits 0-1), the active page
// (bits 2-4, modulo the page count) and whether every fixed-size record, the partial last
// one too, is made to begin with the data request's echo (bit 7), which gives well-formed
// recordings with fuzzed answers. The rest is the file. What is played is checked against
// a direct walk from echo to echo. The pace between records runs on a tick
// that jumps a whole second at each reading, so playback takes no real time.
#include "FuzzCheck.h"
#include "PortMap.h"
#include "link/Decode.h"
#include "record/Records.h"
#include "session/FileHost.h"
#include "session/MessagePresenter.h"
#include "session/Session.h"
#include "session/SessionHost.h"
#include "wire/Frames.h"
#include "wire/Modes.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace ecu;

// Starts a little before the 32-bit wrap, so that the waits also cross it. Each pace
// reads it twice (start, then done), so the readings tell how many records were played.
class JumpingTicks : public TickSource {
public:
    std::uint32_t Now() override {
        ++readings;
        return now_ += 1000;
    }
    int readings = 0;

private:
    std::uint32_t now_ = 0xFFFFF000U;
};

// The records playback must play: from each echo of the data request to the next (or the
// end), those at least the record size long, as far as the cutter keeps them.
std::vector<std::span<const std::uint8_t>> WholeRecords(std::span<const std::uint8_t> file,
                                                        std::size_t size) {
    std::vector<std::size_t> echoes;
    for (auto it = file.begin();; it += EchoLength) {
        it = std::search(it, file.end(), DataRequest.begin(), DataRequest.end());
        if (it == file.end())
            break;
        echoes.push_back(static_cast<std::size_t>(it - file.begin()));
    }
    std::vector<std::span<const std::uint8_t>> whole;
    for (std::size_t i = 0; i < echoes.size(); ++i) {
        const std::size_t end = i + 1 < echoes.size() ? echoes[i + 1] : file.size();
        if (size > 0 && end - echoes[i] >= size)
            whole.push_back(
                file.subspan(echoes[i], std::min(end - echoes[i], RecordCutter::kKeep)));
    }
    return whole;
}

// The window, as far as playback sees it, checking each played record (a pace, then the
// progress set): it is the next whole record of the walk, the values shown are what
// decoding it gives, and the bar never goes back or past its maximum. A progress set
// without a pace only moves the bar over a damaged end.
class CheckingHost : public SessionHost,
                     public PlaybackFooter,
                     public FileChooser,
                     public MessagePresenter {
public:
    CheckingHost(const JumpingTicks& ticks, std::vector<std::span<const std::uint8_t>> records,
                 EngineVariant variant, int page)
        : ticks_(ticks), records_(std::move(records)), variant_(variant), page_(page) {}
    // The state of the session played through this host, before it starts.
    void Watch(const SessionState& state) { state_ = &state; }

    int ActivePageIndex() const override { return page_; }
    EngineVariant SelectedVariant() const override { return variant_; }
    void ShowParameters() override { Shown(PageParameters); }
    void AddGraphPoints() override { Shown(PageGraphs); }
    void ResetGraphs() override { ++graphResets; }
    void ControlPageRefresh() override { FUZZ_CHECK(!"playback never refreshes the control page"); }
    void OpenPort() override { FUZZ_CHECK(!"playback never opens the port"); }

    void SetProgressPosition(int position) override;
    int ProgressPosition() const override { return position; }
    void SetProgressMaximum(int max) override {
        FUZZ_CHECK(max >= 0 && position == 0);
        maximum = max;
    }
    void ShowProgressBar() override {}
    void ShowPercentLabels() override {}
    void SetFileNameLabel(const QString&) override {}
    void ShowPortClosedByPlayback() override {}
    std::optional<QString> ChooseSaveFile() override { return std::nullopt; }
    std::optional<QString> ChooseOpenFile() override { return path; }

    void ShowMessage(const QString&, const QString&, MessageIcon) override { ++boxes; }

    QString path;
    int position = -1;
    int maximum = -1;
    int graphResets = 0;
    int boxes = 0;
    int steps = 0;
    std::size_t played = 0;
    bool decodedAny = false;

private:
    void Shown(int page) {
        FUZZ_CHECK(page == page_ && !stepPending_);
        shown_ = state_->Engine;
        stepPending_ = true;
        ++steps;
    }
    void CheckPlayedRecord();

    const SessionState* state_ = nullptr;
    const JumpingTicks& ticks_;
    int readings_ = 0; // tick readings at the last progress set
    std::vector<std::span<const std::uint8_t>> records_;
    EngineVariant variant_;
    int page_;
    EngineData before_; // the values before the record being checked
    EngineData shown_;  // what the last page step showed
    bool stepPending_ = false;
};

void CheckingHost::CheckPlayedRecord() {
    FUZZ_CHECK(played < records_.size());
    const auto record = records_[played];
    ByteString rx(record.begin(), record.end());
    EngineData values = before_;
    decodedAny = DecodeExchange(rx, values, variant_) || decodedAny;
    FUZZ_CHECK(rx == state_->RxBuffer && values == state_->Engine);
    before_ = values;
    ++played;
}

void CheckingHost::SetProgressPosition(int pos) {
    if (position < 0) {
        // Playback starts at 0 with the values it found.
        FUZZ_CHECK(pos == 0);
        position = 0;
        before_ = state_->Engine;
        readings_ = ticks_.readings;
        return;
    }
    FUZZ_CHECK(pos >= position && maximum >= 0 && pos <= maximum);
    position = pos;
    const int paces = (ticks_.readings - readings_) / 2;
    readings_ = ticks_.readings;
    FUZZ_CHECK(paces <= 1);
    if (paces == 0) {
        FUZZ_CHECK(!stepPending_ && state_->Engine == before_);
        return;
    }
    // The page step of a record comes before the progress moves on, with its values.
    FUZZ_CHECK(!stepPending_ || shown_ == state_->Engine);
    stepPending_ = false;
    CheckPlayedRecord();
}

int g_memfd = -1;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Nothing here opens a port; the map still must not lead to the console.
    static ecu::test::PortMap ports;
    static QCoreApplication app(*argc, *argv);
    // A regular file in memory, rewritten for each input.
    g_memfd = memfd_create("ecuscan-playback", MFD_CLOEXEC);
    FUZZ_CHECK(g_memfd >= 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const EngineVariant variant = VariantFromIndex(static_cast<int>(data[0] & 3U) - 1);
    const int page = ((data[0] >> 2) & 7) % PageCount;
    const bool stamp = (data[0] & 0x80U) != 0;
    std::vector<std::uint8_t> file(data + 1, data + size);

    const std::size_t recordSize = RecordSize(variant);
    // Well-formed: every record, the partial last one too, begins with the echo (as far
    // as its bytes go), as a recording of whole cycles does.
    for (std::size_t at = 0; stamp && recordSize > 0 && at < file.size(); at += recordSize)
        std::copy_n(DataRequest.begin(), std::min(DataRequest.size(), file.size() - at),
                    file.data() + at);
    // Written over the last input and cut to size, which keeps the file's pages.
    FUZZ_CHECK(file.empty() ||
               pwrite(g_memfd, file.data(), file.size(), 0) == static_cast<ssize_t>(file.size()));
    FUZZ_CHECK(ftruncate(g_memfd, static_cast<off_t>(file.size())) == 0);

    JumpingTicks ticks;
    const auto records = WholeRecords(file, recordSize);
    CheckingHost host(ticks, records, variant, page);
    host.path = QStringLiteral("/proc/self/fd/%1").arg(g_memfd);
    SessionOptions options;
    options.ticks = &ticks;
    Session session(host, host, &host, &host, options);
    host.Watch(session.State());

    session.Files().OpenFileClick();
    FUZZ_CHECK(host.boxes == 0 && session.State().Flags.PlaybackArmed);
    session.Files().StartClick();

    // Errors after the start end playback silently; a playback of a variant that decoded
    // nothing says so in one box.
    const int nothingDecodedBoxes = recordSize != 0 && !host.decodedAny ? 1 : 0;
    FUZZ_CHECK(host.boxes == nothingDecodedBoxes && host.graphResets == 1 && host.position >= 0);
    const std::size_t whole = recordSize == 0 ? 0 : file.size() / recordSize;
    if (recordSize == 0) {
        FUZZ_CHECK(host.position == 0 && host.maximum == -1);
    } else {
        FUZZ_CHECK(host.maximum == static_cast<int>(whole) && host.position <= host.maximum);
        // Every whole record is played, one after another.
        FUZZ_CHECK(host.played == records.size());
    }
    FUZZ_CHECK(ticks.readings == 2 * static_cast<int>(host.played));
    const bool stepping = page == PageParameters || page == PageGraphs;
    FUZZ_CHECK(host.steps == (stepping ? static_cast<int>(host.played) : 0));
    return 0;
}
