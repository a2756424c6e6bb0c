#include "registry/store/RegStore.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <pwd.h>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// Marks a SQLite file as ours (PRAGMA application_id), so that a foreign database is never written.
constexpr int kStoreApplicationId = 0x47525631;
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 20000;
constexpr std::size_t kMaxCachedEntries = 65536;
// Opening a key reads up to this many of its values along, so that the reads that follow need no
// query of their own.
constexpr int kPrefetchedValues = 64;
// SQLite's own limit for one blob is 10^9 bytes; larger values are refused before they reach it.
constexpr DWORD kMaxValueSize = 256u * 1024 * 1024;
constexpr REGSAM kViewMask = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;
constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericExecute = 0x20000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
// The process's own view when a call names none.
constexpr int kOwnView = sizeof(void*) == 8 ? 64 : 32;

enum FileIndex { UserFile = 0, MachineFile = 1 };
enum RootIndex { MainTree = 0, UsersTree = 1 };

thread_local std::string lastError;

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string JoinFolded(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts) {
        if (!out.empty())
            out += '\\';
        out += Fold(part);
    }
    return out;
}

REGSAM MapGenericRights(REGSAM desired) {
    REGSAM mapped = desired & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
    if (desired & (kGenericRead | kGenericExecute))
        mapped |= KEY_READ;
    if (desired & kGenericWrite)
        mapped |= KEY_WRITE;
    if (desired & kGenericAll)
        mapped |= KEY_ALL_ACCESS;
    return mapped;
}

int ViewOf(REGSAM mask) {
    if (mask & KEY_WOW64_32KEY)
        return 32;
    if (mask & KEY_WOW64_64KEY)
        return 64;
    return kOwnView;
}

// Where a predefined key lives in the store.
struct TPredefined {
    std::uint32_t Number;
    int File;
    int Root;
    const char* Path;
};
constexpr TPredefined kPredefined[] = {
    {0x80000000u, MachineFile, MainTree, "SOFTWARE\\Classes"},
    {0x80000001u, UserFile, MainTree, ""},
    {0x80000002u, MachineFile, MainTree, ""},
    {0x80000003u, MachineFile, UsersTree, ""},
    {0x80000005u, MachineFile, MainTree, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
};

const TPredefined* FindPredefined(HKEY key) {
    const std::uint32_t number = RootKeyNumber(key);
    if (reinterpret_cast<std::intptr_t>(key) != static_cast<std::intptr_t>(static_cast<std::int32_t>(number)))
        return nullptr;
    for (const auto& p : kPredefined)
        if (p.Number == number)
            return &p;
    return nullptr;
}

bool IsPredefinedNumber(HKEY key) {
    const auto value = reinterpret_cast<std::intptr_t>(key);
    return value >= static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000000u)) &&
           value <= static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000006u));
}

// An open key. Id 0 stands for a predefined key whose tree does not exist in the file yet: it is
// looked up again by its path on every use.
struct TOpenKey {
    int File = UserFile;
    int Root = MainTree;
    std::string Path;               // folded, components joined by backslashes
    std::vector<std::string> Names; // as written, for creating the key when it is missing
    sqlite3_int64 Id = 0;
    REGSAM Granted = 0;
    int View = kOwnView;
};

struct TCachedValue {
    bool Found = false;
    DWORD Type = 0;
    std::string Data;
};

class TStoreFile {
public:
    std::string Path;
    bool Machine = false;
    sqlite3* Db = nullptr;
    bool Writable = false;    // the connection was opened for writing
    bool Initialised = false; // the tables exist
    sqlite3_file* File = nullptr;
    std::uint32_t CacheCounter = 0;
    bool CacheUsable = false;
    std::unordered_map<std::string, sqlite3_int64> KeyCache; // root + path -> id (0: absent)
    std::map<std::pair<sqlite3_int64, std::string>, TCachedValue> ValueCache;
    std::unordered_set<sqlite3_int64> Loaded; // keys whose every value is in ValueCache

    enum Stmt {
        FindKey,
        LoadKey,
        KeyExists,
        FindValue,
        ChildAt,
        HasChild,
        ValueAt,
        InsertKey,
        UpsertValue,
        DeleteValue,
        DeleteKey,
        DeleteKeyValues,
        DeleteRangeValues,
        DeleteRangeKeys,
        StmtCount
    };
    sqlite3_stmt* Stmts[StmtCount] = {};

    ~TStoreFile() { Close(); }

    void Close() {
        for (auto*& s : Stmts) {
            sqlite3_finalize(s);
            s = nullptr;
        }
        if (Db)
            sqlite3_close_v2(Db);
        Db = nullptr;
        File = nullptr;
        Writable = Initialised = false;
        ClearCache();
    }

    void DropCache() {
        KeyCache.clear();
        ValueCache.clear();
        Loaded.clear();
    }
    void ClearCache() {
        DropCache();
        CacheUsable = false;
    }
};

class TStore final : public TRegBackend {
public:
    LONG OpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) override;
    LONG CreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) override;
    LONG CloseKey(HKEY key) override;
    LONG QueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) override;
    LONG SetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) override;
    LONG DeleteValue(HKEY key, LPCSTR valueName) override;
    LONG EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR className,
                   LPDWORD classSize, void* lastWriteTime) override;
    LONG EnumValue(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) override;
    LONG DeleteKeyEx(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved) override;
    LONG DeleteTree(HKEY key, LPCSTR subKey) override;

    void Reset();
    std::string FileName(bool machine);

private:
    // Everything below runs with Lock held.
    TStoreFile& File(int index);
    void Locate();
    LONG Connect(TStoreFile& f, bool forWrite);
    LONG Validate(TStoreFile& f);
    LONG QuickCheck(TStoreFile& f);
    LONG Prepare(TStoreFile& f);
    LONG InitSchema(TStoreFile& f);
    LONG Fail(TStoreFile& f, int rc, const char* what, const char* detail = nullptr);
    bool MayWrite(const TStoreFile& f) const;
    bool CacheValid(TStoreFile& f);

    LONG ResolveBase(HKEY key, TOpenKey& base);
    // The key of a handle, its right checked, and its row id (0: a predefined key not there yet).
    LONG Use(HKEY key, REGSAM right, TOpenKey& k, sqlite3_int64& id);
    // Steps the enumeration statement `s` to entry `index` of key `id`.
    LONG StepAt(TStoreFile& f, const TOpenKey& k, sqlite3_int64 id, sqlite3_stmt* s, DWORD index);
    LONG Target(HKEY key, LPCSTR subKey, REGSAM viewMask, TOpenKey& out, bool keepView, bool* same = nullptr);
    LONG FindKeyId(TStoreFile& f, int root, const std::string& path, sqlite3_int64& id);
    LONG KeyStillThere(TStoreFile& f, const TOpenKey& k);
    LONG LiveId(TStoreFile& f, const TOpenKey& k, sqlite3_int64& id);
    LONG CreatePath(TStoreFile& f, const TOpenKey& k, sqlite3_int64& id, bool& created);
    LONG FindValue(TStoreFile& f, sqlite3_int64 id, const std::string& fold, const TCachedValue*& value);
    LONG DeleteSubtree(TStoreFile& f, const TOpenKey& k, bool withKey);
    template <typename Body> LONG Write(TStoreFile& f, Body body);
    HKEY NewHandle(TOpenKey key);

    std::mutex Lock;
    bool Located = false;
    std::string Paths[2];
    TStoreFile Files[2];
    std::unordered_map<std::uintptr_t, TOpenKey> Handles;
    std::uintptr_t NextHandle = 0x1000;
    std::set<std::string> Reported;
    TCachedValue Scratch;
};

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return ".";
}

void TStore::Locate() {
    if (Located)
        return;
    Located = true;
    if (const char* dir = std::getenv("GORVANE_REGISTRY_DIR"); dir && *dir) {
        std::string base = dir;
        if (base.back() != '/')
            base += '/';
        Paths[UserFile] = base + "current-user.db";
        Paths[MachineFile] = base + "local-machine.db";
    } else {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        std::string data = (xdg && xdg[0] == '/') ? std::string(xdg) : HomeFolder() + "/.local/share";
        Paths[UserFile] = data + "/gorvane/current-user.db";
        Paths[MachineFile] = "/var/lib/gorvane/local-machine.db";
    }
    for (int i = 0; i < 2; ++i) {
        Files[i].Path = Paths[i];
        Files[i].Machine = i == MachineFile;
    }
}

TStoreFile& TStore::File(int index) {
    Locate();
    return Files[index];
}

std::string TStore::FileName(bool machine) {
    std::lock_guard guard(Lock);
    Locate();
    return Paths[machine ? MachineFile : UserFile];
}

void TStore::Reset() {
    std::lock_guard guard(Lock);
    for (auto& f : Files)
        f.Close();
    Handles.clear();
    Located = false;
    Reported.clear();
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writing needs the file and its folder (SQLite's journal lives beside the file); a missing file
// needs the nearest existing folder above it.
bool TStore::MayWrite(const TStoreFile& f) const {
    struct stat st {};
    if (stat(f.Path.c_str(), &st) == 0)
        return access(f.Path.c_str(), W_OK) == 0 && access(FolderOf(f.Path).c_str(), W_OK | X_OK) == 0;
    std::string folder = FolderOf(f.Path);
    while (stat(folder.c_str(), &st) != 0) {
        if (folder == "/" || folder == ".")
            return false;
        folder = FolderOf(folder);
    }
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

bool MakeFolders(const std::string& folder, mode_t mode) {
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (folder != "/" && folder != "." && !MakeFolders(FolderOf(folder), mode))
        return false;
    return mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

LONG TStore::Fail(TStoreFile& f, int rc, const char* what, const char* detail) {
    if (!detail)
        detail = f.Db ? sqlite3_errmsg(f.Db) : sqlite3_errstr(rc);
    lastError = "registry store '" + f.Path + "': " + what + ": " + (detail ? detail : "unknown error");
    LONG code;
    switch (rc & 0xff) {
    case SQLITE_FULL:
        code = ERROR_DISK_FULL;
        break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        code = ERROR_ACCESS_DENIED;
        break;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        code = ERROR_BADDB;
        break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        code = ERROR_BUSY;
        break;
    case SQLITE_NOMEM:
        code = ERROR_OUTOFMEMORY;
        break;
    default:
        code = ERROR_REGISTRY_IO_FAILED;
    }
    if (code == ERROR_BADDB && Reported.insert(f.Path).second)
        std::fprintf(stderr, "gorvane: %s (the file is left as it is)\n", lastError.c_str());
    return code;
}

LONG TStore::Validate(TStoreFile& f) {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(f.Db, "PRAGMA application_id", -1, &s, nullptr);
    int appId = 0;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) {
            appId = sqlite3_column_int(s, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_OK)
        return Fail(f, rc, "cannot read the file");
    if (appId == kStoreApplicationId) {
        f.Initialised = true;
        return ERROR_SUCCESS;
    }
    bool empty = false;
    if (appId == 0) {
        rc = sqlite3_prepare_v2(f.Db, "SELECT count(*) FROM sqlite_master", -1, &s, nullptr);
        if (rc == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            empty = sqlite3_column_int(s, 0) == 0;
        sqlite3_finalize(s);
    }
    if (empty)
        return ERROR_SUCCESS;
    lastError = "registry store '" + f.Path + "': the file is not a Gorvane registry store";
    if (Reported.insert(f.Path).second)
        std::fprintf(stderr, "gorvane: %s (the file is left as it is)\n", lastError.c_str());
    return ERROR_BADDB;
}

LONG TStore::QuickCheck(TStoreFile& f) {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(f.Db, "PRAGMA quick_check(1)", -1, &s, nullptr);
    std::string verdict;
    if (rc == SQLITE_OK && (rc = sqlite3_step(s)) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(s, 0);
        verdict = text ? reinterpret_cast<const char*>(text) : "";
        rc = SQLITE_OK;
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_OK)
        return Fail(f, rc, "cannot read the file");
    if (verdict == "ok")
        return ERROR_SUCCESS;
    for (char& c : verdict)
        if (c == '\n')
            c = ' ';
    return Fail(f, SQLITE_CORRUPT, "the file is damaged", verdict.c_str());
}

LONG TStore::Connect(TStoreFile& f, bool forWrite) {
    if (f.Db && (!forWrite || f.Writable))
        return ERROR_SUCCESS;
    f.Close();
    struct stat st {};
    const bool exists = stat(f.Path.c_str(), &st) == 0;
    if (!exists) {
        if (!forWrite)
            return ERROR_FILE_NOT_FOUND; // no store yet: an empty registry
        if (!MakeFolders(FolderOf(f.Path), f.Machine ? 0755 : 0700)) {
            lastError = "registry store '" + f.Path + "': cannot create its folder: " + std::strerror(errno);
            return errno == EACCES || errno == EROFS || errno == EPERM ? ERROR_ACCESS_DENIED
                                                                       : ERROR_CANTWRITE;
        }
    } else if (!S_ISREG(st.st_mode)) {
        lastError = "registry store '" + f.Path + "': not a file";
        return ERROR_BADDB;
    }
    const bool writable = forWrite || MayWrite(f);
    const int flags =
        (writable ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(f.Path.c_str(), &f.Db, flags, nullptr);
    if (rc != SQLITE_OK) {
        LONG code = Fail(f, rc, "cannot open the file");
        f.Close();
        return code == ERROR_REGISTRY_IO_FAILED ? ERROR_CANTOPEN : code;
    }
    f.Writable = writable;
    sqlite3_busy_timeout(f.Db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(f.Db, 1);
    if (LONG code = Validate(f); code != ERROR_SUCCESS) {
        f.Close();
        return code;
    }
    if (writable) {
        // A rollback journal keeps the file readable by processes that may not write its folder;
        // FULL makes every commit durable before it returns.
        sqlite3_exec(f.Db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-16384",
                     nullptr, nullptr, nullptr);
        // Writing into a damaged file would bury what is left of it: look at it once first.
        if (f.Initialised) {
            if (LONG code = QuickCheck(f); code != ERROR_SUCCESS) {
                f.Close();
                return code;
            }
        }
    }
    if (sqlite3_file_control(f.Db, "main", SQLITE_FCNTL_FILE_POINTER, &f.File) != SQLITE_OK)
        f.File = nullptr;
    if (f.Initialised)
        return Prepare(f);
    return ERROR_SUCCESS;
}

LONG TStore::Prepare(TStoreFile& f) {
    static const char* const sql[TStoreFile::StmtCount] = {
        "SELECT id FROM keys WHERE root=?1 AND path=?2",
        "SELECT k.id, v.fold, v.type, v.data FROM keys k LEFT JOIN vals v ON v.key=k.id"
        " WHERE k.root=?1 AND k.path=?2 LIMIT ?3",
        "SELECT 1 FROM keys WHERE id=?1",
        "SELECT type, data FROM vals WHERE key=?1 AND fold=?2",
        "SELECT name FROM keys WHERE parent=?1 AND id<>?1 ORDER BY path LIMIT 1 OFFSET ?2",
        "SELECT 1 FROM keys WHERE parent=?1 AND id<>?1 LIMIT 1",
        "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY rowid LIMIT 1 OFFSET ?2",
        "INSERT INTO keys(root, parent, path, name) VALUES(?1, ?2, ?3, ?4)",
        "INSERT INTO vals(key, fold, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
        "ON CONFLICT(key, fold) DO UPDATE SET type=excluded.type, data=excluded.data",
        "DELETE FROM vals WHERE key=?1 AND fold=?2",
        "DELETE FROM keys WHERE id=?1",
        "DELETE FROM vals WHERE key=?1",
        "DELETE FROM vals WHERE key IN (SELECT id FROM keys WHERE root=?1 AND path>=?2 AND path<?3)",
        "DELETE FROM keys WHERE root=?1 AND path>=?2 AND path<?3",
    };
    for (int i = 0; i < TStoreFile::StmtCount; ++i) {
        if (f.Stmts[i])
            continue;
        int rc = sqlite3_prepare_v3(f.Db, sql[i], -1, SQLITE_PREPARE_PERSISTENT, &f.Stmts[i], nullptr);
        if (rc != SQLITE_OK)
            return Fail(f, rc, "cannot read the file");
    }
    return ERROR_SUCCESS;
}

LONG TStore::InitSchema(TStoreFile& f) {
    static const char* const schema =
        "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY AUTOINCREMENT, root INTEGER NOT NULL,"
        " parent INTEGER NOT NULL, path TEXT NOT NULL, name TEXT NOT NULL, UNIQUE(root, path));"
        "CREATE INDEX IF NOT EXISTS keys_children ON keys(parent, path);"
        "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, fold TEXT NOT NULL, name TEXT NOT NULL,"
        " type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold));"
        "INSERT OR IGNORE INTO keys(root, parent, path, name) VALUES(0, 0, '', ''), (1, 0, '', '');"
        "PRAGMA application_id=1196578353; PRAGMA user_version=1;";
    static_assert(kStoreApplicationId == 1196578353 && kSchemaVersion == 1);
    char* message = nullptr;
    int rc = sqlite3_exec(f.Db, schema, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        return Fail(f, rc, "cannot write the file");
    // Root rows are their own parents, so that no key ever has parent 0.
    rc =
        sqlite3_exec(f.Db, "UPDATE keys SET parent=id WHERE path='' AND parent=0", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return Fail(f, rc, "cannot write the file");
    f.Initialised = true;
    return Prepare(f);
}

// The file change counter in the header (offset 24) is raised by every commit in rollback-journal
// mode, by any process. Reading it costs one read of the file, far less than a query, and tells
// whether what this process has read before is still what the file holds.
bool TStore::CacheValid(TStoreFile& f) {
    if (!f.File || !f.File->pMethods)
        return false;
    // Bytes 18 and 19 are 2 in WAL mode, where the counter is not kept: no cache then.
    unsigned char header[10];
    if (f.File->pMethods->xRead(f.File, header, sizeof header, 18) != SQLITE_OK || header[0] != 1) {
        f.ClearCache();
        return false;
    }
    const std::uint32_t counter = (std::uint32_t(header[6]) << 24) | (std::uint32_t(header[7]) << 16) |
                                  (std::uint32_t(header[8]) << 8) | header[9];
    if (!f.CacheUsable || counter != f.CacheCounter) {
        f.DropCache();
        f.CacheCounter = counter;
        f.CacheUsable = true;
    }
    if (f.KeyCache.size() + f.ValueCache.size() > kMaxCachedEntries) {
        f.DropCache();
    }
    return true;
}

struct TReset {
    sqlite3_stmt* S;
    ~TReset() {
        if (!S)
            return;
        sqlite3_reset(S);
        sqlite3_clear_bindings(S);
    }
};

LONG TStore::FindKeyId(TStoreFile& f, int root, const std::string& path, sqlite3_int64& id) {
    id = 0;
    if (!f.Initialised)
        return ERROR_FILE_NOT_FOUND;
    const bool cached = CacheValid(f);
    std::string cacheKey;
    if (cached) {
        cacheKey.reserve(path.size() + 1);
        cacheKey += static_cast<char>('0' + root);
        cacheKey += path;
        if (auto it = f.KeyCache.find(cacheKey); it != f.KeyCache.end()) {
            id = it->second;
            return id ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        }
    }
    sqlite3_stmt* s = f.Stmts[cached ? TStoreFile::LoadKey : TStoreFile::FindKey];
    TReset reset{s};
    sqlite3_bind_int(s, 1, root);
    sqlite3_bind_text(s, 2, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
    sqlite3_bind_int(s, 3, kPrefetchedValues + 1);
    int rc;
    int values = 0;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        id = sqlite3_column_int64(s, 0);
        if (!cached || sqlite3_column_type(s, 1) == SQLITE_NULL || ++values > kPrefetchedValues)
            break;
        TCachedValue value;
        value.Found = true;
        value.Type = static_cast<DWORD>(sqlite3_column_int64(s, 2));
        const void* blob = sqlite3_column_blob(s, 3);
        value.Data.assign(static_cast<const char*>(blob), blob ? sqlite3_column_bytes(s, 3) : 0);
        const auto* fold = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
        f.ValueCache.insert_or_assign({id, std::string(fold, sqlite3_column_bytes(s, 1))}, std::move(value));
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return Fail(f, rc, "cannot read the file");
    if (cached) {
        if (id && values <= kPrefetchedValues)
            f.Loaded.insert(id);
        f.KeyCache.emplace(std::move(cacheKey), id);
    }
    return id ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG TStore::KeyStillThere(TStoreFile& f, const TOpenKey& k) {
    if (k.Id == 0)
        return ERROR_SUCCESS;
    if (LONG code = Connect(f, false); code != ERROR_SUCCESS || !f.Initialised)
        return code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
    sqlite3_stmt* s = f.Stmts[TStoreFile::KeyExists];
    TReset reset{s};
    sqlite3_bind_int64(s, 1, k.Id);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW)
        return ERROR_SUCCESS;
    if (rc == SQLITE_DONE)
        return ERROR_KEY_DELETED;
    return Fail(f, rc, "cannot read the file");
}

// The key's row id for reading: 0 with success when a predefined key's tree is not there yet.
LONG TStore::LiveId(TStoreFile& f, const TOpenKey& k, sqlite3_int64& id) {
    id = k.Id;
    if (id != 0)
        return ERROR_SUCCESS;
    LONG code = Connect(f, false);
    if (code == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (code != ERROR_SUCCESS)
        return code;
    code = FindKeyId(f, k.Root, k.Path, id);
    return code == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : code;
}

LONG TStore::CreatePath(TStoreFile& f, const TOpenKey& k, sqlite3_int64& id, bool& created) {
    created = false;
    LONG code = FindKeyId(f, k.Root, "", id);
    if (code != ERROR_SUCCESS)
        return code == ERROR_FILE_NOT_FOUND ? ERROR_BADDB : code;
    std::string path;
    for (const auto& name : k.Names) {
        if (!path.empty())
            path += '\\';
        path += Fold(name);
        const sqlite3_int64 parent = id;
        code = FindKeyId(f, k.Root, path, id);
        if (code == ERROR_SUCCESS)
            continue;
        if (code != ERROR_FILE_NOT_FOUND)
            return code;
        sqlite3_stmt* s = f.Stmts[TStoreFile::InsertKey];
        TReset reset{s};
        sqlite3_bind_int(s, 1, k.Root);
        sqlite3_bind_int64(s, 2, parent);
        sqlite3_bind_text(s, 3, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
        sqlite3_bind_text(s, 4, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE)
            return Fail(f, rc, "cannot write the file");
        id = sqlite3_last_insert_rowid(f.Db);
        f.KeyCache.clear();
        created = true;
    }
    return ERROR_SUCCESS;
}

LONG TStore::FindValue(TStoreFile& f, sqlite3_int64 id, const std::string& fold, const TCachedValue*& value) {
    value = nullptr;
    const bool cached = CacheValid(f);
    if (cached) {
        if (auto it = f.ValueCache.find({id, fold}); it != f.ValueCache.end()) {
            value = &it->second;
            return ERROR_SUCCESS;
        }
        if (f.Loaded.count(id)) {
            value = &f.ValueCache.emplace(std::make_pair(id, fold), TCachedValue{}).first->second;
            return ERROR_SUCCESS;
        }
    }
    sqlite3_stmt* s = f.Stmts[TStoreFile::FindValue];
    TReset reset{s};
    sqlite3_bind_int64(s, 1, id);
    sqlite3_bind_text(s, 2, fold.data(), static_cast<int>(fold.size()), SQLITE_STATIC);
    int rc = sqlite3_step(s);
    TCachedValue found;
    if (rc == SQLITE_ROW) {
        found.Found = true;
        found.Type = static_cast<DWORD>(sqlite3_column_int64(s, 0));
        const void* blob = sqlite3_column_blob(s, 1);
        found.Data.assign(static_cast<const char*>(blob), blob ? sqlite3_column_bytes(s, 1) : 0);
    } else if (rc != SQLITE_DONE) {
        return Fail(f, rc, "cannot read the file");
    }
    if (cached) {
        value = &f.ValueCache.emplace(std::make_pair(id, fold), std::move(found)).first->second;
    } else {
        Scratch = std::move(found);
        value = &Scratch;
    }
    return ERROR_SUCCESS;
}

// Runs `body` in one write transaction of `f`; nothing of it stays when it fails.
template <typename Body> LONG TStore::Write(TStoreFile& f, Body body) {
    if (!MayWrite(f)) {
        lastError = "registry store '" + f.Path + "': no right to write the file";
        return ERROR_ACCESS_DENIED;
    }
    LONG code = Connect(f, true);
    if (code != ERROR_SUCCESS)
        return code;
    f.ClearCache();
    int rc = sqlite3_exec(f.Db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return Fail(f, rc, "cannot lock the file for writing");
    if (!f.Initialised) {
        // Another process may have made the tables since this connection looked.
        code = Validate(f);
        if (code == ERROR_SUCCESS)
            code = f.Initialised ? Prepare(f) : InitSchema(f);
    }
    if (code == ERROR_SUCCESS)
        code = body();
    if (code == ERROR_SUCCESS) {
        rc = sqlite3_exec(f.Db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            code = Fail(f, rc, "cannot write the file");
    }
    if (code != ERROR_SUCCESS && !sqlite3_get_autocommit(f.Db))
        sqlite3_exec(f.Db, "ROLLBACK", nullptr, nullptr, nullptr);
    f.ClearCache();
    return code;
}

HKEY TStore::NewHandle(TOpenKey key) {
    const std::uintptr_t value = NextHandle;
    NextHandle += 4;
    Handles.emplace(value, std::move(key));
    return reinterpret_cast<HKEY>(value);
}

LONG TStore::ResolveBase(HKEY key, TOpenKey& base) {
    if (const TPredefined* p = FindPredefined(key)) {
        base = TOpenKey{};
        base.File = p->File;
        base.Root = p->Root;
        base.Names = SplitPath(p->Path);
        base.Path = JoinFolded(base.Names);
        base.Granted = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    auto it = Handles.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == Handles.end())
        return ERROR_INVALID_HANDLE;
    base = it->second;
    return ERROR_SUCCESS;
}

// The key `subKey` names below `key`, in the view of `viewMask` (or the handle's own view when
// keepView is set). In the 32-bit view HKEY_LOCAL_MACHINE\SOFTWARE is SOFTWARE\Wow6432Node.
LONG TStore::Target(HKEY key, LPCSTR subKey, REGSAM viewMask, TOpenKey& out, bool keepView, bool* same) {
    if (same)
        *same = true;
    LONG code = ResolveBase(key, out);
    if (code != ERROR_SUCCESS)
        return code;
    std::string_view sub = subKey ? subKey : "";
    if (!sub.empty() && sub.front() == '\\') {
        if (RootKeyNumber(key) != 0x80000000u || !IsPredefinedNumber(key))
            return ERROR_BAD_PATHNAME;
        sub.remove_prefix(1);
    }
    const int view = keepView ? out.View : ViewOf(viewMask);
    const bool fromRoot = out.Names.empty();
    auto parts = SplitPath(sub);
    if (parts.empty())
        return ERROR_SUCCESS;
    if (same)
        *same = false;
    if (fromRoot && view == 32 && out.File == MachineFile && out.Root == MainTree &&
        Fold(parts[0]) == "SOFTWARE" && (parts.size() < 2 || Fold(parts[1]) != "WOW6432NODE"))
        parts.insert(parts.begin() + 1, "Wow6432Node");
    for (auto& part : parts) {
        if (!out.Path.empty())
            out.Path += '\\';
        out.Path += Fold(part);
        out.Names.push_back(std::move(part));
    }
    out.Id = 0;
    out.View = view;
    return ERROR_SUCCESS;
}

LONG TStore::OpenKeyEx(HKEY key, LPCSTR subKey, DWORD, REGSAM desired, PHKEY result) {
    // Every one-shot operation starts by opening a key, so the text then speaks of that operation.
    lastError.clear();
    if (!result)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard guard(Lock);
    TOpenKey k;
    bool sameKey = true;
    LONG code = Target(key, subKey, desired, k, false, &sameKey);
    if (code != ERROR_SUCCESS)
        return code;
    const REGSAM wanted = MapGenericRights(desired) & ~kViewMask;
    TStoreFile& f = File(k.File);
    // Asking the file system costs three calls; a read-only open does not need its answer.
    const bool writable = (wanted & (kWriteRights | MAXIMUM_ALLOWED)) && MayWrite(f);
    if ((wanted & kWriteRights) && !(wanted & MAXIMUM_ALLOWED) && !writable) {
        lastError = "registry store '" + f.Path + "': no right to write the file";
        return ERROR_ACCESS_DENIED;
    }
    k.Granted = (wanted & MAXIMUM_ALLOWED) ? (writable ? KEY_ALL_ACCESS : KEY_READ) : wanted;
    if (sameKey) {
        // A predefined key always opens; its tree is looked up when it is used.
        if ((code = KeyStillThere(f, k)) != ERROR_SUCCESS)
            return code;
    } else {
        TOpenKey base;
        ResolveBase(key, base);
        if ((code = KeyStillThere(f, base)) != ERROR_SUCCESS)
            return code;
        code = Connect(f, false);
        if (code == ERROR_SUCCESS)
            code = FindKeyId(f, k.Root, k.Path, k.Id);
        if (code != ERROR_SUCCESS)
            return code;
    }
    *result = NewHandle(std::move(k));
    return ERROR_SUCCESS;
}

LONG TStore::CreateKeyEx(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM desired, LPSECURITY_ATTRIBUTES,
                         PHKEY result, LPDWORD disposition) {
    lastError.clear();
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (!subKey || !*subKey) {
        LONG code = OpenKeyEx(key, subKey, 0, desired, result);
        if (code == ERROR_SUCCESS && disposition)
            *disposition = REG_OPENED_EXISTING_KEY;
        return code;
    }
    std::lock_guard guard(Lock);
    TOpenKey base;
    LONG code = ResolveBase(key, base);
    if (code != ERROR_SUCCESS)
        return code;
    if (subKey[0] == '\\')
        return ERROR_BAD_PATHNAME;
    if (!(base.Granted & KEY_CREATE_SUB_KEY))
        return ERROR_ACCESS_DENIED;
    TOpenKey k;
    if ((code = Target(key, subKey, desired, k, false)) != ERROR_SUCCESS)
        return code;
    const REGSAM wanted = MapGenericRights(desired) & ~kViewMask;
    k.Granted = (wanted & MAXIMUM_ALLOWED) ? KEY_ALL_ACCESS : wanted;
    TStoreFile& f = File(k.File);
    bool created = false;
    code = Write(f, [&] {
        LONG c = KeyStillThere(f, base);
        return c == ERROR_SUCCESS ? CreatePath(f, k, k.Id, created) : c;
    });
    if (code != ERROR_SUCCESS)
        return code;
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(std::move(k));
    return ERROR_SUCCESS;
}

LONG TStore::CloseKey(HKEY key) {
    if (FindPredefined(key) || IsPredefinedNumber(key))
        return ERROR_SUCCESS;
    std::lock_guard guard(Lock);
    return Handles.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG TStore::QueryValueEx(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard guard(Lock);
    TOpenKey k;
    sqlite3_int64 id = 0;
    LONG code = Use(key, KEY_QUERY_VALUE, k, id);
    if (code != ERROR_SUCCESS)
        return code;
    TStoreFile& f = File(k.File);
    if (id == 0)
        return ERROR_FILE_NOT_FOUND;
    if ((code = Connect(f, false)) != ERROR_SUCCESS)
        return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
    const TCachedValue* value = nullptr;
    if ((code = FindValue(f, id, Fold(valueName ? valueName : ""), value)) != ERROR_SUCCESS)
        return code;
    if (!value->Found) {
        code = KeyStillThere(f, k);
        return code == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : code;
    }
    const DWORD length = static_cast<DWORD>(value->Data.size());
    if (type)
        *type = value->Type;
    if (data) {
        if (*size < length) {
            *size = length;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, value->Data.data(), length);
    }
    if (size)
        *size = length;
    return ERROR_SUCCESS;
}

LONG TStore::SetValueEx(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (!data && size)
        return ERROR_NOACCESS;
    if (size > kMaxValueSize)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard guard(Lock);
    TOpenKey k;
    LONG code = ResolveBase(key, k);
    if (code != ERROR_SUCCESS)
        return code;
    if (!(k.Granted & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    TStoreFile& f = File(k.File);
    const std::string name = valueName ? valueName : "";
    const std::string fold = Fold(name);
    return Write(f, [&]() -> LONG {
        sqlite3_int64 id = k.Id;
        LONG c;
        if (id == 0) {
            bool created = false;
            c = CreatePath(f, k, id, created);
        } else {
            c = KeyStillThere(f, k);
        }
        if (c != ERROR_SUCCESS)
            return c;
        sqlite3_stmt* s = f.Stmts[TStoreFile::UpsertValue];
        TReset reset{s};
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_text(s, 2, fold.data(), static_cast<int>(fold.size()), SQLITE_STATIC);
        sqlite3_bind_text(s, 3, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        sqlite3_bind_int64(s, 4, type);
        sqlite3_bind_blob(s, 5, size ? data : reinterpret_cast<const BYTE*>(""), static_cast<int>(size),
                          SQLITE_STATIC);
        int rc = sqlite3_step(s);
        return rc == SQLITE_DONE ? ERROR_SUCCESS : Fail(f, rc, "cannot write the file");
    });
}

LONG TStore::DeleteValue(HKEY key, LPCSTR valueName) {
    std::lock_guard guard(Lock);
    TOpenKey k;
    sqlite3_int64 id = 0;
    LONG code = Use(key, KEY_SET_VALUE, k, id);
    if (code != ERROR_SUCCESS)
        return code;
    TStoreFile& f = File(k.File);
    if (id == 0)
        return ERROR_FILE_NOT_FOUND;
    const std::string fold = Fold(valueName ? valueName : "");
    return Write(f, [&]() -> LONG {
        LONG c = KeyStillThere(f, k);
        if (c != ERROR_SUCCESS)
            return c;
        sqlite3_stmt* s = f.Stmts[TStoreFile::DeleteValue];
        TReset reset{s};
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_text(s, 2, fold.data(), static_cast<int>(fold.size()), SQLITE_STATIC);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE)
            return Fail(f, rc, "cannot write the file");
        return sqlite3_changes(f.Db) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

LONG TStore::Use(HKEY key, REGSAM right, TOpenKey& k, sqlite3_int64& id) {
    LONG code = ResolveBase(key, k);
    if (code != ERROR_SUCCESS)
        return code;
    if (!(k.Granted & right))
        return ERROR_ACCESS_DENIED;
    return LiveId(File(k.File), k, id);
}

LONG TStore::StepAt(TStoreFile& f, const TOpenKey& k, sqlite3_int64 id, sqlite3_stmt* s, DWORD index) {
    if (id == 0)
        return ERROR_NO_MORE_ITEMS;
    if (LONG code = KeyStillThere(f, k); code != ERROR_SUCCESS)
        return code;
    sqlite3_bind_int64(s, 1, id);
    sqlite3_bind_int64(s, 2, index);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE)
        return ERROR_NO_MORE_ITEMS;
    return rc == SQLITE_ROW ? ERROR_SUCCESS : Fail(f, rc, "cannot read the file");
}

LONG CopyName(const unsigned char* text, int length, LPSTR out, LPDWORD outSize) {
    if (!out || !outSize)
        return ERROR_INVALID_PARAMETER;
    if (static_cast<DWORD>(length) + 1 > *outSize)
        return ERROR_MORE_DATA;
    std::memcpy(out, text, static_cast<std::size_t>(length));
    out[length] = '\0';
    *outSize = static_cast<DWORD>(length);
    return ERROR_SUCCESS;
}

LONG TStore::EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPSTR className,
                       LPDWORD classSize, void* lastWriteTime) {
    std::lock_guard guard(Lock);
    TOpenKey k;
    sqlite3_int64 id = 0;
    LONG code = Use(key, KEY_ENUMERATE_SUB_KEYS, k, id);
    if (code != ERROR_SUCCESS)
        return code;
    TStoreFile& f = File(k.File);
    sqlite3_stmt* s = f.Stmts[TStoreFile::ChildAt];
    TReset reset{s};
    if ((code = StepAt(f, k, id, s, index)) != ERROR_SUCCESS)
        return code;
    code = CopyName(sqlite3_column_text(s, 0), sqlite3_column_bytes(s, 0), name, nameSize);
    if (code == ERROR_SUCCESS) {
        if (className && classSize && *classSize)
            className[0] = '\0';
        if (classSize)
            *classSize = 0;
        if (lastWriteTime)
            std::memset(lastWriteTime, 0, 8);
    }
    return code;
}

LONG TStore::EnumValue(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD, LPDWORD type,
                       LPBYTE data, LPDWORD dataSize) {
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    std::lock_guard guard(Lock);
    TOpenKey k;
    sqlite3_int64 id = 0;
    LONG code = Use(key, KEY_QUERY_VALUE, k, id);
    if (code != ERROR_SUCCESS)
        return code;
    TStoreFile& f = File(k.File);
    sqlite3_stmt* s = f.Stmts[TStoreFile::ValueAt];
    TReset reset{s};
    if ((code = StepAt(f, k, id, s, index)) != ERROR_SUCCESS)
        return code;
    if ((code = CopyName(sqlite3_column_text(s, 0), sqlite3_column_bytes(s, 0), valueName, valueNameSize)) !=
        ERROR_SUCCESS)
        return code;
    if (type)
        *type = static_cast<DWORD>(sqlite3_column_int64(s, 1));
    const DWORD length = static_cast<DWORD>(sqlite3_column_bytes(s, 2));
    if (data) {
        if (*dataSize < length) {
            *dataSize = length;
            return ERROR_MORE_DATA;
        }
        if (length)
            std::memcpy(data, sqlite3_column_blob(s, 2), length);
    }
    if (dataSize)
        *dataSize = length;
    return ERROR_SUCCESS;
}

LONG TStore::DeleteSubtree(TStoreFile& f, const TOpenKey& k, bool withKey) {
    sqlite3_int64 id = 0;
    LONG code = FindKeyId(f, k.Root, k.Path, id);
    if (code != ERROR_SUCCESS)
        return code;
    // Every key below k.Path has a path in [k.Path + "\", k.Path + "]"), ']' following '\'.
    const std::string low = k.Path.empty() ? std::string("\x01", 1) : k.Path + "\\";
    const std::string high = k.Path.empty() ? std::string(64, '\xff') : k.Path + "]";
    for (int which : {TStoreFile::DeleteRangeValues, TStoreFile::DeleteRangeKeys}) {
        sqlite3_stmt* s = f.Stmts[which];
        TReset reset{s};
        sqlite3_bind_int(s, 1, k.Root);
        sqlite3_bind_text(s, 2, low.data(), static_cast<int>(low.size()), SQLITE_STATIC);
        sqlite3_bind_text(s, 3, high.data(), static_cast<int>(high.size()), SQLITE_STATIC);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE)
            return Fail(f, rc, "cannot write the file");
    }
    const int steps[] = {TStoreFile::DeleteKeyValues, TStoreFile::DeleteKey};
    for (int i = 0; i < (withKey ? 2 : 1); ++i) {
        sqlite3_stmt* s = f.Stmts[steps[i]];
        TReset reset{s};
        sqlite3_bind_int64(s, 1, id);
        int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE)
            return Fail(f, rc, "cannot write the file");
    }
    return ERROR_SUCCESS;
}

LONG TStore::DeleteKeyEx(HKEY key, LPCSTR subKey, REGSAM view, DWORD) {
    std::lock_guard guard(Lock);
    TOpenKey k;
    LONG code = Target(key, subKey, view, k, !subKey || !*subKey);
    if (code != ERROR_SUCCESS)
        return code;
    if (k.Names.empty())
        return ERROR_ACCESS_DENIED; // a root of the registry is never deleted
    TStoreFile& f = File(k.File);
    if (Connect(f, false) == ERROR_FILE_NOT_FOUND || !f.Initialised)
        return ERROR_FILE_NOT_FOUND;
    return Write(f, [&]() -> LONG {
        sqlite3_int64 id = 0;
        LONG c = FindKeyId(f, k.Root, k.Path, id);
        if (c != ERROR_SUCCESS)
            return c;
        sqlite3_stmt* s = f.Stmts[TStoreFile::HasChild];
        {
            TReset reset{s};
            sqlite3_bind_int64(s, 1, id);
            int rc = sqlite3_step(s);
            if (rc == SQLITE_ROW)
                return ERROR_ACCESS_DENIED; // as Windows: only keys without subkeys are deleted
            if (rc != SQLITE_DONE)
                return Fail(f, rc, "cannot read the file");
        }
        return DeleteSubtree(f, k, true);
    });
}

LONG TStore::DeleteTree(HKEY key, LPCSTR subKey) {
    std::lock_guard guard(Lock);
    TOpenKey k;
    const bool keepKey = !subKey || !*subKey;
    LONG code = Target(key, subKey, 0, k, true);
    if (code != ERROR_SUCCESS)
        return code;
    if (!keepKey && k.Names.empty())
        return ERROR_ACCESS_DENIED;
    TStoreFile& f = File(k.File);
    code = Connect(f, false);
    if (code == ERROR_FILE_NOT_FOUND || (code == ERROR_SUCCESS && !f.Initialised))
        return keepKey ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    if (code != ERROR_SUCCESS)
        return code;
    if (keepKey) {
        sqlite3_int64 id = 0;
        code = FindKeyId(f, k.Root, k.Path, id);
        if (code == ERROR_FILE_NOT_FOUND)
            return k.Id ? ERROR_KEY_DELETED : ERROR_SUCCESS;
        if (code != ERROR_SUCCESS)
            return code;
    }
    return Write(f, [&] { return DeleteSubtree(f, k, !keepKey); });
}

TStore& Store() {
    static TStore* store = new TStore; // lives to the end of the process, past static destructors
    return *store;
}

} // namespace

TRegBackend& StoreRegBackend() {
    return Store();
}

#ifndef _WIN32
TRegBackend& SystemRegBackend() {
    return Store();
}
#endif

std::string GorvaneStoreLastError() {
    return lastError;
}

std::string GorvaneStoreFile(bool machine) {
    return Store().FileName(machine);
}

void GorvaneStoreReset() {
    Store().Reset();
}
