#pragma once
// The checksum that a build step writes into the program after linking, and the start-up check
// that tells a damaged executable from a sound one.
//
// The executable carries a stamp block: a 16-byte marker, the CRC-32 and a stamped flag. The
// CRC covers what the system loads: the loadable segments of an ELF file (so stripping symbols
// keeps it valid) or the whole of any other file, the stamp's CRC and flag counted as zero.

#include <cstdint>
#include <string>
#include <vector>

enum class TChecksumResult {
    Ok,
    Corrupt,    // stamped, but the contents no longer match
    Unstamped,  // the stamp block is there, the post-link step never ran
    NoStamp,    // the file carries no stamp block
    Unreadable, // the file cannot be read
};

std::uint32_t Crc32(const std::uint8_t* Data, std::size_t Size, std::uint32_t Crc = 0);
// The stamp block's marker, built at run time so that no other copy of it ends up in a binary.
std::string ChecksumMarker();
TChecksumResult CheckExecutableChecksum(const std::string& FileName);
TChecksumResult CheckImageChecksum(const std::vector<std::uint8_t>& Image);
// Writes the checksum into the file's stamp block. False with a reason when it cannot.
bool StampExecutableChecksum(const std::string& FileName, std::string& Error);
