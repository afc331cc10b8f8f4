#include "buffer/serial_number.h"
#include "errors/errors.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(const THexList& h, std::uint32_t from, std::uint32_t count) {
    return {h.HexData.begin() + from, h.HexData.begin() + from + count};
}

struct TCase {
    std::int32_t Value;
    int SizeIndex;
    const char* Text;
    std::vector<std::uint8_t> Stored;
};

TEST(SerialNumber, TextAndStoredBytes) {
    const TCase cases[] = {
        {0x1A2B3C4D, 2, "1A2B3C4D", {0x1A, 0x2B, 0x3C, 0x4D}},
        {5, 0, "0005", {0x00, 0x05}},
        {5, 1, "000005", {0x00, 0x00, 0x05}},
        {-1, 1, "FFFFFFFF", {0xFF, 0xFF, 0xFF}},
        {-2, 0, "FFFFFFFE", {0xFF, 0xFF}},
        // Wider than the size: the most significant digits are kept, read
        // two at a time from the left.
        {0x12345, 0, "12345", {0x12, 0x34}},
        {0x12345, 2, "00012345", {0x00, 0x01, 0x23, 0x45}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(SerialNumberText(c.Value, c.SizeIndex), c.Text);
        THexList h;
        h.SetSize(64);
        h.SetStatus(0x10, TProgStatus(ps_verified));
        StoreSerialNumber(h, 0x10, c.Value, c.SizeIndex);
        EXPECT_EQ(Bytes(h, 0x10, static_cast<std::uint32_t>(c.Stored.size())), c.Stored);
        // Only the number's bytes change, and no status.
        EXPECT_EQ(h.HexData[0x0F], 0xFF);
        EXPECT_EQ(h.HexData[0x10 + c.Stored.size()], 0xFF);
        EXPECT_EQ(h.Status(0x10), TProgStatus(ps_verified));
        EXPECT_EQ(h.Status(0x11), TProgStatus(ps_normal));
    }
}

TEST(SerialNumber, PastTheEndWritesWhatFitsThenRaises) {
    THexList h;
    h.SetSize(256);
    try {
        StoreSerialNumber(h, 0xFF, 0x1234, 0);
        FAIL() << "nothing raised";
    } catch (const EISPException& e) {
        EXPECT_EQ(e.Message(), "Set Value of Address: 00000100 out of range");
    }
    EXPECT_EQ(h.HexData[0xFF], 0x12);

    THexList at;
    at.SetSize(256);
    EXPECT_THROW(StoreSerialNumber(at, 0x100, 1, 0), EISPException);
    EXPECT_EQ(at.LastActualLocation(), 0);
}

TEST(SerialNumber, LocationAtTheTopOfTheAddressRangeNeverWrapsToZero) {
    THexList h;
    h.SetSize(16);
    EXPECT_THROW(StoreSerialNumber(h, 0xFFFFFFFFu, 0x0102, 0), EISPException);
    EXPECT_EQ(h.LastActualLocation(), 0);
}

} // namespace
