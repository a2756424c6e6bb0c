#include "about/hlvPEVersions.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using TBytes = std::vector<std::uint8_t>;

// Executables larger than this are not read in whole for their version block.
constexpr std::uint64_t MaxImageSize = std::uint64_t(1) << 30;
constexpr std::uint16_t RtVersion = 16;
constexpr int MaxBlockDepth = 8;

// Bounds-checked little-endian reads: every read says whether it fitted.
struct TReader {
    const TBytes& Data;
    bool U16(std::uint64_t Offset, std::uint16_t& Out) const {
        if (Offset > Data.size() || Data.size() - Offset < 2)
            return false;
        Out = std::uint16_t(Data[Offset] | (Data[Offset + 1] << 8));
        return true;
    }
    bool U32(std::uint64_t Offset, std::uint32_t& Out) const {
        if (Offset > Data.size() || Data.size() - Offset < 4)
            return false;
        Out = std::uint32_t(Data[Offset]) | (std::uint32_t(Data[Offset + 1]) << 8) |
              (std::uint32_t(Data[Offset + 2]) << 16) | (std::uint32_t(Data[Offset + 3]) << 24);
        return true;
    }
    bool U64(std::uint64_t Offset, std::uint64_t& Out) const {
        std::uint32_t Low = 0, High = 0;
        if (!U32(Offset, Low) || !U32(Offset + 4, High))
            return false;
        Out = (std::uint64_t(High) << 32) | Low;
        return true;
    }
    bool Fits(std::uint64_t Offset, std::uint64_t Size) const {
        return Offset <= Data.size() && Size <= Data.size() - Offset;
    }
};

std::uint64_t Align4(std::uint64_t Value) {
    return (Value + 3) & ~std::uint64_t(3);
}

// Parses the block at Offset, which must end by Limit. Offsets are relative to the block start,
// which is where the version functions align from.
bool ParseNode(const TReader& In, std::uint64_t Offset, std::uint64_t Limit, int Depth,
               TVersionInfo::TNode& Node, std::uint64_t& Length) {
    if (Depth > MaxBlockDepth)
        return false;
    std::uint16_t BlockLength = 0, ValueLength = 0, Type = 0;
    if (!In.U16(Offset, BlockLength) || !In.U16(Offset + 2, ValueLength) || !In.U16(Offset + 4, Type))
        return false;
    if (BlockLength < 6 || Offset + BlockLength > Limit)
        return false;
    const std::uint64_t End = Offset + BlockLength;
    std::uint64_t Pos = Offset + 6;
    for (;;) {
        std::uint16_t Char = 0;
        if (Pos + 2 > End || !In.U16(Pos, Char))
            return false;
        Pos += 2;
        if (Char == 0)
            break;
        Node.Key.push_back(char16_t(Char));
    }
    Pos = Align4(Pos);
    Node.Text = Type == 1;
    std::uint64_t ValueBytes = Node.Text ? std::uint64_t(ValueLength) * 2 : ValueLength;
    if (Pos > End) {
        ValueBytes = 0;
        Pos = End;
    }
    if (ValueBytes > End - Pos) {
        // Writers disagree on whether a text length counts bytes or characters; a text may be cut
        // at the block's end, a binary value may not.
        if (!Node.Text)
            return false;
        ValueBytes = End - Pos;
    }
    Node.Value.assign(In.Data.begin() + std::ptrdiff_t(Pos),
                      In.Data.begin() + std::ptrdiff_t(Pos + ValueBytes));
    Pos = Align4(Pos + ValueBytes);
    while (Pos + 6 <= End) {
        TVersionInfo::TNode Child;
        std::uint64_t ChildLength = 0;
        if (!ParseNode(In, Pos, End, Depth + 1, Child, ChildLength))
            return false;
        Node.Children.push_back(std::move(Child));
        Pos = Align4(Pos + ChildLength);
    }
    Length = BlockLength;
    return true;
}

void AppendUtf8(std::string& Out, std::uint32_t Code) {
    if (Code < 0x80) {
        Out += char(Code);
    } else if (Code < 0x800) {
        Out += char(0xC0 | (Code >> 6));
        Out += char(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
        Out += char(0xE0 | (Code >> 12));
        Out += char(0x80 | ((Code >> 6) & 0x3F));
        Out += char(0x80 | (Code & 0x3F));
    } else {
        Out += char(0xF0 | (Code >> 18));
        Out += char(0x80 | ((Code >> 12) & 0x3F));
        Out += char(0x80 | ((Code >> 6) & 0x3F));
        Out += char(0x80 | (Code & 0x3F));
    }
}

// UTF-16LE bytes up to the terminating zero, as UTF-8 (the system code page here).
std::string TextFromUtf16(const TBytes& Bytes) {
    std::string Out;
    const std::size_t Count = Bytes.size() / 2;
    for (std::size_t I = 0; I < Count; ++I) {
        std::uint32_t Unit = Bytes[2 * I] | (Bytes[2 * I + 1] << 8);
        if (Unit == 0)
            break;
        if (Unit >= 0xD800 && Unit < 0xDC00 && I + 1 < Count) {
            std::uint32_t Next = Bytes[2 * I + 2] | (Bytes[2 * I + 3] << 8);
            if (Next >= 0xDC00 && Next < 0xE000) {
                AppendUtf8(Out, 0x10000 + ((Unit - 0xD800) << 10) + (Next - 0xDC00));
                ++I;
                continue;
            }
        }
        if (Unit >= 0xD800 && Unit < 0xE000)
            Unit = 0xFFFD;
        AppendUtf8(Out, Unit);
    }
    return Out;
}

std::u16string Utf16FromUtf8(const std::string& Text) {
    std::u16string Out;
    for (std::size_t I = 0; I < Text.size();) {
        const auto Lead = static_cast<unsigned char>(Text[I]);
        std::uint32_t Code = 0xFFFD;
        std::size_t Extra = Lead < 0x80 ? 0 : Lead >= 0xF0 ? 3 : Lead >= 0xE0 ? 2 : Lead >= 0xC0 ? 1 : 0;
        if (Lead < 0x80) {
            Code = Lead;
        } else if (Extra && I + Extra < Text.size()) {
            Code = Lead & (0x3F >> Extra);
            for (std::size_t K = 1; K <= Extra; ++K)
                Code = (Code << 6) | (static_cast<unsigned char>(Text[I + K]) & 0x3F);
        } else {
            Extra = 0;
        }
        I += Extra + 1;
        if (Code >= 0x10000) {
            Code -= 0x10000;
            Out.push_back(char16_t(0xD800 + (Code >> 10)));
            Out.push_back(char16_t(0xDC00 + (Code & 0x3FF)));
        } else {
            Out.push_back(char16_t(Code));
        }
    }
    return Out;
}

bool SameKey(const std::u16string& Key, const std::string& Name) {
    if (Key.size() != Name.size())
        return false;
    for (std::size_t I = 0; I < Key.size(); ++I) {
        char16_t A = Key[I];
        char16_t B = static_cast<unsigned char>(Name[I]);
        if (A >= u'a' && A <= u'z')
            A = char16_t(A - 32);
        if (B >= u'a' && B <= u'z')
            B = char16_t(B - 32);
        if (A != B)
            return false;
    }
    return true;
}

std::optional<TBytes> ReadFile(const std::string& FileName) {
    std::ifstream File(FileName, std::ios::binary | std::ios::ate);
    if (!File)
        return std::nullopt;
    const std::streamoff Size = File.tellg();
    if (Size < 0 || std::uint64_t(Size) > MaxImageSize)
        return std::nullopt;
    TBytes Data(static_cast<std::size_t>(Size));
    File.seekg(0);
    if (Size > 0 && !File.read(reinterpret_cast<char*>(Data.data()), Size))
        return std::nullopt;
    return Data;
}

// Reads the version strings of one language and code page, or "" where there are none.
std::string QueryKey(const TVersionInfo& Info, std::uint32_t Translation, const std::string& Key) {
    std::string Value;
    const std::string Path = "\\StringFileInfo\\" + WordToHex(std::uint16_t(Translation & 0xFFFF)) +
                             WordToHex(std::uint16_t(Translation >> 16)) + "\\" + Key;
    if (!Info.QueryString(Path, Value))
        Value.clear();
    return Value;
}

} // namespace

std::string ByteToHex(std::uint8_t Value) {
    static const char Digits[] = "0123456789ABCDEF";
    return {Digits[Value >> 4], Digits[Value & 0x0F]};
}

std::string WordToHex(std::uint16_t Value) {
    return ByteToHex(std::uint8_t(Value >> 8)) + ByteToHex(std::uint8_t(Value & 0xFF));
}

std::optional<TVersionInfo> TVersionInfo::FromBlock(const std::vector<std::uint8_t>& Block) {
    TReader In{Block};
    TVersionInfo Info;
    std::uint64_t Length = 0;
    if (!ParseNode(In, 0, Block.size(), 0, Info.FRoot, Length))
        return std::nullopt;
    if (!SameKey(Info.FRoot.Key, "VS_VERSION_INFO"))
        return std::nullopt;
    return Info;
}

std::optional<TVersionInfo> TVersionInfo::FromFile(const std::string& FileName) {
    auto Block = ReadVersionBlock(FileName);
    if (!Block)
        return std::nullopt;
    return FromBlock(*Block);
}

const TVersionInfo::TNode* TVersionInfo::Find(const std::string& SubBlock) const {
    const TNode* Node = &FRoot;
    std::size_t Pos = 0;
    while (Pos < SubBlock.size()) {
        if (SubBlock[Pos] == '\\') {
            ++Pos;
            continue;
        }
        std::size_t Next = SubBlock.find('\\', Pos);
        if (Next == std::string::npos)
            Next = SubBlock.size();
        const std::string Part = SubBlock.substr(Pos, Next - Pos);
        const TNode* Found = nullptr;
        for (const TNode& Child : Node->Children)
            if (SameKey(Child.Key, Part)) {
                Found = &Child;
                break;
            }
        if (!Found)
            return nullptr;
        Node = Found;
        Pos = Next;
    }
    return Node;
}

std::vector<std::uint32_t> TVersionInfo::Translations() const {
    std::vector<std::uint32_t> Result;
    const TNode* Node = Find("\\VarFileInfo\\Translation");
    if (!Node)
        return Result;
    TReader In{Node->Value};
    for (std::size_t Offset = 0; Offset + 4 <= Node->Value.size(); Offset += 4) {
        std::uint32_t Entry = 0;
        In.U32(Offset, Entry);
        Result.push_back(Entry);
    }
    return Result;
}

bool TVersionInfo::QueryString(const std::string& SubBlock, std::string& Value) const {
    const TNode* Node = Find(SubBlock);
    if (!Node || Node == &FRoot || !Node->Children.empty())
        return false;
    Value = TextFromUtf16(Node->Value);
    return true;
}

std::optional<std::vector<std::uint8_t>> VersionBlockFromPE(const std::vector<std::uint8_t>& Image) {
    TReader In{Image};
    std::uint16_t Magic = 0;
    std::uint32_t PeOffset = 0, Signature = 0;
    if (!In.U16(0, Magic) || Magic != 0x5A4D || !In.U32(0x3C, PeOffset) || !In.U32(PeOffset, Signature) ||
        Signature != 0x00004550)
        return std::nullopt;
    const std::uint64_t Coff = std::uint64_t(PeOffset) + 4;
    std::uint16_t SectionCount = 0, OptionalSize = 0, OptionalMagic = 0;
    if (!In.U16(Coff + 2, SectionCount) || !In.U16(Coff + 16, OptionalSize))
        return std::nullopt;
    const std::uint64_t Optional = Coff + 20;
    if (!In.U16(Optional, OptionalMagic))
        return std::nullopt;
    std::uint64_t DirectoryCountAt = 0;
    if (OptionalMagic == 0x10B)
        DirectoryCountAt = Optional + 92;
    else if (OptionalMagic == 0x20B)
        DirectoryCountAt = Optional + 108;
    else
        return std::nullopt;
    std::uint32_t DirectoryCount = 0, ResourceRva = 0, ResourceSize = 0;
    if (!In.U32(DirectoryCountAt, DirectoryCount) || DirectoryCount < 3)
        return std::nullopt;
    const std::uint64_t ResourceEntry = DirectoryCountAt + 4 + 2 * 8;
    if (ResourceEntry + 8 > Optional + OptionalSize || !In.U32(ResourceEntry, ResourceRva) ||
        !In.U32(ResourceEntry + 4, ResourceSize) || ResourceRva == 0)
        return std::nullopt;

    // Maps a relative virtual address to a file offset through the section table.
    const std::uint64_t Sections = Optional + OptionalSize;
    auto RvaToOffset = [&](std::uint32_t Rva, std::uint64_t& Offset) {
        for (std::uint16_t I = 0; I < SectionCount; ++I) {
            const std::uint64_t Header = Sections + std::uint64_t(I) * 40;
            std::uint32_t VirtualSize = 0, VirtualAddress = 0, RawSize = 0, RawPointer = 0;
            if (!In.U32(Header + 8, VirtualSize) || !In.U32(Header + 12, VirtualAddress) ||
                !In.U32(Header + 16, RawSize) || !In.U32(Header + 20, RawPointer))
                return false;
            const std::uint32_t Span = std::max(VirtualSize, RawSize);
            if (Rva >= VirtualAddress && Rva - VirtualAddress < Span) {
                if (Rva - VirtualAddress >= RawSize)
                    return false;
                Offset = std::uint64_t(RawPointer) + (Rva - VirtualAddress);
                return true;
            }
        }
        return false;
    };
    std::uint64_t Root = 0;
    if (!RvaToOffset(ResourceRva, Root))
        return std::nullopt;

    // Resource directory: type, then name, then language; the first entry of the version type
    // at each lower level, as the version functions take it.
    auto FindEntry = [&](std::uint64_t Directory, bool ById, std::uint32_t Id, std::uint32_t& Target) {
        std::uint16_t Named = 0, Ids = 0;
        if (!In.U16(Directory + 12, Named) || !In.U16(Directory + 14, Ids))
            return false;
        const std::uint32_t Count = std::uint32_t(Named) + Ids;
        for (std::uint32_t I = 0; I < Count; ++I) {
            std::uint32_t Name = 0, Offset = 0;
            const std::uint64_t Entry = Directory + 16 + std::uint64_t(I) * 8;
            if (!In.U32(Entry, Name) || !In.U32(Entry + 4, Offset))
                return false;
            if (!ById || (!(Name & 0x80000000u) && Name == Id)) {
                Target = Offset;
                return true;
            }
        }
        return false;
    };
    std::uint32_t Target = 0;
    std::uint64_t Directory = Root;
    for (int Level = 0; Level < 3; ++Level) {
        if (!FindEntry(Directory, Level == 0, RtVersion, Target))
            return std::nullopt;
        const bool IsDirectory = (Target & 0x80000000u) != 0;
        if (IsDirectory != (Level < 2))
            return std::nullopt;
        Directory = Root + (Target & 0x7FFFFFFFu);
        if (Directory >= Root + ResourceSize)
            return std::nullopt;
    }
    std::uint32_t DataRva = 0, DataSize = 0;
    std::uint64_t DataOffset = 0;
    if (!In.U32(Directory, DataRva) || !In.U32(Directory + 4, DataSize) ||
        !RvaToOffset(DataRva, DataOffset) || !In.Fits(DataOffset, DataSize))
        return std::nullopt;
    return TBytes(Image.begin() + std::ptrdiff_t(DataOffset),
                  Image.begin() + std::ptrdiff_t(DataOffset + DataSize));
}

std::optional<std::vector<std::uint8_t>> SectionFromELF(const std::vector<std::uint8_t>& Image,
                                                        const std::string& SectionName) {
    if (Image.size() < 16 || std::memcmp(Image.data(),
                                         "\x7f"
                                         "ELF",
                                         4) != 0)
        return std::nullopt;
    const bool Is64 = Image[4] == 2;
    if ((Image[4] != 1 && !Is64) || Image[5] != 1) // little-endian only
        return std::nullopt;
    TReader In{Image};
    std::uint64_t SectionTable = 0;
    std::uint16_t EntrySize = 0, Count = 0, NamesIndex = 0;
    if (Is64) {
        if (!In.U64(0x28, SectionTable) || !In.U16(0x3A, EntrySize) || !In.U16(0x3C, Count) ||
            !In.U16(0x3E, NamesIndex))
            return std::nullopt;
    } else {
        std::uint32_t Table32 = 0;
        if (!In.U32(0x20, Table32) || !In.U16(0x2E, EntrySize) || !In.U16(0x30, Count) ||
            !In.U16(0x32, NamesIndex))
            return std::nullopt;
        SectionTable = Table32;
    }
    if (EntrySize < (Is64 ? 64u : 40u) || NamesIndex >= Count)
        return std::nullopt;
    auto Section = [&](std::uint16_t Index, std::uint32_t& Name, std::uint64_t& Offset, std::uint64_t& Size) {
        const std::uint64_t Header = SectionTable + std::uint64_t(Index) * EntrySize;
        if (!In.Fits(Header, EntrySize) || !In.U32(Header, Name))
            return false;
        if (Is64)
            return In.U64(Header + 0x18, Offset) && In.U64(Header + 0x20, Size);
        std::uint32_t Offset32 = 0, Size32 = 0;
        if (!In.U32(Header + 0x10, Offset32) || !In.U32(Header + 0x14, Size32))
            return false;
        Offset = Offset32;
        Size = Size32;
        return true;
    };
    std::uint32_t Unused = 0;
    std::uint64_t NamesOffset = 0, NamesSize = 0;
    if (!Section(NamesIndex, Unused, NamesOffset, NamesSize) || !In.Fits(NamesOffset, NamesSize))
        return std::nullopt;
    for (std::uint16_t I = 0; I < Count; ++I) {
        std::uint32_t Name = 0;
        std::uint64_t Offset = 0, Size = 0;
        if (!Section(I, Name, Offset, Size))
            return std::nullopt;
        if (Name >= NamesSize || NamesSize - Name < SectionName.size() + 1)
            continue;
        const char* Text = reinterpret_cast<const char*>(Image.data() + NamesOffset + Name);
        if (std::memcmp(Text, SectionName.c_str(), SectionName.size() + 1) != 0)
            continue;
        if (!In.Fits(Offset, Size))
            return std::nullopt;
        return TBytes(Image.begin() + std::ptrdiff_t(Offset), Image.begin() + std::ptrdiff_t(Offset + Size));
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ReadVersionBlock(const std::string& FileName) {
    auto Image = ReadFile(FileName);
    if (!Image)
        return std::nullopt;
    if (auto Block = VersionBlockFromPE(*Image))
        return Block;
    return SectionFromELF(*Image, SVersionSectionName);
}

int GetVersionTranslationCount(const std::string& FileName) {
    auto Info = TVersionInfo::FromFile(FileName);
    return Info ? int(Info->Translations().size()) : 0;
}

bool ReadVersionStrings(const std::string& FileName, int Index, std::vector<std::string>& Lines) {
    static const char* const AlwaysKeys[] = {"FileVersion",      "CompanyName",    "InternalName",
                                             "Comments",         "LegalCopyright", "LegalTrademarks",
                                             "OriginalFilename", "ProductName",    "ProductVersion",
                                             "FileDescription",  "PrivateBuild",   "SpecialBuild"};
    static const char* const OptionalKeys[] = {"Translators", "Build", "Instruction"};
    try {
        auto Info = TVersionInfo::FromFile(FileName);
        if (!Info)
            return false;
        const auto Translations = Info->Translations();
        if (Index < 0 || std::size_t(Index) >= Translations.size())
            return false;
        const std::uint32_t Translation = Translations[std::size_t(Index)];
        for (const char* Key : AlwaysKeys)
            Lines.push_back(std::string(Key) + "=" + QueryKey(*Info, Translation, Key));
        for (const char* Key : OptionalKeys) {
            std::string Line = std::string(Key) + "=" + QueryKey(*Info, Translation, Key);
            if (Line.back() != '=')
                Lines.push_back(std::move(Line));
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool TryGetLegalCopyright(const std::string& FileName, std::string& Copyright) {
    try {
        auto Info = TVersionInfo::FromFile(FileName);
        if (!Info)
            return false;
        for (std::uint32_t Translation : Info->Translations()) {
            std::string Value = QueryKey(*Info, Translation, "LegalCopyright");
            if (!Value.empty()) {
                Copyright = std::move(Value);
                return true;
            }
        }
        return false;
    } catch (...) {
        return false;
    }
}

std::string GetLegalCopyright(const std::string& FileName) {
    std::string Copyright;
    if (!TryGetLegalCopyright(FileName, Copyright))
        Copyright.clear();
    return Copyright;
}

std::string ValueFromLines(const std::vector<std::string>& Lines, const std::string& Key) {
    for (const std::string& Line : Lines)
        if (Line.size() > Key.size() && Line[Key.size()] == '=' && Line.compare(0, Key.size(), Key) == 0)
            return Line.substr(Key.size() + 1);
    return {};
}

namespace {

void PutU16(TBytes& Out, std::uint16_t Value) {
    Out.push_back(std::uint8_t(Value & 0xFF));
    Out.push_back(std::uint8_t(Value >> 8));
}

void PutU32(TBytes& Out, std::uint32_t Value) {
    PutU16(Out, std::uint16_t(Value & 0xFFFF));
    PutU16(Out, std::uint16_t(Value >> 16));
}

void Pad4(TBytes& Out) {
    while (Out.size() % 4)
        Out.push_back(0);
}

// Writes one block; Body fills its children. Lengths are patched once known.
template <typename TBody>
void PutBlock(TBytes& Out, const std::u16string& Key, bool Text, const TBytes& Value,
              std::uint16_t ValueLength, TBody Body) {
    Pad4(Out);
    const std::size_t Start = Out.size();
    PutU16(Out, 0);
    PutU16(Out, ValueLength);
    PutU16(Out, Text ? 1 : 0);
    for (char16_t C : Key)
        PutU16(Out, std::uint16_t(C));
    PutU16(Out, 0);
    Pad4(Out);
    Out.insert(Out.end(), Value.begin(), Value.end());
    Body();
    const std::size_t Length = Out.size() - Start;
    Out[Start] = std::uint8_t(Length & 0xFF);
    Out[Start + 1] = std::uint8_t(Length >> 8);
}

} // namespace

std::vector<std::uint8_t> BuildVersionBlock(const TVersionBlockData& Data) {
    TBytes Fixed;
    PutU32(Fixed, 0xFEEF04BD);
    PutU32(Fixed, 0x00010000);
    PutU32(Fixed, (std::uint32_t(Data.FileVersion[0]) << 16) | Data.FileVersion[1]);
    PutU32(Fixed, (std::uint32_t(Data.FileVersion[2]) << 16) | Data.FileVersion[3]);
    PutU32(Fixed, (std::uint32_t(Data.ProductVersion[0]) << 16) | Data.ProductVersion[1]);
    PutU32(Fixed, (std::uint32_t(Data.ProductVersion[2]) << 16) | Data.ProductVersion[3]);
    PutU32(Fixed, 0x3F);    // file flags mask
    PutU32(Fixed, 0);       // file flags
    PutU32(Fixed, 0x40004); // VOS_NT_WINDOWS32
    PutU32(Fixed, 1);       // VFT_APP
    PutU32(Fixed, 0);
    PutU32(Fixed, 0);
    PutU32(Fixed, 0);

    TBytes Out;
    PutBlock(Out, u"VS_VERSION_INFO", false, Fixed, std::uint16_t(Fixed.size()), [&] {
        PutBlock(Out, u"StringFileInfo", true, {}, 0, [&] {
            for (const auto& Table : Data.Tables) {
                const std::string Name = WordToHex(Table.Language) + WordToHex(Table.CodePage);
                PutBlock(Out, Utf16FromUtf8(Name), true, {}, 0, [&] {
                    for (const auto& [Key, Value] : Table.Strings) {
                        TBytes Text;
                        const std::u16string Wide = Utf16FromUtf8(Value);
                        for (char16_t C : Wide)
                            PutU16(Text, std::uint16_t(C));
                        PutU16(Text, 0);
                        PutBlock(Out, Utf16FromUtf8(Key), true, Text, std::uint16_t(Wide.size() + 1), [] {});
                    }
                });
            }
        });
        PutBlock(Out, u"VarFileInfo", true, {}, 0, [&] {
            TBytes Translation;
            for (const auto& Table : Data.Tables)
                PutU32(Translation, (std::uint32_t(Table.CodePage) << 16) | Table.Language);
            PutBlock(Out, u"Translation", false, Translation, std::uint16_t(Translation.size()), [] {});
        });
    });
    return Out;
}
