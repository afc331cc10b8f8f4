#include "buffer/hex_list.h"

#include "buffer/hex_text.h"
#include "errors/errors.h"

#include <algorithm>

namespace {
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
    for (std::size_t i = HexData.size(); i-- > 0;)
        if (HexData[i] != 0xFF) return static_cast<std::int64_t>(i | 15u);
    return -1;
}

std::int64_t THexList::LastActualLocation() const {
    for (std::size_t i = HexData.size(); i-- > 0;)
        if (HexData[i] != 0xFF) return static_cast<std::int64_t>(i + 1);
    return 0;
}
