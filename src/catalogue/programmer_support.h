// The programmer models a device or a hardware kind stands for, as a one-byte
// bit set (bit n for model n).
#pragma once

#include <cstdint>
#include <initializer_list>

enum TProgrammerKind : std::uint8_t {
    pk_usb = 0,
    pk_isp = 1,
    pk_eisp = 2,
    pk_fob = 3,
    pk_kit = 4,
    pk_update = 5,
    pk_partner = 6,
};

class TProgrammerSupport {
  public:
    constexpr TProgrammerSupport() = default;
    constexpr TProgrammerSupport(std::initializer_list<TProgrammerKind> kinds) {
        for (auto k : kinds)
            FBits = static_cast<std::uint8_t>(FBits | (1u << k));
    }
    static constexpr TProgrammerSupport FromByte(std::uint8_t bits) {
        TProgrammerSupport s;
        s.FBits = static_cast<std::uint8_t>(bits & 0x7F);
        return s;
    }

    constexpr std::uint8_t AsByte() const { return FBits; }
    constexpr bool Contains(TProgrammerKind k) const { return (FBits >> k) & 1u; }
    constexpr bool Empty() const { return FBits == 0; }
    // True when the two sets share at least one model.
    constexpr bool Intersects(TProgrammerSupport other) const { return (FBits & other.FBits) != 0; }
    constexpr bool operator==(const TProgrammerSupport&) const = default;

  private:
    std::uint8_t FBits = 0;
};
