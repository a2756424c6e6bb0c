#include "tools/gorvane-reg/RegTool.h"

#include "registry/WinReg.h"
#include "tools/gorvane-reg/RegFile.h"
#include "tools/gorvane-reg/RegValueText.h"
#ifndef _WIN32
#include "registry/store/RegStore.h"
#endif

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>

namespace {

constexpr char Success[] = "The operation completed successfully.";
constexpr char Cancelled[] = "The operation was canceled by the user.";
constexpr char NotFound[] = "ERROR: The system was unable to find the specified registry key or value.";
constexpr char InvalidKey[] = "ERROR: Invalid key name.";
constexpr char FileError[] = "ERROR: Error opening the file. There may be a disk or file system error.";
constexpr char DefaultName[] = "(Default)";
constexpr char Indent[] = "    ";
// Longest key or value name the registry allows, with room for the terminating zero.
constexpr DWORD NameBufferSize = 16384;

const char GeneralUsage[] = R"~(gorvane-reg OPERATION [parameters]

  Looks into and changes the registry.

  OPERATION  QUERY | ADD | DELETE | EXPORT | IMPORT

  KEY        ROOTKEY\SubKey, where ROOTKEY is HKLM, HKCU, HKCR, HKU or HKCC, or the long
             form HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS,
             HKEY_CURRENT_CONFIG
  /reg:32    work in the 32-bit view of the registry
  /reg:64    work in the 64-bit view of the registry
  Switches may be written with / or -, in any case.

Return code: 0 success, 1 failure.
For help on one operation: gorvane-reg OPERATION /?
)~"
#ifndef _WIN32
                            R"~(
Off Windows the registry is Gorvane's own store: the current user's in
$XDG_DATA_HOME/gorvane (else ~/.local/share/gorvane), the machine's in /var/lib/gorvane.
GORVANE_REGISTRY_DIR=FOLDER keeps both in FOLDER instead.
)~"
#endif
    ;

struct TOperation {
    const char* Name;
    const char* Options; // the switches it takes, space-separated
    int Positional;      // how many plain arguments it needs
    const char* Usage;
};

const TOperation Operations[] = {
    {"QUERY", "/v /ve /s /reg:32 /reg:64", 1,
     R"~(gorvane-reg QUERY KEY [/v NAME | /ve] [/s] [/reg:32 | /reg:64]

  /v NAME   show the value NAME of KEY
  /ve       show the default value of KEY, "(Default)"
  /s        show all subkeys and their values too; with /v, look for NAME in all of them

Examples:
  gorvane-reg QUERY HKLM\Software\Gorvane /v Version
  gorvane-reg QUERY HKCU\Software\Gorvane /s
)~"},
    {"ADD", "/v /ve /t /s /d /f /reg:32 /reg:64", 1,
     R"~(gorvane-reg ADD KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f] [/reg:32 | /reg:64]

  Creates KEY (with every missing parent) and, with /v or /ve, sets one of its values;
  /t or /d without /v sets the default value.
  /v NAME       the value to set
  /ve           the default value
  /t TYPE       REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,
                REG_BINARY, REG_NONE, REG_DWORD_BIG_ENDIAN
  /s SEPARATOR  one character between the strings of REG_MULTI_SZ data (default: \0)
  /d DATA       the data: text; a number, decimal or 0x hexadecimal, for REG_DWORD,
                REG_QWORD and REG_DWORD_BIG_ENDIAN; hexadecimal digits for REG_BINARY and REG_NONE
  /f            overwrite an existing value without asking

Examples:
  gorvane-reg ADD HKCU\Software\Gorvane /v Width /t REG_DWORD /d 0x400
  gorvane-reg ADD HKCU\Software\Gorvane /v Paths /t REG_MULTI_SZ /d "a\0b"
)~"},
    {"DELETE", "/v /ve /va /f /reg:32 /reg:64", 1,
     R"~(gorvane-reg DELETE KEY [/v NAME | /ve | /va] [/f] [/reg:32 | /reg:64]

  Without /v, /ve or /va deletes KEY with all its subkeys and values.
  /v NAME   delete the value NAME
  /ve       delete the default value
  /va       delete every value of KEY, keeping its subkeys
  /f        delete without asking

Example:
  gorvane-reg DELETE HKCU\Software\Gorvane /v Width /f
)~"},
    {"EXPORT", "/y /reg:32 /reg:64", 2, R"~(gorvane-reg EXPORT KEY FILE [/y] [/reg:32 | /reg:64]

  Writes KEY with all its subkeys and values to FILE in the registry editor's text format
  ("Windows Registry Editor Version 5.00", UTF-16 LE).
  /y        overwrite FILE without asking

Example:
  gorvane-reg EXPORT HKCU\Software\Gorvane gorvane.reg
)~"},
    {"IMPORT", "/reg:32 /reg:64", 1, R"~(gorvane-reg IMPORT FILE [/reg:32 | /reg:64]

  Applies a registry editor file ("Windows Registry Editor Version 5.00" or "REGEDIT4"):
  [KEY] creates a key, [-KEY] deletes it, "NAME"=DATA sets a value, "NAME"=- deletes it.
  Nothing is changed when a line of FILE cannot be read.

Example:
  gorvane-reg IMPORT gorvane.reg
)~"},
};

struct TArgs {
    const TOperation* Op = nullptr;
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Options; // switch in lower case -> its argument, if any
    REGSAM View = 0;

    bool Has(const char* option) const { return Options.count(option) != 0; }
    std::string Get(const char* option) const {
        auto it = Options.find(option);
        return it == Options.end() ? std::string() : it->second;
    }
};

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool IsHelp(const std::string& arg) {
    return arg == "/?" || arg == "-?" || arg == "-h" || arg == "--help";
}

bool TakesArgument(const TOperation& op, const std::string& option) {
    return option == "/v" || option == "/t" || option == "/d" ||
           (option == "/s" && std::string_view(op.Name) == "ADD");
}

// Fills `a` from the arguments after the operation; false for a syntax error.
bool ParseArgs(const std::vector<std::string>& args, TArgs& a) {
    const std::string allowed = std::string(" ") + a.Op->Options + " ";
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string option = Lower(args[i]);
        if (!option.empty() && option[0] == '-')
            option[0] = '/';
        if (option.size() < 2 || option[0] != '/' || allowed.find(" " + option + " ") == std::string::npos) {
            a.Positional.push_back(args[i]); // a file name may start with '/'
            continue;
        }
        if (a.Options.count(option))
            return false;
        std::string value;
        if (TakesArgument(*a.Op, option)) {
            if (++i == args.size())
                return false;
            value = args[i];
        }
        a.Options[option] = value;
    }
    if (a.Positional.size() != static_cast<std::size_t>(a.Op->Positional))
        return false;
    if (a.Has("/reg:32") && a.Has("/reg:64"))
        return false;
    a.View = a.Has("/reg:32") ? KEY_WOW64_32KEY : a.Has("/reg:64") ? KEY_WOW64_64KEY : 0;
    return int(a.Has("/v")) + int(a.Has("/ve")) + int(a.Has("/va")) <= 1;
}

class TRegTool {
public:
    TRegTool(const TArgs& args, std::istream& in, std::ostream& out, std::ostream& err)
        : A(args), In(in), Out(out), Err(err) {}

    int Run() {
        const std::string_view op = A.Op->Name;
        if (op == "IMPORT")
            return Import();
        const auto key = ParseRegKeyName(A.Positional[0]);
        if (!key) {
            Err << InvalidKey << "\n" << UsageHint();
            return 1;
        }
        if (op == "QUERY")
            return Query(*key);
        if (op == "ADD")
            return Add(*key);
        if (op == "DELETE")
            return Delete(*key);
        return Export(*key);
    }

private:
    std::string UsageHint() const {
        return std::string("Type \"gorvane-reg ") + A.Op->Name + " /?\" for usage.\n";
    }

    int SyntaxError(const std::string& reason) {
        Err << "ERROR: Invalid syntax.\n" << (reason.empty() ? "" : reason + "\n") << UsageHint();
        return 1;
    }

    int Failure(LONG code) {
        if (code == ERROR_FILE_NOT_FOUND) {
            Err << NotFound << "\n";
        } else if (code == ERROR_ACCESS_DENIED) {
            Err << "ERROR: Access is denied.\n";
        } else {
            std::string detail;
#ifndef _WIN32
            detail = GorvaneStoreLastError();
#endif
            Err << "ERROR: The registry operation failed (error " << code << ")"
                << (detail.empty() ? "" : ": " + detail) << ".\n";
        }
        return 1;
    }

    int Done() {
        Out << Success << "\n";
        return 0;
    }

    // Asks until the answer is yes or no; the end of input is a no.
    bool Confirm(const std::string& question) {
        while (true) {
            Out << question << " " << std::flush;
            std::string answer;
            if (!std::getline(In, answer)) {
                Out << "\n";
                Unanswered = true;
                return false;
            }
            while (!answer.empty() && std::isspace(static_cast<unsigned char>(answer.back())))
                answer.pop_back();
            answer = Lower(answer);
            if (answer == "y" || answer == "yes")
                return true;
            if (answer == "n" || answer == "no")
                return false;
        }
    }

    // A user's no is a success; a question nobody could answer (a script without input) is not,
    // since nothing was done.
    int Cancelled() {
        Out << ::Cancelled << "\n";
        return Unanswered ? 1 : 0;
    }

    LONG Open(const TRegKeyName& key, REGSAM access, HKEY& handle) {
        return RegOpenKeyExA(key.Root, key.Path.c_str(), 0, access | A.View, &handle);
    }

    static LONG ReadValue(HKEY key, const std::string& name, DWORD& type, TBytes& data) {
        while (true) {
            DWORD size = 0;
            LONG code = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
            if (code != ERROR_SUCCESS)
                return code;
            data.resize(size);
            code = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(),
                                    &size);
            if (code == ERROR_MORE_DATA)
                continue; // grew in between
            if (code == ERROR_SUCCESS)
                data.resize(size);
            return code;
        }
    }

    static LONG Values(HKEY key, std::vector<TRegFileValue>& values) {
        std::vector<char> name(NameBufferSize);
        for (DWORD index = 0;; ++index) {
            TRegFileValue v;
            DWORD nameSize = NameBufferSize, dataSize = 0;
            LONG code =
                RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &v.Type, nullptr, &dataSize);
            if (code == ERROR_NO_MORE_ITEMS)
                return ERROR_SUCCESS;
            if (code != ERROR_SUCCESS)
                return code;
            v.Name.assign(name.data(), nameSize);
            code = ReadValue(key, v.Name, v.Type, v.Data);
            if (code != ERROR_SUCCESS)
                return code;
            values.push_back(std::move(v));
        }
    }

    // The name as the registry keeps it; names are found without regard to case.
    static std::string StoredName(HKEY key, const std::string& name) {
        std::vector<char> buffer(NameBufferSize);
        for (DWORD index = 0;; ++index) {
            DWORD size = NameBufferSize;
            if (RegEnumValueA(key, index, buffer.data(), &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                return name;
            if (EqualsNoCase(std::string_view(buffer.data(), size), name))
                return std::string(buffer.data(), size);
        }
    }

    static LONG Subkeys(HKEY key, std::vector<std::string>& names) {
        std::vector<char> name(NameBufferSize);
        for (DWORD index = 0;; ++index) {
            DWORD size = NameBufferSize;
            const LONG code =
                RegEnumKeyExA(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
            if (code == ERROR_NO_MORE_ITEMS)
                return ERROR_SUCCESS;
            if (code != ERROR_SUCCESS)
                return code;
            names.emplace_back(name.data(), size);
        }
    }

    void PrintValue(const std::string& name, DWORD type, const TBytes& data) {
        Out << Indent << (name.empty() ? DefaultName : name) << Indent << RegTypeName(type) << Indent
            << FormatRegData(type, data) << "\n";
    }

    // Walks `key` and, with `recurse`, everything below it, calling visit(handle, full name) in
    // pre-order, subkeys in the registry's order.
    template <typename Visit> LONG Walk(HKEY key, const std::string& fullName, bool recurse, Visit&& visit) {
        LONG code = visit(key, fullName);
        if (code != ERROR_SUCCESS || !recurse)
            return code;
        std::vector<std::string> names;
        if ((code = Subkeys(key, names)) != ERROR_SUCCESS)
            return code;
        for (const std::string& name : names) {
            HKEY sub = nullptr;
            code = RegOpenKeyExA(key, name.c_str(), 0, KEY_READ | A.View, &sub);
            if (code == ERROR_FILE_NOT_FOUND)
                continue; // deleted while we looked
            if (code != ERROR_SUCCESS)
                return code;
            code = Walk(sub, fullName + "\\" + name, true, visit);
            RegCloseKey(sub);
            if (code != ERROR_SUCCESS)
                return code;
        }
        return ERROR_SUCCESS;
    }

    int Query(const TRegKeyName& key) {
        HKEY h = nullptr;
        LONG code = Open(key, KEY_READ, h);
        if (code != ERROR_SUCCESS)
            return Failure(code);
        const bool recurse = A.Has("/s");
        const bool one = A.Has("/v") || A.Has("/ve");
        const std::string wanted = A.Get("/v");
        int matches = 0;
        if (one && !recurse) {
            DWORD type = 0;
            TBytes data;
            code = ReadValue(h, wanted, type, data);
            if (code == ERROR_FILE_NOT_FOUND && A.Has("/ve")) {
                Out << "\n"
                    << key.Full() << "\n"
                    << Indent << DefaultName << Indent << "REG_SZ" << Indent << "(value not set)\n\n";
                code = ERROR_SUCCESS;
            } else if (code == ERROR_SUCCESS) {
                Out << "\n" << key.Full() << "\n";
                PrintValue(StoredName(h, wanted), type, data);
                Out << "\n";
            }
        } else if (one) {
            // Look for the value in the whole tree.
            Out << "\n";
            code = Walk(h, key.Full(), true, [&](HKEY k, const std::string& name) -> LONG {
                DWORD type = 0;
                TBytes data;
                const LONG c = ReadValue(k, wanted, type, data);
                if (c == ERROR_FILE_NOT_FOUND)
                    return ERROR_SUCCESS;
                if (c != ERROR_SUCCESS)
                    return c;
                Out << name << "\n";
                PrintValue(StoredName(k, wanted), type, data);
                Out << "\n";
                ++matches;
                return ERROR_SUCCESS;
            });
            if (code == ERROR_SUCCESS)
                Out << "End of search: " << matches << " match(es) found.\n";
            if (code == ERROR_SUCCESS && matches == 0)
                code = ERROR_FILE_NOT_FOUND;
        } else {
            Out << "\n";
            bool top = true;
            code = Walk(h, key.Full(), recurse, [&](HKEY k, const std::string& name) -> LONG {
                std::vector<TRegFileValue> values;
                LONG c = Values(k, values);
                if (c != ERROR_SUCCESS)
                    return c;
                Out << name << "\n";
                for (const TRegFileValue& v : values)
                    PrintValue(v.Name, v.Type, v.Data);
                if (!top)
                    ++matches;
                matches += static_cast<int>(values.size());
                if (recurse || !values.empty()) {
                    Out << "\n";
                }
                if (!recurse) {
                    std::vector<std::string> names;
                    if ((c = Subkeys(k, names)) != ERROR_SUCCESS)
                        return c;
                    if (values.empty() && !names.empty())
                        Out << "\n";
                    for (const std::string& sub : names)
                        Out << name << "\\" << sub << "\n";
                }
                top = false;
                return ERROR_SUCCESS;
            });
            if (code == ERROR_SUCCESS && recurse)
                Out << "End of search: " << matches << " match(es) found.\n";
        }
        RegCloseKey(h);
        return code == ERROR_SUCCESS ? 0 : Failure(code);
    }

    int Add(const TRegKeyName& key) {
        const bool hasValue = A.Has("/v") || A.Has("/ve") || A.Has("/t") || A.Has("/d");
        const std::string name = A.Get("/v");
        DWORD type = REG_SZ;
        if (A.Has("/t")) {
            const auto t = RegTypeFromName(A.Get("/t"));
            if (!t)
                return SyntaxError("Unknown type \"" + A.Get("/t") + "\".");
            type = *t;
        }
        const std::string separator = A.Get("/s");
        if (A.Has("/s") && (type != REG_MULTI_SZ || separator.size() != 1))
            return SyntaxError("/s needs a single character and REG_MULTI_SZ data.");
        std::string reason;
        const auto data = EncodeRegData(type, A.Get("/d"), separator, reason);
        if (!data)
            return SyntaxError(reason);
        HKEY h = nullptr;
        LONG code = RegCreateKeyExA(key.Root, key.Path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_QUERY_VALUE | KEY_SET_VALUE | A.View, nullptr, &h, nullptr);
        if (code != ERROR_SUCCESS)
            return Failure(code);
        if (hasValue) {
            DWORD oldType = 0, oldSize = 0;
            if (!A.Has("/f") &&
                RegQueryValueExA(h, name.c_str(), nullptr, &oldType, nullptr, &oldSize) == ERROR_SUCCESS &&
                !Confirm("Value " + (name.empty() ? std::string(DefaultName) : name) +
                         " exists, overwrite(Yes/No)?")) {
                RegCloseKey(h);
                return Cancelled();
            }
            code = RegSetValueExA(h, name.c_str(), 0, type, data->data(), static_cast<DWORD>(data->size()));
        }
        RegCloseKey(h);
        return code == ERROR_SUCCESS ? Done() : Failure(code);
    }

    LONG DeleteKey(const TRegKeyName& key) {
        HKEY h = nullptr;
        LONG code = Open(key, KEY_ALL_ACCESS, h);
        if (code != ERROR_SUCCESS)
            return code;
        code = RegDeleteTreeA(h, nullptr);
        RegCloseKey(h);
        if (code != ERROR_SUCCESS)
            return code;
        return RegDeleteKeyExA(key.Root, key.Path.c_str(), A.View, 0);
    }

    int Delete(const TRegKeyName& key) {
        const bool force = A.Has("/f");
        if (!A.Has("/v") && !A.Has("/ve") && !A.Has("/va")) {
            if (key.Path.empty()) {
                Err << InvalidKey << "\n" << UsageHint();
                return 1;
            }
            HKEY h = nullptr;
            LONG code = Open(key, KEY_READ, h);
            if (code != ERROR_SUCCESS)
                return Failure(code);
            RegCloseKey(h);
            if (!force && !Confirm("Permanently delete the registry key " + key.Full() + " (Yes/No)?"))
                return Cancelled();
            code = DeleteKey(key);
            return code == ERROR_SUCCESS ? Done() : Failure(code);
        }
        HKEY h = nullptr;
        LONG code = Open(key, KEY_QUERY_VALUE | KEY_SET_VALUE, h);
        if (code != ERROR_SUCCESS)
            return Failure(code);
        if (A.Has("/va")) {
            std::vector<TRegFileValue> values;
            code = Values(h, values);
            if (code == ERROR_SUCCESS && !force &&
                !Confirm("Delete all values under the registry key " + key.Full() + " (Yes/No)?")) {
                RegCloseKey(h);
                return Cancelled();
            }
            for (std::size_t i = 0; code == ERROR_SUCCESS && i < values.size(); ++i)
                code = RegDeleteValueA(h, values[i].Name.c_str());
        } else {
            const std::string name = A.Get("/v");
            DWORD type = 0, size = 0;
            code = RegQueryValueExA(h, name.c_str(), nullptr, &type, nullptr, &size);
            if (code == ERROR_SUCCESS && !force &&
                !Confirm("Delete the registry value " + (name.empty() ? std::string(DefaultName) : name) +
                         " (Yes/No)?")) {
                RegCloseKey(h);
                return Cancelled();
            }
            if (code == ERROR_SUCCESS)
                code = RegDeleteValueA(h, name.c_str());
        }
        RegCloseKey(h);
        return code == ERROR_SUCCESS ? Done() : Failure(code);
    }

    int Export(const TRegKeyName& key) {
        const std::filesystem::path file(A.Positional[1]);
        HKEY h = nullptr;
        LONG code = Open(key, KEY_READ, h);
        if (code != ERROR_SUCCESS)
            return Failure(code);
        std::vector<TRegFileKey> keys;
        code = Walk(h, key.Full(), true, [&](HKEY k, const std::string& name) -> LONG {
            keys.push_back({name, {}});
            return Values(k, keys.back().Values);
        });
        RegCloseKey(h);
        if (code != ERROR_SUCCESS)
            return Failure(code);
        std::error_code ec;
        if (std::filesystem::exists(file, ec) && !A.Has("/y") &&
            !Confirm("File " + A.Positional[1] + " already exists. Overwrite (Yes/No)?"))
            return Cancelled();
        // Written beside the target and renamed over it, so a failed export leaves the old file whole.
        const std::filesystem::path temporary = file.string() + ".gorvane-reg-tmp";
        const std::string bytes = WriteRegFile(keys);
        {
            std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
            stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            stream.close();
            if (!stream) {
                std::filesystem::remove(temporary, ec);
                Err << FileError << "\n";
                return 1;
            }
        }
        std::filesystem::rename(temporary, file, ec);
        if (ec) {
            std::filesystem::remove(temporary, ec);
            Err << FileError << "\n";
            return 1;
        }
        return Done();
    }

    int Import() {
        std::ifstream stream(A.Positional[0], std::ios::binary);
        std::error_code ec;
        if (!stream || std::filesystem::is_directory(A.Positional[0], ec)) {
            Err << FileError << "\n";
            return 1;
        }
        const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        if (stream.bad()) {
            Err << FileError << "\n";
            return 1;
        }
        const TRegFileParse parse = ParseRegFile(bytes);
        if (!parse.IsRegFile) {
            Err << "ERROR: The specified file is not a registry script.\n";
            return 1;
        }
        if (!parse.Error.empty()) {
            Err << "ERROR: " << A.Positional[0] << ", line " << parse.ErrorLine << ": " << parse.Error
                << "\nNothing was imported.\n";
            return 1;
        }
        HKEY h = nullptr;
        LONG code = ERROR_SUCCESS;
        int line = 0;
        for (const TRegOp& op : parse.Ops) {
            line = op.Line;
            switch (op.Kind) {
            case TRegOpKind::CreateKey:
                if (h)
                    RegCloseKey(h);
                h = nullptr;
                code = RegCreateKeyExA(op.Key.Root, op.Key.Path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE | A.View, nullptr, &h, nullptr);
                break;
            case TRegOpKind::DeleteKey:
                code = op.Key.Path.empty() ? ERROR_ACCESS_DENIED : DeleteKey(op.Key);
                if (code == ERROR_FILE_NOT_FOUND)
                    code = ERROR_SUCCESS;
                break;
            case TRegOpKind::SetValue:
                code = RegSetValueExA(h, op.Value.Name.c_str(), 0, op.Value.Type, op.Value.Data.data(),
                                      static_cast<DWORD>(op.Value.Data.size()));
                break;
            case TRegOpKind::DeleteValue:
                code = RegDeleteValueA(h, op.Value.Name.c_str());
                if (code == ERROR_FILE_NOT_FOUND)
                    code = ERROR_SUCCESS;
                break;
            }
            if (code != ERROR_SUCCESS)
                break;
        }
        if (h)
            RegCloseKey(h);
        if (code != ERROR_SUCCESS) {
            Failure(code);
            Err << "Stopped at line " << line << " of " << A.Positional[0]
                << "; the lines before it were imported.\n";
            return 1;
        }
        return Done();
    }

    const TArgs& A;
    std::istream& In;
    std::ostream& Out;
    std::ostream& Err;
    bool Unanswered = false;
};

} // namespace

int RunRegTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    if (!args.empty() && IsHelp(args[0])) {
        out << GeneralUsage;
        return 0;
    }
    TArgs a;
    for (const TOperation& op : Operations)
        if (!args.empty() && EqualsNoCase(args[0], op.Name))
            a.Op = &op;
    if (!a.Op) {
        err << "ERROR: Invalid syntax.\nType \"gorvane-reg /?\" for usage.\n";
        return 1;
    }
    if (args.size() == 2 && IsHelp(args[1])) {
        out << a.Op->Usage;
        return 0;
    }
    if (!ParseArgs(args, a)) {
        err << "ERROR: Invalid syntax.\nType \"gorvane-reg " << a.Op->Name << " /?\" for usage.\n";
        return 1;
    }
    return TRegTool(a, in, out, err).Run();
}
