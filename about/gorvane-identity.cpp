// Build tool for the program's identity: writes the version block from a description file, and
// stamps or checks an executable's checksum.

#include "about/hlvChecksum.h"
#include "about/hlvPEVersions.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

void Usage(std::ostream& Out) {
    Out << "Usage: gorvane-identity version-block DESCRIPTION OUTPUT\n"
           "       gorvane-identity stamp EXECUTABLE\n"
           "       gorvane-identity check EXECUTABLE\n\n"
           "version-block  writes a VS_VERSIONINFO block. DESCRIPTION holds key=value lines;\n"
           "               @file-version=1.0.0.1 and @product-version=1.0.0.1 fill the fixed\n"
           "               part, @translation=040904E4 starts a string table (language and code\n"
           "               page in hexadecimal), every other line is a string of that table.\n"
           "stamp          writes the checksum into the executable's checksum block.\n"
           "check          tells whether the executable's checksum matches (exit 0) or not.\n";
}

bool ParseVersion(const std::string& Text, std::uint16_t (&Parts)[4]) {
    std::istringstream In(Text);
    for (int I = 0; I < 4; ++I) {
        unsigned long Value = 0;
        if (!(In >> Value) || Value > 0xFFFF)
            return false;
        Parts[I] = std::uint16_t(Value);
        if (I < 3 && In.get() != '.')
            return false;
    }
    return true;
}

int WriteVersionBlock(const std::string& Description, const std::string& Output) {
    std::ifstream In(Description);
    if (!In) {
        std::cerr << "gorvane-identity: cannot read " << Description << "\n";
        return 1;
    }
    TVersionBlockData Data;
    std::string Line;
    int LineNumber = 0;
    while (std::getline(In, Line)) {
        ++LineNumber;
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        if (Line.empty())
            continue;
        const auto Equals = Line.find('=');
        if (Equals == std::string::npos || Equals == 0) {
            std::cerr << Description << ":" << LineNumber << ": expected key=value\n";
            return 1;
        }
        const std::string Key = Line.substr(0, Equals), Value = Line.substr(Equals + 1);
        bool Good = true;
        if (Key == "@file-version") {
            Good = ParseVersion(Value, Data.FileVersion);
        } else if (Key == "@product-version") {
            Good = ParseVersion(Value, Data.ProductVersion);
        } else if (Key == "@translation") {
            Good =
                Value.size() == 8 && Value.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
            if (Good) {
                const unsigned long Both = std::stoul(Value, nullptr, 16);
                Data.Tables.push_back({std::uint16_t(Both >> 16), std::uint16_t(Both & 0xFFFF), {}});
            }
        } else if (Data.Tables.empty()) {
            Good = false;
        } else {
            // "\n" in a value stands for a line break (a translator list has several lines).
            std::string Text;
            for (std::size_t I = 0; I < Value.size(); ++I) {
                if (Value[I] == '\\' && I + 1 < Value.size() && Value[I + 1] == 'n') {
                    Text += "\r\n";
                    ++I;
                } else {
                    Text += Value[I];
                }
            }
            Data.Tables.back().Strings.emplace_back(Key, Text);
        }
        if (!Good) {
            std::cerr << Description << ":" << LineNumber << ": bad line: " << Line << "\n";
            return 1;
        }
    }
    const auto Block = BuildVersionBlock(Data);
    std::ofstream Out(Output, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Block.data()), std::streamsize(Block.size()));
    if (!Out) {
        std::cerr << "gorvane-identity: cannot write " << Output << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage(std::cout);
        return 0;
    }
    const std::string Command = argc >= 2 ? argv[1] : "";
    if (Command == "version-block" && argc == 4)
        return WriteVersionBlock(argv[2], argv[3]);
    if (Command == "stamp" && argc == 3) {
        std::string Error;
        if (!StampExecutableChecksum(argv[2], Error)) {
            std::cerr << "gorvane-identity: " << Error << "\n";
            return 1;
        }
        return 0;
    }
    if (Command == "check" && argc == 3) {
        switch (CheckExecutableChecksum(argv[2])) {
        case TChecksumResult::Ok:
            std::cout << "checksum matches\n";
            return 0;
        case TChecksumResult::Corrupt:
            std::cout << "checksum does not match: the file is corrupt\n";
            return 1;
        case TChecksumResult::Unstamped:
            std::cout << "no checksum written yet\n";
            return 1;
        case TChecksumResult::NoStamp:
            std::cout << "the file has no checksum block\n";
            return 1;
        case TChecksumResult::Unreadable:
            std::cout << "cannot read the file\n";
            return 1;
        }
    }
    Usage(std::cerr);
    return 2;
}
