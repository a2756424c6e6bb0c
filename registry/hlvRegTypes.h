#pragma once
#include <cstdint>

// The program's kinds of registry value, in this order (their numbers are part of the design).
enum class TRegDataType : std::uint8_t {
    rdUnknown,
    rdNone,
    rdString,
    rdExpandString,
    rdBinary,
    rdInteger,
    rdLittleEndianInteger,
    rdBigEndianInteger,
    rdLink,
    rdMultiString,
    rdResourceList,
    rdFullResourceDescriptor,
    rdResourceRequirementsList,
    rdInt64,
    rdLittleEndianInt64,
    rdCardinal,
};

// "rdString" for TRegDataType::rdString; used by tools and messages.
const char* RegDataTypeName(TRegDataType kind);
