#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace trimlet {

// Rows of bytes on their way from one thread (the putter) to another (the taker), in
// order: a ring of a few rows, so both run at once without holding the whole picture.
// The GIF encoder uses it between the dithering and the LZW coder.
class RowRing {
public:
    // rows: how many rows the ring holds (at least 1), each width bytes.
    RowRing(int width, int rows);

    // The putter's side: copies a row in, waiting for room; false once the taker failed.
    bool put(const std::uint8_t* row);
    // No more rows come.
    void close();
    // The taker's side: the next row (valid until release), or null once closed and empty.
    const std::uint8_t* take();
    // The row taken is used (ok) or the taker failed; a failure wakes a waiting putter,
    // whose put then returns false.
    void release(bool ok);

private:
    const std::size_t width_;
    const std::size_t rows_;
    std::vector<std::uint8_t> buffer_;
    std::mutex mutex_;
    std::condition_variable roomFree_, rowReady_;
    std::size_t head_ = 0, count_ = 0;
    bool closed_ = false, failed_ = false;
    bool putterWaits_ = false, takerWaits_ = false;
};

}  // namespace trimlet
