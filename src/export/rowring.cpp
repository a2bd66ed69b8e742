#include "export/rowring.h"

#include <algorithm>

namespace trimlet {

RowRing::RowRing(int width, int rows)
    : width_(static_cast<std::size_t>(std::max(width, 0))),
      rows_(static_cast<std::size_t>(std::max(rows, 1))),
      buffer_(width_ * rows_) {}

bool RowRing::put(const std::uint8_t* row) {
    std::unique_lock lock(mutex_);
    while (count_ == rows_ && !failed_) {
        putterWaits_ = true;
        roomFree_.wait(lock);
        putterWaits_ = false;
    }
    if (failed_) return false;
    // The taker reads only the rows already counted, never this slot.
    const std::size_t slot = (head_ + count_) % rows_;
    lock.unlock();
    std::copy(row, row + width_, buffer_.data() + slot * width_);
    lock.lock();
    ++count_;
    // The taker is the faster side and sleeps whenever it catches up: woken for a few
    // rows at once, as one wake-up per row costs more than their coding.
    if (takerWaits_ && count_ >= std::max<std::size_t>(rows_ / 4, 1)) rowReady_.notify_one();
    return true;
}

void RowRing::close() {
    const std::lock_guard lock(mutex_);
    closed_ = true;
    rowReady_.notify_one();
}

const std::uint8_t* RowRing::take() {
    std::unique_lock lock(mutex_);
    while (count_ == 0 && !closed_) {
        takerWaits_ = true;
        rowReady_.wait(lock);
        takerWaits_ = false;
    }
    return count_ > 0 ? buffer_.data() + head_ * width_ : nullptr;
}

void RowRing::release(bool ok) {
    const std::lock_guard lock(mutex_);
    failed_ = failed_ || !ok;
    head_ = (head_ + 1) % rows_;
    --count_;
    if (putterWaits_ || failed_) roomFree_.notify_one();
}

}  // namespace trimlet
