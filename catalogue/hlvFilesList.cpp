#include "catalogue/hlvFilesList.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

char Fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Greedy walk with one back-track point: linear in practice, never exponential.
bool WildMatch(std::string_view s, std::string_view p) {
    std::size_t i = 0, j = 0, star = std::string_view::npos, mark = 0;
    while (i < s.size()) {
        if (j < p.size() && (p[j] == '?' || Fold(p[j]) == Fold(s[i]))) {
            ++i;
            ++j;
        } else if (j < p.size() && p[j] == '*') {
            star = j++;
            mark = i;
        } else if (star != std::string_view::npos) {
            j = star + 1;
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < p.size() && p[j] == '*')
        ++j;
    return j == p.size();
}

std::size_t FolderPartLength(const std::string& pattern) {
#ifdef _WIN32
    std::size_t cut = pattern.find_last_of("\\:");
#else
    std::size_t cut = pattern.find_last_of('/');
#endif
    return cut == std::string::npos ? 0 : cut + 1;
}

std::uint64_t ToFileTime(const struct timespec& ts) {
    constexpr std::int64_t epochSeconds = 11644473600; // 1601 to 1970
    const std::int64_t seconds = static_cast<std::int64_t>(ts.tv_sec) + epochSeconds;
    if (seconds < 0)
        return 0;
    return static_cast<std::uint64_t>(seconds) * 10000000u + static_cast<std::uint64_t>(ts.tv_nsec / 100);
}

struct TEntry {
    std::string Name;
    struct stat St;
    bool Link;
};

// Every entry of a folder but "." and "..", ordered by name, case ignored, so that the results do
// not depend on the order a file system happens to keep.
std::vector<TEntry> ListFolder(const std::string& folder) {
    std::vector<TEntry> entries;
    const std::string dirName = folder.empty() ? std::string(".") : folder;
    DIR* dir = ::opendir(dirName.c_str());
    if (!dir)
        return entries;
    while (dirent* d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        TEntry e{d->d_name, {}, false};
        struct stat lst {};
        if (::fstatat(::dirfd(dir), d->d_name, &lst, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        e.Link = S_ISLNK(lst.st_mode);
        // A link that leads nowhere is listed as the link itself, as the file search reports it;
        // reading it then fails or finds nothing.
        if (!e.Link || ::fstatat(::dirfd(dir), d->d_name, &e.St, 0) != 0)
            e.St = lst;
        entries.push_back(std::move(e));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
        const std::size_t n = std::min(a.Name.size(), b.Name.size());
        for (std::size_t k = 0; k < n; ++k)
            if (Fold(a.Name[k]) != Fold(b.Name[k]))
                return Fold(a.Name[k]) < Fold(b.Name[k]);
        return a.Name.size() != b.Name.size() ? a.Name.size() < b.Name.size() : a.Name < b.Name;
    });
    return entries;
}

std::uint32_t Attributes(const TEntry& e) {
    std::uint32_t attr = 0;
    if (S_ISDIR(e.St.st_mode))
        attr |= faDirectory;
    else
        attr |= faArchive;
    if (!e.Name.empty() && e.Name[0] == '.')
        attr |= faHidden;
    if (!(e.St.st_mode & S_IWUSR))
        attr |= faReadOnly;
    return attr;
}

TDateTime CreationTime(const std::string& fullName) {
#ifdef STATX_BTIME
    struct statx sx {};
    if (::statx(AT_FDCWD, fullName.c_str(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
        struct timespec ts {};
        ts.tv_sec = sx.stx_btime.tv_sec;
        ts.tv_nsec = sx.stx_btime.tv_nsec;
        return FileTimeToDateTime(ToFileTime(ts));
    }
#else
    (void)fullName;
#endif
    return 0;
}

} // namespace

bool FileMaskMatches(std::string_view Name, std::string_view Mask) {
    if (WildMatch(Name, Mask))
        return true;
    if (Mask.size() >= 2 && Mask.substr(Mask.size() - 2) == ".*" && Name.find('.') == std::string_view::npos)
        return WildMatch(std::string(Name) + ".", Mask);
    return false;
}

void TFileSystemFileList::SetMasks(const std::string& Value) {
    FMasks = Value;
    std::size_t start = 0;
    for (;;) {
        std::size_t semi = Value.find(';', start);
        std::string part = Value.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
        if (!part.empty() && part.back() == PathDelim)
            part += "*.*";
        FPendingPatterns.Add(std::move(part));
        if (semi == std::string::npos)
            break;
        start = semi + 1;
    }
    while (FPendingPatterns.Count() > 0) {
        SearchPattern(FPendingPatterns[0]);
        FPendingPatterns.Delete(0);
    }
}

void TFileSystemFileList::SearchPattern(const std::string& Pattern) {
    const std::size_t cut = FolderPartLength(Pattern);
    const std::string folder = Pattern.substr(0, cut);
    const std::string mask = Pattern.substr(cut);
    const std::vector<TEntry> entries = ListFolder(folder);
    if (!mask.empty())
        for (const TEntry& e : entries) {
            if (S_ISDIR(e.St.st_mode) || !FileMaskMatches(e.Name, mask))
                continue;
            auto f = std::make_unique<TFileSystemFile>();
            f->Path = folder;
            f->Filename = e.Name;
            f->Size = static_cast<std::int64_t>(e.St.st_size);
            f->Attr = Attributes(e);
            f->TimeCreation = CreationTime(folder + e.Name);
            f->TimeLastAccess = FileTimeToDateTime(ToFileTime(e.St.st_atim));
            f->TimeLastWrite = FileTimeToDateTime(ToFileTime(e.St.st_mtim));
            FItems.push_back(std::move(f));
        }
    if (!FRecursive)
        return;
    for (const TEntry& e : entries) {
        // Hidden folders are never entered, nor linked ones: a link back up the tree would never end.
        if (!S_ISDIR(e.St.st_mode) || e.Link || (Attributes(e) & faHidden))
            continue;
        FPendingPatterns.Add(folder + e.Name + PathDelim + mask);
    }
}
