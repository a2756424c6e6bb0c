#include "tools/gorvane-catalogue/CatalogueTool.h"

#include "catalogue/hlvFilesList.h"
#include "catalogue/hlvMemIniFile.h"
#include "catalogue/hlvRegTweakList.h"
#include "matching/vxStringCompare.h"
#include "registry/hlvRegTools.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>
#include <sys/stat.h>

namespace {

const char Usage[] =
    "Usage: gorvane-catalogue COMMAND [ARGS]\n"
    "Reads the tweak files DIR/*.ini the way Gorvane's main window does.\n"
    "\n"
    "Commands:\n"
    "  dump DIR       print every tweak as one JSON object a line, in catalogue order\n"
    "  lint DIR       report what a catalogue author got wrong, with file and line;\n"
    "                 exit status 1 when there is an error\n"
    "  facets DIR     print the category, company and product pick lists as filled at start-up\n"
    "  select DIR (--search TERM | --category NAME | --company NAME | --product NAME)\n"
    "                 run that filter action as the main window does and print the TweakID\n"
    "                 of each tweak it shows, one a line, in visible-set order\n"
    "  match [--case-sensitive] [--default-method N]\n"
    "                 read lines TEXT<TAB>RULE from standard input and print for each\n"
    "                 true, false or error: MESSAGE (default method 0, substring)\n"
    "  --help         show this text\n"
    "\n"
    "A tweak file that cannot be read is named on standard error and skipped, as the main window\n"
    "does; the command still prints what it has and then exits with status 2.\n"
    "\n"
    "Exit status: 0 done, 1 lint found errors, 2 bad usage, missing folder, unreadable file or\n"
    "search error.\n";

int UsageError(std::ostream& Err, const std::string& Message) {
    Err << "gorvane-catalogue: " << Message << "\n"
        << "Try 'gorvane-catalogue --help'.\n";
    return 2;
}

bool IsFolder(const std::string& Dir) {
    struct stat st {};
    return ::stat(Dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The tweak files of Dir, in the order the main window reads them.
std::vector<std::string> TweakFiles(const std::string& Dir) {
    TFileSystemFileList files;
    files.SetRecursive(false);
    std::string folder = Dir;
    if (folder.back() != PathDelim)
        folder += PathDelim;
    files.SetMasks(folder + "*.ini");
    std::vector<std::string> names;
    for (int i = 0; i < files.Count(); ++i)
        names.push_back(files.Items(i)->FullName());
    return names;
}

// Loads the catalogue like the main window's start-up: a file that cannot be read is named on Err
// and skipped. False when a file was skipped.
bool LoadCatalogue(const std::string& Dir, TRegistryTweakList& List, std::ostream& Err) {
    bool complete = true;
    for (const std::string& name : TweakFiles(Dir)) {
        try {
            List.LoadFromFile(name, false);
        } catch (const EFOpenError& e) {
            Err << "gorvane-catalogue: " << e.what() << " (skipped)\n";
            complete = false;
        }
    }
    return complete;
}

std::size_t Utf8SequenceLength(const std::string& s, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len;
    std::uint32_t min;
    if (c >= 0xc2 && c <= 0xdf) {
        len = 2;
        min = 0x80;
    } else if (c >= 0xe0 && c <= 0xef) {
        len = 3;
        min = 0x800;
    } else if (c >= 0xf0 && c <= 0xf4) {
        len = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    std::uint32_t cp = c & (0x7f >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xc0) != 0x80)
            return 0;
        cp = (cp << 6) | (d & 0x3f);
    }
    if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
        return 0;
    return len;
}

void JsonEscapeByte(std::string& out, unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", c);
    out += buf;
}

std::string JsonList(const TStringList& l) {
    std::string out = "[";
    for (int i = 0; i < l.Count(); ++i) {
        if (i)
            out += ",";
        out += JsonString(l[i]);
    }
    return out + "]";
}

int Dump(const std::string& Dir, std::ostream& Out, std::ostream& Err) {
    TRegistryTweakList list;
    const bool complete = LoadCatalogue(Dir, list, Err);
    for (int i = 0; i < list.Count(); ++i) {
        const TRegistryTweak& t = *list.Items(i);
        Out << "{\"TweakID\":" << JsonString(t.TweakID) << ",\"Company\":" << JsonString(t.Company)
            << ",\"Product\":" << JsonString(t.Product) << ",\"Title\":" << JsonString(t.Title)
            << ",\"Description\":" << JsonString(t.Description)
            << ",\"TechRefUrl\":" << JsonString(t.TechRefUrl)
            << ",\"RegRootKey\":" << RootKeyNumber(t.RegRootKey)
            << ",\"RegKeyPath\":" << JsonString(t.RegKeyPath)
            << ",\"RegValueName\":" << JsonString(t.RegValueName) << ",\"RegDataType\":\""
            << RegDataTypeName(t.RegDataType)
            << "\",\"RegBooleanDecision\":" << (t.RegBooleanDecision ? "true" : "false")
            << ",\"OfferFilenamePicker\":" << (t.OfferFilenamePicker ? "true" : "false")
            << ",\"Categories\":" << JsonList(t.Categories) << ",\"Suggestions\":" << JsonList(t.Suggestions)
            << "}\n";
    }
    return complete ? 0 : 2;
}

template <class Table> std::string AllowedNames(const Table& table) {
    std::string names;
    for (const auto& entry : table) {
        if (!names.empty())
            names += ", ";
        names += entry.Name;
    }
    return names;
}

class TLinter {
public:
    explicit TLinter(std::ostream& Out) : FOut(Out) {}

    void File(const std::string& Name) {
        std::unique_ptr<TMemIniFile> ini;
        try {
            ini = std::make_unique<TMemIniFile>(Name);
        } catch (const EFOpenError& e) {
            Error(Name, 0, e.what());
            return;
        }
        if (ini->HadByteOrderMark())
            Error(Name, 1,
                  "the file begins with a UTF-8 byte-order mark; Gorvane skips it, but older "
                  "readers lose the first section: save the file without it");
        for (int line : ini->KeysOutsideSections())
            Error(Name, line, "key outside any section: it is never read");
        for (const TMemIniFile::TSection& section : ini->Sections())
            Section(Name, section);
    }

    int Errors() const { return FErrors; }

private:
    void Error(const std::string& File, int Line, const std::string& Message) {
        ++FErrors;
        FOut << File;
        if (Line > 0)
            FOut << ":" << Line;
        FOut << ": error: " << Message << "\n";
    }

    void Section(const std::string& File, const TMemIniFile::TSection& S) {
        const std::string id(S.Name);
        const std::string where = File + ":" + std::to_string(S.Line);
        auto [it, fresh] = FTweakIds.emplace(LocaleUpperCase(id), where);
        if (!fresh)
            Error(File, S.Line, "TweakID \"" + id + "\" is used twice (first at " + it->second + ")");

        auto key = [&](std::string_view Ident) { return TMemIniFile::FindKey(S, Ident); };
        for (const char* required : {"Title", "RegKeyPath"}) {
            const TMemIniFile::TKey* k = key(required);
            if (!k || k->Value.empty())
                Error(File, k ? k->Line : S.Line, std::string("[") + id + "] has no " + required);
        }
        if (const auto* k = key("RegRootKey"); k && !RootKeyFromString(k->Value))
            Error(File, k->Line,
                  "unknown root key \"" + std::string(k->Value) +
                      "\"; allowed: " + AllowedNames(RootKeyNames));
        const auto* type = key("RegDataType");
        if (type && RegDataTypeFromString(type->Value) == TRegDataType::rdUnknown)
            Error(File, type->Line,
                  "unknown data type \"" + std::string(type->Value) +
                      "\"; allowed: " + AllowedNames(RegDataTypeNames));
        for (const char* flag : {"RegBooleanDecision", "OfferFilenamePicker"}) {
            const auto* k = key(flag);
            if (k && !k->Value.empty() && !ParseTweakInteger(k->Value))
                Error(File, k->Line,
                      std::string(flag) + " \"" + std::string(k->Value) +
                          "\" is not a number: it reads as 0 (no)");
        }
        if (const auto* k = key("RegBooleanDecision"); k && ReadYesNo(k->Value)) {
            const TRegDataType kind = type ? RegDataTypeFromString(type->Value) : TRegDataType::rdNone;
            if (kind != TRegDataType::rdInteger)
                Error(File, k->Line, "RegBooleanDecision applies only to REG_DWORD values");
        }
        for (const char* list : {"Categories", "Suggestions"}) {
            const auto* k = key(list);
            if (!k)
                continue;
            TStringList items;
            bool unclosed = false;
            ReadCommaList(k->Value, items, &unclosed);
            if (unclosed)
                Error(File, k->Line, std::string(list) + " has a double quote that is never closed");
        }
    }

    std::ostream& FOut;
    int FErrors = 0;
    std::map<std::string, std::string> FTweakIds;
};

int Lint(const std::string& Dir, std::ostream& Out) {
    TLinter linter(Out);
    const std::vector<std::string> files = TweakFiles(Dir);
    for (const std::string& name : files)
        linter.File(name);
    Out << linter.Errors() << (linter.Errors() == 1 ? " error" : " errors") << " in " << files.size()
        << (files.size() == 1 ? " file" : " files") << "\n";
    return linter.Errors() ? 1 : 0;
}

// Start-up: load, then fill the three pick lists in the window's order. False when a file was skipped.
bool StartUp(const std::string& Dir, TRegistryTweakList& List, TStringList* Categories,
             TStringList* Companies, TStringList* Products, std::ostream& Err) {
    const bool complete = LoadCatalogue(Dir, List, Err);
    TStringList ignored;
    List.ListCategories(Categories ? *Categories : ignored);
    List.SortByCompany();
    List.ListCompanies(Companies ? *Companies : ignored);
    List.SortByProduct();
    List.ListProducts(Products ? *Products : ignored);
    return complete;
}

int Facets(const std::string& Dir, std::ostream& Out, std::ostream& Err) {
    TRegistryTweakList list;
    TStringList categories, companies, products;
    const bool complete = StartUp(Dir, list, &categories, &companies, &products, Err);
    for (const auto& [heading, items] :
         {std::pair{"[Categories]", &categories}, {"[Companies]", &companies}, {"[Products]", &products}}) {
        Out << heading << "\n";
        for (const std::string& s : *items)
            Out << s << "\n";
    }
    return complete ? 0 : 2;
}

int Select(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err) {
    if (Args.size() != 4)
        return UsageError(
            Err, "select needs DIR and one of --search, --category, --company, --product with its text");
    const std::string& dir = Args[1];
    const std::string& option = Args[2];
    const std::string& text = Args[3];
    if (option != "--search" && option != "--category" && option != "--company" && option != "--product")
        return UsageError(Err, "unknown filter '" + option + "'");
    if (!IsFolder(dir))
        return UsageError(Err, "no such folder: " + dir);
    TRegistryTweakList list;
    const bool complete = StartUp(dir, list, nullptr, nullptr, nullptr, Err);
    if (option == "--category") {
        list.FilterByCategory(text);
    } else if (option == "--company") {
        list.SortByTitle();
        list.SortByProduct();
        list.FilterByCompany(text);
    } else if (option == "--product") {
        list.SortByTitle();
        list.FilterByProduct(text);
    } else {
        list.SortByTitle();
        list.SortByProduct();
        list.SortByCompany();
        try {
            list.FilterBySearchTerm(text);
        } catch (const std::exception& e) {
            Err << "gorvane-catalogue: error: " << e.what() << "\n";
            return 2;
        }
    }
    for (int i = 0; i < list.VisibleCount(); ++i)
        Out << list.Visible(i)->TweakID << "\n";
    return complete ? 0 : 2;
}

int Match(const std::vector<std::string>& Args, std::istream& In, std::ostream& Out, std::ostream& Err) {
    bool ignoreCase = true;
    int method = scmSubString;
    for (std::size_t i = 1; i < Args.size(); ++i) {
        if (Args[i] == "--case-sensitive") {
            ignoreCase = false;
        } else if (Args[i] == "--default-method" && i + 1 < Args.size()) {
            const std::string& n = Args[++i];
            auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), method);
            if (ec != std::errc() || end != n.data() + n.size())
                return UsageError(Err, "--default-method needs a number, not '" + n + "'");
        } else {
            return UsageError(Err, "unknown option '" + Args[i] + "' for match");
        }
    }
    std::string line;
    while (std::getline(In, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            Out << "error: the line has no TAB between text and rule\n";
            continue;
        }
        try {
            const bool m = MatchesCompareRule(std::string_view(line).substr(0, tab),
                                              std::string_view(line).substr(tab + 1), ignoreCase,
                                              static_cast<TStringCompareMethod>(method));
            Out << (m ? "true" : "false") << "\n";
        } catch (const std::exception& e) {
            Out << "error: " << e.what() << "\n";
        }
    }
    return 0;
}

} // namespace

std::string JsonString(const std::string& Text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < Text.size();) {
        const unsigned char c = static_cast<unsigned char>(Text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            JsonEscapeByte(out, c);
        } else if (c >= 0x80) {
            if (std::size_t len = Utf8SequenceLength(Text, i)) {
                out.append(Text, i, len);
                i += len;
                continue;
            }
            JsonEscapeByte(out, c);
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

int RunCatalogueTool(const std::vector<std::string>& Args, std::istream& In, std::ostream& Out,
                     std::ostream& Err) {
    if (Args.empty())
        return UsageError(Err, "no command given");
    const std::string& command = Args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        Out << Usage;
        return 0;
    }
    if (command == "match")
        return Match(Args, In, Out, Err);
    if (command == "select")
        return Select(Args, Out, Err);
    if (command != "dump" && command != "lint" && command != "facets")
        return UsageError(Err, "unknown command '" + command + "'");
    if (Args.size() != 2)
        return UsageError(Err, command + " needs exactly one folder");
    if (!IsFolder(Args[1]))
        return UsageError(Err, "no such folder: " + Args[1]);
    if (command == "dump")
        return Dump(Args[1], Out, Err);
    if (command == "lint")
        return Lint(Args[1], Out);
    return Facets(Args[1], Out, Err);
}
