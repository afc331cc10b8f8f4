#include "buffer/hex_list.h"

#include "buffer/hex_text.h"
#include "errors/errors.h"

#include <algorithm>
#include <cstring>

namespace {

// One past the highest byte that is not 0xFF; 0 when there is none. The
// empty tail of a buffer is passed over eight bytes at a time.
std::size_t EndOfData(const std::vector<std::uint8_t>& Data) {
    std::size_t end = Data.size();
    while (end >= 8) {
        std::uint64_t w;
        std::memcpy(&w, Data.data() + end - 8, 8);
        if (w != ~std::uint64_t{0}) break;
        end -= 8;
    }
    while (end > 0 && Data[end - 1] == 0xFF)
        --end;
    return end;
}

[[noreturn]] void RangeError(const std::string& what, std::uint32_t Index) {
    throw EISPException(what + IntToHex(Index, 8) + " out of range");
}
} // namespace

void THexList::SetSizeof(std::uint32_t n) {
    HexData.assign(n, 0xFF);
    HexStatus.assign(n, TProgStatus(ps_normal));
}

std::uint8_t THexList::GetValue(std::uint32_t Index) const {
    if (Index >= Size()) RangeError("THexList:GetValue:", Index);
    return HexData[Index];
}

void THexList::SetValue(std::uint32_t Index, std::uint8_t Adata) {
    if (Index >= Size()) RangeError("Set Value of Address: ", Index);
    HexData[Index] = Adata;
}

TProgStatus THexList::GetStatus(std::uint32_t Index) const {
    if (Index >= Size()) RangeError("Get Status of Address: ", Index);
    return HexStatus[Index];
}

void THexList::SetStatus(std::uint32_t Index, TProgStatus Status) {
    if (Index >= Size()) RangeError("Set Status of Address: ", Index);
    HexStatus[Index] = Status;
}

void THexList::Clear() {
    std::fill(HexData.begin(), HexData.end(), 0xFF);
    std::fill(HexStatus.begin(), HexStatus.end(), TProgStatus(ps_normal));
}

void THexList::InvalidateData() {
    std::fill(HexStatus.begin(), HexStatus.end(), TProgStatus(ps_failed));
}

void THexList::Fill(std::int64_t FillFrom, std::int64_t FillTo, std::uint8_t WithWhat) {
    for (std::int64_t i = FillFrom; i <= FillTo; ++i) {
        // A negative index wraps like the unsigned 32-bit index it stands for.
        SetValue(static_cast<std::uint32_t>(i), WithWhat);
    }
}

std::int64_t THexList::LastUsedLocation() const {
    const std::size_t end = EndOfData(HexData);
    return end == 0 ? -1 : static_cast<std::int64_t>((end - 1) | 15u);
}

std::int64_t THexList::LastActualLocation() const {
    return static_cast<std::int64_t>(EndOfData(HexData));
}
