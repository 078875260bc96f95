// Playback of arbitrary files: the bytes become the data file that Start plays through
// the real file session. Byte 0 picks the engine variant (bits 0-1), the active page
// (bits 2-4, modulo the page count) and whether every fixed-size record, the partial last
// one too, is made to begin with the data request's echo (bit 7), which gives well-formed
// recordings with fuzzed answers. The rest is the file. The pace between records runs on a tick
// that jumps a whole second at each reading, so playback takes no real time.
#include "FuzzCheck.h"
#include "link/Decode.h"
#include "record/Records.h"
#include "serial/Comm32.h"
#include "session/FileHost.h"
#include "session/FileSession.h"
#include "session/LinkSession.h"
#include "session/MessagePresenter.h"
#include "session/SessionHost.h"
#include "session/SessionState.h"
#include "wire/Frames.h"

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

constexpr int PageCount = 5;

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

// The window, as far as playback sees it, checking each played record (a pace, then the
// progress set): the values shown are what decoding some whole record of the file gives,
// records never overlap or go back, a well-formed file is cut at the fixed size, and the
// bar never goes back or past its maximum. A progress set without a pace only moves the
// bar over a damaged end.
class CheckingHost : public SessionHost, public FileHost, public MessagePresenter {
public:
    CheckingHost(const SessionState& state, const JumpingTicks& ticks,
                 std::span<const std::uint8_t> file, EngineVariant variant, int page,
                 bool wellFormed)
        : state_(state), ticks_(ticks), file_(file), variant_(variant), page_(page),
          wellFormed_(wellFormed) {}

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
    int played = 0;

private:
    void Shown(int page) {
        FUZZ_CHECK(page == page_ && !stepPending_);
        shown_ = state_.Engine;
        stepPending_ = true;
        ++steps;
    }
    bool SliceDecodesToState(std::size_t offset, std::size_t size, EngineData& values) const;
    void CheckPlayedRecord();

    const SessionState& state_;
    const JumpingTicks& ticks_;
    int readings_ = 0; // tick readings at the last progress set
    std::span<const std::uint8_t> file_;
    EngineVariant variant_;
    int page_;
    bool wellFormed_;
    std::size_t next_ = 0; // where the next record may begin
    EngineData before_;    // the values before the record being checked
    EngineData shown_;     // what the last page step showed
    bool stepPending_ = false;
};

bool CheckingHost::SliceDecodesToState(std::size_t offset, std::size_t size,
                                       EngineData& values) const {
    // The receive buffer holds the record played, its echo taken off by decoding or not:
    // a slice that is neither is passed over without being copied and decoded.
    const auto slice = file_.subspan(offset, size);
    const auto& played = state_.RxBuffer;
    const auto answer = slice.subspan(std::min(EchoLength, size));
    if (!std::equal(slice.begin(), slice.end(), played.begin(), played.end()) &&
        !std::equal(answer.begin(), answer.end(), played.begin(), played.end()))
        return false;
    ByteString rx(slice.begin(), slice.end());
    values = before_;
    DecodeFrame(rx, values, variant_);
    return rx == state_.RxBuffer && values == state_.Engine;
}

void CheckingHost::CheckPlayedRecord() {
    const std::size_t size = RecordSize(variant_);
    FUZZ_CHECK(size > 0);
    EngineData values;
    // A file whose records all begin with the data request's echo is cut at the fixed
    // size; elsewhere a damaged record may be skipped and the cut moved on to an echo.
    for (std::size_t at = next_; at + size <= file_.size(); ++at) {
        if (SliceDecodesToState(at, size, values)) {
            next_ = at + size;
            before_ = values;
            return;
        }
        if (wellFormed_)
            break;
    }
    FUZZ_CHECK(!"the values played come from no whole record of the file");
}

void CheckingHost::SetProgressPosition(int pos) {
    if (position < 0) {
        // Playback starts at 0 with the values it found.
        FUZZ_CHECK(pos == 0);
        position = 0;
        before_ = state_.Engine;
        readings_ = ticks_.readings;
        return;
    }
    FUZZ_CHECK(pos >= position && maximum >= 0 && pos <= maximum);
    position = pos;
    const int paces = (ticks_.readings - readings_) / 2;
    readings_ = ticks_.readings;
    FUZZ_CHECK(paces <= 1);
    if (paces == 0) {
        FUZZ_CHECK(!wellFormed_ && !stepPending_ && state_.Engine == before_);
        return;
    }
    ++played;
    // The page step of a record comes before the progress moves on, with its values.
    FUZZ_CHECK(!stepPending_ || shown_ == state_.Engine);
    stepPending_ = false;
    CheckPlayedRecord();
}

int g_memfd = -1;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Nothing here opens a port; the map still must not lead to the console.
    setenv("XDG_CONFIG_HOME", "/nonexistent-ecuscan-fuzz", 1);
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
    bool wellFormed = recordSize > 0;
    for (std::size_t at = 0; recordSize > 0 && at < file.size(); at += recordSize) {
        const std::size_t n = std::min(DataRequest.size(), file.size() - at);
        if (stamp)
            std::copy_n(DataRequest.begin(), n, file.data() + at);
        wellFormed = wellFormed && std::equal(DataRequest.begin(),
                                              DataRequest.begin() + static_cast<std::ptrdiff_t>(n),
                                              file.data() + at);
    }
    // Written over the last input and cut to size, which keeps the file's pages.
    FUZZ_CHECK(file.empty() ||
               pwrite(g_memfd, file.data(), file.size(), 0) == static_cast<ssize_t>(file.size()));
    FUZZ_CHECK(ftruncate(g_memfd, static_cast<off_t>(file.size())) == 0);

    SessionState state;
    TComm32 comm;
    JumpingTicks ticks;
    CheckingHost host(state, ticks, file, variant, page, wellFormed);
    host.path = QStringLiteral("/proc/self/fd/%1").arg(g_memfd);
    LinkSession link(state, comm, host, host, ticks);
    FileSession session(state, comm, host, host, host, link);

    session.OpenFileClick();
    FUZZ_CHECK(host.boxes == 0 && state.Flags.PlaybackArmed);
    session.StartClick();

    // Errors after the start end playback silently.
    FUZZ_CHECK(host.boxes == 0 && host.graphResets == 1 && host.position >= 0);
    const std::size_t whole = recordSize == 0 ? 0 : file.size() / recordSize;
    if (recordSize == 0) {
        FUZZ_CHECK(host.position == 0 && host.maximum == -1);
    } else {
        FUZZ_CHECK(host.maximum == static_cast<int>(whole) && host.position <= host.maximum);
        FUZZ_CHECK(host.played <= host.maximum);
        // Every record of a well-formed file is played.
        FUZZ_CHECK(!wellFormed || (host.position == host.maximum && host.played == host.maximum));
    }
    FUZZ_CHECK(ticks.readings == 2 * host.played);
    const bool stepping = page == PageParameters || page == PageGraphs;
    FUZZ_CHECK(host.steps == (stepping ? host.played : 0));
    return 0;
}
