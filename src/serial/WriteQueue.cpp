#include "serial/WriteQueue.h"

#include <utility>

namespace ecu {

bool WriteQueue::Post(ByteBlock block) {
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        blocks_.push_back(std::move(block));
    }
    wake_.Set();
    return true;
}

std::optional<ByteBlock> WriteQueue::Take() {
    std::lock_guard lock(mutex_);
    if (blocks_.empty())
        return std::nullopt;
    ByteBlock block = std::move(blocks_.front());
    blocks_.pop_front();
    return block;
}

void WriteQueue::Close() {
    std::deque<ByteBlock> dropped;
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(blocks_);
}

} // namespace ecu
