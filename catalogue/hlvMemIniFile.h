#pragma once
// An INI file read whole into memory, with the tweak files' rules: NUL ends the text, lines end with
// CR LF, LF or CR, every line is trimmed of codes 0 to 32, ";" starts a comment, section and key names
// are compared case-insensitively (locale upper-casing), values are taken literally.
#include "registry/hlvExceptions.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TStringList;

// Raised when a file exists but cannot be opened or read:
// Cannot open file "NAME". <the system's description>
class EFOpenError : public Exception {
public:
    using Exception::Exception;
};

// Upper-cases with the user's locale rules; bytes that are not valid UTF-8 are upper-cased as ASCII.
std::string LocaleUpperCase(std::string_view s);
// Names equal after LocaleUpperCase, with a fast path for ASCII.
bool SameIniName(std::string_view a, std::string_view b);

class TMemIniFile {
public:
    struct TKey {
        std::string_view Name;
        std::string_view Value;
        int Line;
    };
    struct TSection {
        std::string_view Name;
        int Line;
        std::vector<TKey> Keys;
        // The occurrence this name reads from: the last section of the same name.
        std::size_t Effective = 0;
    };

    TMemIniFile() = default;
    // Reads FileName; a file that does not exist gives an empty INI, one that cannot be opened or
    // read raises EFOpenError.
    explicit TMemIniFile(const std::string& FileName);
    TMemIniFile(const TMemIniFile&) = delete;
    TMemIniFile& operator=(const TMemIniFile&) = delete;

    // Replaces the content with the parsed text.
    void SetText(std::string Text);
    const std::string& FileName() const { return FFileName; }

    // Every section name, in file order and with repeats.
    void ReadSections(TStringList& Target) const;
    bool SectionExists(std::string_view Section) const;
    bool ValueExists(std::string_view Section, std::string_view Ident) const;
    std::string ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) const;
    // Null when Section or Ident is missing; the later of two equal keys counts.
    const std::string_view* FindValue(std::string_view Section, std::string_view Ident) const;

    // The section that a name reads from (the last of that name), or null.
    const TSection* FindSection(std::string_view Section) const;
    // The later of two equal keys counts; null when missing.
    static const TKey* FindKey(const TSection& Section, std::string_view Ident);

    // What an author checks: every section occurrence, the keys of each, and what the reader skipped.
    const std::vector<TSection>& Sections() const { return FSections; }
    // Lines with "=" before the first section (they belong to no section and are never read).
    const std::vector<int>& KeysOutsideSections() const { return FOrphanLines; }
    // Whether the text began with a UTF-8 byte-order mark (which the reader skips).
    bool HadByteOrderMark() const { return FHadBom; }

private:
    void Parse();

    std::string FFileName;
    std::string FText;
    std::vector<TSection> FSections;
    std::unordered_map<std::string, std::size_t> FSectionIndex; // upper-cased name -> last occurrence
    std::vector<int> FOrphanLines;
    bool FHadBom = false;
};
