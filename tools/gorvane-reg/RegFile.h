#pragma once
// The registry editor's text format: reading a file into a list of operations, and writing keys
// with their values as "Windows Registry Editor Version 5.00" text in UTF-16 LE with a BOM.
#include "tools/gorvane-reg/RegValueText.h"

#include <string>
#include <string_view>
#include <vector>

struct TRegFileValue {
    std::string Name; // empty: the default value
    DWORD Type = REG_NONE;
    TBytes Data; // as the 8-bit registry functions see it
};

struct TRegFileKey {
    std::string Name; // full name, "HKEY_CURRENT_USER\Software\X"
    std::vector<TRegFileValue> Values;
};

enum class TRegOpKind { CreateKey, DeleteKey, SetValue, DeleteValue };

struct TRegOp {
    TRegOpKind Kind = TRegOpKind::CreateKey;
    TRegKeyName Key;
    TRegFileValue Value; // SetValue: all of it; DeleteValue: the name
    int Line = 0;
};

struct TRegFileParse {
    bool IsRegFile = false; // false: the header is neither version 5.00 nor REGEDIT4
    std::string Error;      // empty when every line was understood
    int ErrorLine = 0;
    std::vector<TRegOp> Ops;
};

// Reads UTF-16 LE (with BOM), UTF-8 or 8-bit text. In a version 5.00 file the hex(1), hex(2) and
// hex(7) forms hold UTF-16 LE text; in a REGEDIT4 file they hold the 8-bit bytes themselves.
TRegFileParse ParseRegFile(std::string_view bytes);

// The whole file, BOM included, lines ending in CR LF.
std::string WriteRegFile(const std::vector<TRegFileKey>& keys);
