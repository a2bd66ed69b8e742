#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "export/rowring.h"

namespace trimlet {
namespace {

std::vector<std::uint8_t> Row(int y, int width) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        row[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(x * 31 + y);
    return row;
}

// Rows arrive whole and in order whatever the ring's size against the picture's height,
// with the putter running ahead (a fast putter fills the ring and waits for room).
TEST(RowRing, HandsEveryRowOverInOrder) {
    for (const int ringRows : {1, 2, 3, 32}) {
        constexpr int kWidth = 53, kHeight = 500;
        RowRing ring(kWidth, ringRows);
        std::thread putter([&] {
            for (int y = 0; y < kHeight; ++y) ASSERT_TRUE(ring.put(Row(y, kWidth).data()));
            ring.close();
        });
        int taken = 0;
        while (const std::uint8_t* row = ring.take()) {
            EXPECT_EQ(std::vector<std::uint8_t>(row, row + kWidth), Row(taken, kWidth))
                << "ring of " << ringRows << ", row " << taken;
            ++taken;
            ring.release(true);
        }
        putter.join();
        EXPECT_EQ(taken, kHeight) << "ring of " << ringRows;
    }
}

// A taker that fails stops the putter at its next row, even one waiting for room; the
// taker then sees the rows already put and the end.
TEST(RowRing, ATakerFailureStopsThePutter) {
    constexpr int kWidth = 8;
    RowRing ring(kWidth, 2);
    int put = 0;
    std::thread putter([&] {
        while (put < 1000 && ring.put(Row(put, kWidth).data())) ++put;
        ring.close();
    });
    ASSERT_NE(ring.take(), nullptr);
    ring.release(false);
    while (ring.take()) ring.release(true);
    putter.join();
    EXPECT_LE(put, 3);  // the two in the ring and the one taken
}

}  // namespace
}  // namespace trimlet
