#include "buffer/checksums.h"

#include "errors/errors.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace {

std::string Hex(std::span<const std::uint8_t> Bytes, const char* Digits) {
    std::string s;
    s.reserve(Bytes.size() * 2);
    for (std::uint8_t b : Bytes) {
        s += Digits[b >> 4];
        s += Digits[b & 15];
    }
    return s;
}

struct TDigestFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

// Incremental SHA-256 over OpenSSL's EVP interface.
class TSha256 {
  public:
    TSha256() : FCtx(EVP_MD_CTX_new()) {
        if (!FCtx || EVP_DigestInit_ex(FCtx.get(), EVP_sha256(), nullptr) != 1)
            throw EISPException("SHA-256: the digest could not be set up");
    }
    void Update(const void* Data, std::size_t Length) {
        if (Length && EVP_DigestUpdate(FCtx.get(), Data, Length) != 1)
            throw EISPException("SHA-256: the digest failed");
    }
    std::array<std::uint8_t, 32> Final() {
        std::array<std::uint8_t, 32> out{};
        unsigned int n = 0;
        if (EVP_DigestFinal_ex(FCtx.get(), out.data(), &n) != 1 || n != out.size())
            throw EISPException("SHA-256: the digest failed");
        return out;
    }

  private:
    std::unique_ptr<EVP_MD_CTX, TDigestFree> FCtx;
};

std::uint32_t Crc32(std::uint32_t Crc, const std::uint8_t* Data, std::size_t Length) {
    // zlib takes the length as uInt: feed it in pieces that fit.
    uLong crc = Crc;
    while (Length > 0) {
        const auto n = static_cast<uInt>(std::min<std::size_t>(Length, std::numeric_limits<uInt>::max()));
        crc = crc32(crc, Data, n);
        Data += n;
        Length -= n;
    }
    return static_cast<std::uint32_t>(crc);
}

} // namespace

std::string TChecksums::Crc32Text() const {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(Crc32 >> 24), static_cast<std::uint8_t>(Crc32 >> 16),
                               static_cast<std::uint8_t>(Crc32 >> 8), static_cast<std::uint8_t>(Crc32)};
    return Hex(b, "0123456789ABCDEF");
}

std::string TChecksums::Sha256Text() const {
    return Hex(Sha256, "0123456789abcdef");
}

std::string TChecksums::Sum16Text() const {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(Sum16 >> 8), static_cast<std::uint8_t>(Sum16)};
    return Hex(b, "0123456789ABCDEF");
}

TChecksums ComputeChecksums(std::span<const std::uint8_t> Data) {
    TChecksums c;
    c.Length = static_cast<std::uint32_t>(Data.size());
    c.Crc32 = Crc32(static_cast<std::uint32_t>(crc32(0, nullptr, 0)), Data.data(), Data.size());
    TSha256 sha;
    sha.Update(Data.data(), Data.size());
    c.Sha256 = sha.Final();
    std::uint32_t sum = 0;
    for (std::uint8_t b : Data)
        sum += b;
    c.Sum16 = static_cast<std::uint16_t>(sum);
    return c;
}

TChecksums BufferChecksums(const THexList& Buffer) {
    return ComputeChecksums(Buffer.HexData);
}

std::string FileSha256(const std::string& FileName) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(FileName.c_str(), "rb"), &std::fclose);
    if (!f) throw EISPException("SHA-256 of " + FileName + ": " + std::strerror(errno));
    TSha256 sha;
    std::uint8_t block[65536];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, f.get())) > 0)
        sha.Update(block, n);
    if (std::ferror(f.get())) throw EISPException("SHA-256 of " + FileName + ": read error");
    const auto digest = sha.Final();
    return Hex(digest, "0123456789abcdef");
}

std::string ChecksumLibraries() {
    return std::string(OpenSSL_version(OPENSSL_VERSION)) + ", zlib " + zlibVersion();
}

std::string Sha256Of(std::string_view Bytes) {
    TSha256 sha;
    sha.Update(reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size());
    const auto digest = sha.Final();
    return Hex(digest, "0123456789abcdef");
}
