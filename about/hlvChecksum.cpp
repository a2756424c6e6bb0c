#include "about/hlvChecksum.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

namespace {

using TBytes = std::vector<std::uint8_t>;
using TRanges = std::vector<std::pair<std::uint64_t, std::uint64_t>>; // offset, size

constexpr std::uint32_t StampedFlag = 0x31474B53; // "SKG1"
constexpr std::size_t MarkerSize = 16;
constexpr std::size_t StampSize = MarkerSize + 8;

std::optional<TBytes> ReadAll(const std::string& FileName) {
    std::ifstream File(FileName, std::ios::binary);
    if (!File)
        return std::nullopt;
    TBytes Data((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
    if (File.bad())
        return std::nullopt;
    return Data;
}

std::uint64_t Get(const TBytes& Data, std::uint64_t Offset, int Size) {
    std::uint64_t Value = 0;
    for (int I = Size - 1; I >= 0; --I)
        Value = (Value << 8) | Data[Offset + std::uint64_t(I)];
    return Value;
}

std::uint32_t GetU32(const TBytes& Data, std::size_t Offset) {
    return std::uint32_t(Get(Data, Offset, 4));
}

void PutU32(TBytes& Data, std::size_t Offset, std::uint32_t Value) {
    for (int I = 0; I < 4; ++I)
        Data[Offset + std::size_t(I)] = std::uint8_t(Value >> (8 * I));
}

// The byte ranges the checksum covers, and the header fields that stripping rewrites.
TRanges CoveredRanges(const TBytes& Image, TRanges& Ignored) {
    const TRanges Whole{{0, Image.size()}};
    if (Image.size() < 0x40 ||
        std::memcmp(Image.data(),
                    "\x7f"
                    "ELF",
                    4) != 0 ||
        Image[5] != 1)
        return Whole;
    const bool Is64 = Image[4] == 2;
    const std::uint64_t Table = Is64 ? Get(Image, 0x20, 8) : Get(Image, 0x1C, 4);
    const std::uint64_t EntrySize = Get(Image, Is64 ? 0x36 : 0x2A, 2);
    const std::uint64_t Count = Get(Image, Is64 ? 0x38 : 0x2C, 2);
    if (EntrySize < (Is64 ? 56u : 32u) || Table > Image.size() || Count * EntrySize > Image.size() - Table)
        return Whole;
    TRanges Ranges;
    for (std::uint64_t I = 0; I < Count; ++I) {
        const std::uint64_t Header = Table + I * EntrySize;
        if (GetU32(Image, Header) != 1) // PT_LOAD
            continue;
        const std::uint64_t Offset = Is64 ? Get(Image, Header + 8, 8) : Get(Image, Header + 4, 4);
        const std::uint64_t Size = Is64 ? Get(Image, Header + 32, 8) : Get(Image, Header + 16, 4);
        if (Offset > Image.size() || Size > Image.size() - Offset)
            return Whole;
        Ranges.emplace_back(Offset, Size);
    }
    if (Ranges.empty())
        return Whole;
    // Section header offset, entry size, count and name index.
    if (Is64)
        Ignored = {{0x28, 8}, {0x3A, 6}};
    else
        Ignored = {{0x20, 4}, {0x2E, 6}};
    return Ranges;
}

std::uint32_t ImageCrc(const TBytes& Image, std::size_t StampAt) {
    TBytes Copy = Image;
    std::fill_n(Copy.begin() + std::ptrdiff_t(StampAt + MarkerSize), 8, std::uint8_t(0));
    TRanges Ignored;
    const TRanges Ranges = CoveredRanges(Copy, Ignored);
    for (const auto& [Offset, Size] : Ignored)
        std::fill_n(Copy.begin() + std::ptrdiff_t(Offset), Size, std::uint8_t(0));
    std::uint32_t Crc = 0;
    for (const auto& [Offset, Size] : Ranges)
        Crc = Crc32(Copy.data() + Offset, Size, Crc);
    return Crc;
}

std::optional<std::size_t> FindStamp(const TBytes& Image) {
    const std::string Marker = ChecksumMarker();
    auto Found = std::search(Image.begin(), Image.end(), Marker.begin(), Marker.end());
    if (Found == Image.end() || std::size_t(Image.end() - Found) < StampSize)
        return std::nullopt;
    return std::size_t(Found - Image.begin());
}

} // namespace

std::uint32_t Crc32(const std::uint8_t* Data, std::size_t Size, std::uint32_t Crc) {
    static const auto Table = [] {
        std::array<std::uint32_t, 256> Result{};
        for (std::uint32_t I = 0; I < 256; ++I) {
            std::uint32_t C = I;
            for (int K = 0; K < 8; ++K)
                C = (C & 1) ? 0xEDB88320u ^ (C >> 1) : C >> 1;
            Result[I] = C;
        }
        return Result;
    }();
    Crc = ~Crc;
    for (std::size_t I = 0; I < Size; ++I)
        Crc = Table[(Crc ^ Data[I]) & 0xFF] ^ (Crc >> 8);
    return ~Crc;
}

std::string ChecksumMarker() {
    std::string Marker = "MUSKCEHC-ENAVROG";
    std::reverse(Marker.begin(), Marker.end());
    return Marker;
}

TChecksumResult CheckImageChecksum(const std::vector<std::uint8_t>& Image) {
    const auto At = FindStamp(Image);
    if (!At)
        return TChecksumResult::NoStamp;
    if (GetU32(Image, *At + MarkerSize + 4) != StampedFlag)
        return TChecksumResult::Unstamped;
    return GetU32(Image, *At + MarkerSize) == ImageCrc(Image, *At) ? TChecksumResult::Ok
                                                                   : TChecksumResult::Corrupt;
}

TChecksumResult CheckExecutableChecksum(const std::string& FileName) {
    const auto Image = ReadAll(FileName);
    if (!Image)
        return TChecksumResult::Unreadable;
    return CheckImageChecksum(*Image);
}

bool StampExecutableChecksum(const std::string& FileName, std::string& Error) {
    auto Image = ReadAll(FileName);
    if (!Image) {
        Error = "cannot read " + FileName;
        return false;
    }
    const auto At = FindStamp(*Image);
    if (!At) {
        Error = FileName + " has no checksum block";
        return false;
    }
    PutU32(*Image, *At + MarkerSize, ImageCrc(*Image, *At));
    PutU32(*Image, *At + MarkerSize + 4, StampedFlag);
    // Only the eight stamp bytes change; writing them in place keeps the file's mode and links.
    std::fstream File(FileName, std::ios::binary | std::ios::in | std::ios::out);
    File.seekp(std::streamoff(*At + MarkerSize));
    File.write(reinterpret_cast<const char*>(Image->data() + *At + MarkerSize), 8);
    if (!File) {
        Error = "cannot write " + FileName;
        return false;
    }
    return true;
}
