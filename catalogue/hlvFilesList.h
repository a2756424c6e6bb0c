#pragma once
// Lists every file that matches one or more patterns, optionally in every subfolder too (breadth
// first), with each file's folder, name, size, attributes and time stamps.
#include "catalogue/hlvDate.h"
#include "catalogue/hlvStringList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
inline constexpr char PathDelim = '\\';
#else
inline constexpr char PathDelim = '/';
#endif

// Attribute bits as the file system reports them. Off Windows a name beginning with "." is hidden,
// a file without the owner's write permission is read-only, and a plain file carries archive.
inline constexpr std::uint32_t faReadOnly = 0x01;
inline constexpr std::uint32_t faHidden = 0x02;
inline constexpr std::uint32_t faSysFile = 0x04;
inline constexpr std::uint32_t faDirectory = 0x10;
inline constexpr std::uint32_t faArchive = 0x20;

class TFileSystemFile {
public:
    std::string Path; // the folder part of the pattern that found the file, as written
    std::string Filename;
    std::string FilenameShort; // the 8.3 name; always empty off Windows
    std::int64_t Size = 0;
    std::uint32_t Attr = 0;
    TDateTime TimeCreation = 0; // 0 where the file system keeps no creation time
    TDateTime TimeLastAccess = 0;
    TDateTime TimeLastWrite = 0;

    std::string FullName() const { return Path + Filename; }
};

class TFileSystemFileList {
public:
    TFileSystemFileList() = default;
    TFileSystemFileList(const TFileSystemFileList&) = delete;
    TFileSystemFileList& operator=(const TFileSystemFileList&) = delete;

    bool Recursive() const { return FRecursive; }
    // Takes effect at the next SetMasks.
    void SetRecursive(bool Value) { FRecursive = Value; }

    const std::string& Masks() const { return FMasks; }
    // Patterns separated by ";"; runs the search and appends what it finds.
    void SetMasks(const std::string& Value);

    // The queue of patterns still to search; empty except while a search runs.
    const TStringList& PendingPatterns() const { return FPendingPatterns; }

    int Count() const { return static_cast<int>(FItems.size()); }
    TFileSystemFile* Items(int Index) const { return FItems[static_cast<std::size_t>(Index)].get(); }

private:
    void SearchPattern(const std::string& Pattern);

    bool FRecursive = true;
    std::string FMasks;
    TStringList FPendingPatterns;
    std::vector<std::unique_ptr<TFileSystemFile>> FItems;
};

// Whole-name match of "*" and "?" with case ignored; like the Windows file search, a pattern ending
// in ".*" also matches a name without a dot ("*.*" matches every name).
bool FileMaskMatches(std::string_view Name, std::string_view Mask);
