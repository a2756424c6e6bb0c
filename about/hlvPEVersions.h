#pragma once
// Version information of an executable: the VS_VERSIONINFO block with its StringFileInfo and
// VarFileInfo parts, read straight from the file. A Windows PE file keeps it in its resource
// section; Gorvane's own ELF executable keeps the same block in a section of its own.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The ELF section that holds Gorvane's version block.
inline constexpr const char* SVersionSectionName = ".gorvane.version";

int GetVersionTranslationCount(const std::string& FileName);
// Appends key=value lines for the translation at Index (0-based) to Lines.
bool ReadVersionStrings(const std::string& FileName, int Index, std::vector<std::string>& Lines);
bool TryGetLegalCopyright(const std::string& FileName, std::string& Copyright);
std::string GetLegalCopyright(const std::string& FileName);
std::string ByteToHex(std::uint8_t Value);
std::string WordToHex(std::uint16_t Value);

// The value of Key in a list of key=value lines, empty when absent.
std::string ValueFromLines(const std::vector<std::string>& Lines, const std::string& Key);

// A parsed version block. Queries use the version functions' sub-block paths:
// "\VarFileInfo\Translation" and "\StringFileInfo\<lang><codepage>\<key>".
class TVersionInfo {
public:
    // Nothing when the bytes are no well-formed VS_VERSIONINFO block.
    static std::optional<TVersionInfo> FromBlock(const std::vector<std::uint8_t>& Block);
    // Nothing when the file is missing or holds no well-formed version block.
    static std::optional<TVersionInfo> FromFile(const std::string& FileName);

    // Translation entries: language in the low 16 bits, code page in the high 16 bits.
    std::vector<std::uint32_t> Translations() const;
    // False when the sub-block does not exist or is no text.
    bool QueryString(const std::string& SubBlock, std::string& Value) const;

    struct TNode {
        std::u16string Key;
        bool Text = false;
        std::vector<std::uint8_t> Value;
        std::vector<TNode> Children;
    };

private:
    const TNode* Find(const std::string& SubBlock) const;
    TNode FRoot;
};

// The raw version block of a file: from a PE file's RT_VERSION resource, or from an ELF file's
// version section. Nothing when the file has none or is malformed.
std::optional<std::vector<std::uint8_t>> ReadVersionBlock(const std::string& FileName);
std::optional<std::vector<std::uint8_t>> VersionBlockFromPE(const std::vector<std::uint8_t>& Image);
std::optional<std::vector<std::uint8_t>> SectionFromELF(const std::vector<std::uint8_t>& Image,
                                                        const std::string& SectionName);

// What goes into a version block that we write ourselves.
struct TVersionBlockData {
    std::uint16_t FileVersion[4] = {0, 0, 0, 0};
    std::uint16_t ProductVersion[4] = {0, 0, 0, 0};
    // One string table per translation, each with its key/value pairs (UTF-8).
    struct TTable {
        std::uint16_t Language = 0;
        std::uint16_t CodePage = 0;
        std::vector<std::pair<std::string, std::string>> Strings;
    };
    std::vector<TTable> Tables;
};
std::vector<std::uint8_t> BuildVersionBlock(const TVersionBlockData& Data);
