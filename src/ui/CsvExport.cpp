#include "ui/CsvExport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ecu {
namespace {
constexpr std::size_t kFlushAt = 1 << 20;
constexpr std::size_t kBlock = 1 << 20;

CsvExportError Failure(const std::string& name, int error) {
    return CsvExportError(name + ": " + std::strerror(error));
}

// One descriptor, closed however the export ends.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    // Closing reports what a delayed write could not do (a full disk on NFS).
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

class FileSink : public CsvSink {
public:
    FileSink(int fd, const std::string& name) : fd_(fd), name_(name) {}
    void Write(const std::string& text) override {
        const char* p = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            const ssize_t n = ::write(fd_, p, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw Failure(name_, errno);
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }

private:
    int fd_;
    const std::string& name_;
};

std::size_t ReadBlock(int fd, std::vector<std::uint8_t>& block, const std::string& name) {
    for (;;) {
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            throw Failure(name, errno);
    }
}

// Returns false when cancelled.
bool Copy(int in, std::uint64_t total, const std::string& source, CsvExporter& exporter,
          const CsvExportProgress& progress) {
    std::vector<std::uint8_t> block(kBlock);
    std::uint64_t done = 0;
    while (const std::size_t n = ReadBlock(in, block, source)) {
        exporter.Feed(std::span(block).first(n));
        done += n;
        if (progress && !progress(done, total))
            return false;
    }
    exporter.Finish();
    return true;
}
} // namespace

CsvExporter::CsvExporter(EngineVariant variant, CsvFormat format, CsvSink& sink)
    : variant_(variant), format_(format), sink_(sink), cutter_(RecordSize(variant)) {
    text_.reserve(kFlushAt + 4096);
    AppendCsvHeader(text_);
}

void CsvExporter::Feed(std::span<const std::uint8_t> bytes) {
    cutter_.Feed(bytes, [this](const Record& record) { Row(record); });
}

// The row carries the record's cycle number: damaged cycles leave theirs unused.
void CsvExporter::Row(const Record& record) {
    // The decoder consumes its buffer (it removes the echo), so it gets its own copy.
    rx_.assign(record.bytes.begin(), record.bytes.end());
    const bool decoded = DecodeExchange(rx_, data_, variant_);
    undecoded_ += decoded ? 0 : 1;
    AppendCsvRow(text_, record.index, decoded, data_, format_);
    if (text_.size() >= kFlushAt) {
        sink_.Write(text_);
        text_.clear();
    }
}

void CsvExporter::Finish() {
    cutter_.Finish([this](const Record& record) { Row(record); });
    sink_.Write(text_);
    text_.clear();
}

bool ExportRecording(const std::string& source, const std::string& target, EngineVariant variant,
                     CsvFormat format, const CsvExportProgress& progress) {
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (in.Get() < 0 || ::fstat(in.Get(), &st) != 0)
        throw Failure(source, errno);
    if (!S_ISREG(st.st_mode))
        throw Failure(source, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (out.Get() < 0)
        throw Failure(target, errno);
    bool whole = false;
    try {
        FileSink sink(out.Get(), target);
        CsvExporter exporter(variant, format, sink);
        whole = Copy(in.Get(), static_cast<std::uint64_t>(st.st_size), source, exporter, progress);
        if (whole && out.Close() != 0)
            throw Failure(target, errno);
    } catch (...) {
        ::unlink(target.c_str());
        throw;
    }
    if (!whole)
        ::unlink(target.c_str());
    return whole;
}

} // namespace ecu
