#pragma once

#include <cstdint>

// How code page 932 reads and writes each double-byte code, as ICU's windows-31j converter
// answered when the program was built (tools/Cp932Baker.cpp writes the definitions), so that
// starting reads none of the converter's data. Read-only, so any thread may read it.
namespace Cp932Pairs {

// The bytes that begin a double-byte code, and those that may end one.
constexpr bool isLeadByte(int b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool isTrailByte(int b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// Index (lead - 0x80) * 256 + trail: the one UTF-16 unit the code reads as; 0 for a code that
// reads as nothing, or as a character that is not written back as two bytes.
extern const char16_t kCharacter[128 * 256];

// A code that Windows writes in another form when its character is saved (the duplicate codes
// of the NEC and IBM rows), in the order of the codes.
struct OtherForm
{
    uint16_t pair; // lead << 8 | trail
    uint16_t windowsForm;
};
extern const OtherForm kOtherForms[];
extern const int kOtherFormCount;

} // namespace Cp932Pairs
