#include "buffer/hex_list.h"
#include "errors/errors.h"

#include <gtest/gtest.h>

namespace {

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EISPException& e) {
        EXPECT_TRUE(e.HardwareName.empty());
        EXPECT_FALSE(e.Important());
        return e.Message();
    }
    return "(nothing raised)";
}

TEST(HexList, NewBufferIsEmpty) {
    THexList h;
    EXPECT_EQ(h.Size(), 0u);
    EXPECT_EQ(h.LastUsedLocation(), -1);
    EXPECT_EQ(h.LastActualLocation(), 0);
    EXPECT_EQ(h.FileName(), "");
    EXPECT_EQ(MessageOf([&] { h.Data(0); }), "THexList:GetValue:00000000 out of range");
}

TEST(HexList, ResizeClearsAndRangeErrorsCarryTheirMessages) {
    THexList h;
    h.SetSize(256);
    for (std::uint32_t i = 0; i < 256; ++i) {
        ASSERT_EQ(h.Data(i), 0xFF);
        ASSERT_EQ(h.Status(i), TProgStatus(ps_normal));
    }
    EXPECT_EQ(h.Status(0).AsByte(), 0x01);
    EXPECT_EQ(MessageOf([&] { h.SetValue(256, 1); }), "Set Value of Address: 00000100 out of range");
    EXPECT_EQ(MessageOf([&] { h.GetStatus(0x1000); }), "Get Status of Address: 00001000 out of range");
    EXPECT_EQ(MessageOf([&] { h.SetStatus(0xFFFFFFFF, TProgStatus(ps_failed)); }),
              "Set Status of Address: FFFFFFFF out of range");
    EXPECT_EQ(MessageOf([&] { h.GetValue(256); }), "THexList:GetValue:00000100 out of range");
    h.SetValue(255, 0x12);
    EXPECT_EQ(h.Data(255), 0x12);
    EXPECT_EQ(h.Status(255), TProgStatus(ps_normal)) << "writing data leaves the status";

    // Resizing to the same size still discards the contents.
    h.SetStatus(3, TProgStatus(ps_verified));
    h.SetSize(256);
    EXPECT_EQ(h.Data(255), 0xFF);
    EXPECT_EQ(h.Status(3), TProgStatus(ps_normal));
}

TEST(HexList, LastLocations) {
    THexList h;
    h.SetSize(256);
    h.SetValue(0x21, 0);
    EXPECT_EQ(h.LastUsedLocation(), 0x2F);
    EXPECT_EQ(h.LastActualLocation(), 0x22);
    h.SetValue(0xFF, 1);
    EXPECT_EQ(h.LastUsedLocation(), 0xFF);
    EXPECT_EQ(h.LastActualLocation(), 0x100);

    THexList small; // the 5-byte secondary buffer
    small.SetSize(5);
    small.SetValue(2, 0x00);
    EXPECT_EQ(small.LastUsedLocation(), 15);
    EXPECT_EQ(small.LastActualLocation(), 3);

    // The highest byte that is not 0xFF at every place of the last words of
    // buffers of every size up to three words.
    for (std::uint32_t size = 1; size <= 24; ++size)
        for (std::uint32_t at = 0; at < size; ++at) {
            THexList b;
            b.SetSize(size);
            if (at > 0) b.SetValue(0, 0x00);
            b.SetValue(at, 0xFE);
            EXPECT_EQ(b.LastActualLocation(), at + 1) << size << " " << at;
            EXPECT_EQ(b.LastUsedLocation(), at | 15) << size << " " << at;
        }
}

TEST(HexList, FillStopsAtTheFirstBadIndex) {
    THexList h;
    h.SetSize(256);
    h.Fill(0x10, 0x0F, 0x00);
    EXPECT_EQ(h.LastActualLocation(), 0);
    h.Fill(-1, -2, 0x00); // empty range, signed comparison
    EXPECT_EQ(h.LastActualLocation(), 0);
    h.SetStatus(250, TProgStatus(ps_verified));
    EXPECT_EQ(MessageOf([&] { h.Fill(250, 300, 0x5A); }), "Set Value of Address: 00000100 out of range");
    for (std::uint32_t i = 250; i < 256; ++i)
        EXPECT_EQ(h.Data(i), 0x5A);
    EXPECT_EQ(h.Data(249), 0xFF);
    EXPECT_EQ(h.Status(250), TProgStatus(ps_verified)) << "fill leaves statuses";
}

TEST(HexList, InvalidateThenClear) {
    THexList h;
    h.SetSize(16);
    h.SetValue(4, 0x44);
    h.InvalidateData();
    for (std::uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(h.Status(i), TProgStatus(ps_failed));
    EXPECT_EQ(h.Data(4), 0x44);
    h.Clear();
    EXPECT_EQ(h.Data(4), 0xFF);
    EXPECT_EQ(h.Status(4).AsByte(), 0x01);
}

} // namespace
