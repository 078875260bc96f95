#include "serial/CommNotice.h"

#include "serial/RaceMarks.h"

#include <QCoreApplication>

#include <cstring>
#include <new>

namespace ecu {

ByteBlock ByteBlock::Copy(const void* bytes, std::size_t count) {
    ByteBlock block;
    block.data_.reset(new (std::nothrow) char[count + 1]());
    if (!block.data_)
        return block;
    if (count > 0)
        std::memcpy(block.data_.get(), bytes, count);
    block.count_ = count;
    return block;
}

TCommNotice::TCommNotice(CommNoticeType type, std::uintptr_t wParam, std::uint32_t lParam)
    : QEvent(static_cast<QEvent::Type>(type)), WParam(wParam), LParam(lParam) {}

// A notice may also be deleted unhandled, by the receiver's destructor.
TCommNotice::~TCommNotice() {
    MarkTakenOver(this);
}

void PostNotice(QObject* receiver, std::unique_ptr<TCommNotice> notice) {
    MarkHandedOver(notice.get());
    const QtPostScope inQt;
    QCoreApplication::postEvent(receiver, notice.release());
}

} // namespace ecu
