#pragma once
// Notices the reader and writer threads post to the component, and the byte
// blocks that travel with them and with the writes handed to the writer.
#include <QEvent>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class QObject;

namespace ecu {

// Event types of the notices; also the numbers the component answers to.
enum CommNoticeType : int {
    WM_COMM_DATA = 1025,    // WParam: count; Block: the bytes
    WM_COMM_HANGUP = 1026,  // a thread failed and has ended
    WM_COMM_STARTED = 1027, // WParam: 1 from the writer, 0 from the reader
    WM_COMM_EVENT = 1028,   // LParam: comm-event bits | modem-status bits << 16
};

// Bytes with one owner at a time: a count and a zero byte after them.
class ByteBlock {
public:
    ByteBlock() = default;
    // A zero-filled copy; empty (false) when memory runs out.
    static ByteBlock Copy(const void* bytes, std::size_t count);

    explicit operator bool() const { return data_ != nullptr; }
    const char* Data() const { return data_.get(); }
    std::size_t Count() const { return count_; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t count_ = 0;
};

class TCommNotice : public QEvent {
public:
    TCommNotice(CommNoticeType type, std::uintptr_t wParam = 0, std::uint32_t lParam = 0);
    ~TCommNotice() override;

    std::uintptr_t WParam;
    std::uint32_t LParam;
    ByteBlock Block;              // WM_COMM_DATA; freed with the notice at the latest
    std::uint32_t LineErrors = 0; // WM_COMM_EVENT with ev::Err: the ce:: bits
    std::string OsError;          // WM_COMM_HANGUP: what the operating system said
};

// Hands the notice to the receiver's event queue; ownership goes with it.
void PostNotice(QObject* receiver, std::unique_ptr<TCommNotice> notice);

} // namespace ecu
