// Asks ICU at build time how code page 932 reads and writes every double-byte code, so that the
// program's start reads none of ICU's converter data, which a cold start fetches from the disk
// page by page:
//   orlune_cp932baker OUTPUT.cpp   writes the definitions declared in storage/Cp932Pairs.h
// What the program makes of these answers (which characters a pane keeps, the forms written
// after an escaped byte) stays in storage/Cp932.cpp.
#include "storage/Cp932Pairs.h"

#include <unicode/uclean.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <utility>
#include <vector>

namespace {

struct Answers
{
    std::vector<char16_t> character = std::vector<char16_t>(128 * 256);
    // (pair, the form Windows writes) where the two differ: the duplicate codes.
    std::vector<std::pair<uint16_t, uint16_t>> otherForms;
};

// One code's answer: the one UTF-16 unit it reads as and the bytes that unit is written as;
// false for a code with no real mapping either way.
bool ask(UConverter *cnv, int lead, int trail, char16_t &c, uint16_t &form)
{
    const char in[2] = {char(lead), char(trail)};
    UChar out[4];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetToUnicode(cnv);
    if (ucnv_toUChars(cnv, out, 4, in, 2, &status) != 1 || U_FAILURE(status))
        return false;
    char back[4];
    status = U_ZERO_ERROR;
    ucnv_resetFromUnicode(cnv);
    if (ucnv_fromUChars(cnv, back, 4, out, 1, &status) != 2 || U_FAILURE(status))
        return false;
    c = out[0];
    form = uint16_t(uint8_t(back[0]) << 8 | uint8_t(back[1]));
    return true;
}

bool askIcu(Answers &answers)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, decltype(&ucnv_close)> cnv(
        ucnv_open("windows-31j", &status), &ucnv_close);
    if (U_FAILURE(status)) {
        std::fprintf(
            stderr, "orlune_cp932baker: no code page 932 converter: %s\n", u_errorName(status));
        return false;
    }
    // No best-fit and no substitution: a character without a real mapping stays unmapped.
    ucnv_setFallback(cnv.get(), false);
    ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            char16_t c = 0;
            uint16_t form = 0;
            if (!Cp932Pairs::isLeadByte(lead) || !Cp932Pairs::isTrailByte(trail)
                || !ask(cnv.get(), lead, trail, c, form))
                continue;
            answers.character[(lead - 0x80) * 256 + trail] = c;
            const auto pair = uint16_t(lead << 8 | trail);
            if (form != pair)
                answers.otherForms.emplace_back(pair, form);
        }
    }
    return true;
}

bool write(const Answers &answers, const char *path)
{
    std::ofstream out(path);
    out << "// Written by orlune_cp932baker from ICU's windows-31j converter; not to be edited.\n"
           "#include \"storage/Cp932Pairs.h\"\n\n"
           "namespace Cp932Pairs {\n\n"
           "const char16_t kCharacter[128 * 256] = {\n";
    char cell[16];
    for (size_t i = 0; i < answers.character.size(); ++i) {
        std::snprintf(
            cell, sizeof cell, "%s0x%04X,", i % 16 ? " " : "    ", unsigned(answers.character[i]));
        out << cell << (i % 16 == 15 ? "\n" : "");
    }
    out << "};\n\nconst OtherForm kOtherForms[] = {\n";
    for (const auto &[pair, form] : answers.otherForms) {
        std::snprintf(cell, sizeof cell, "0x%04X", unsigned(pair));
        out << "    {" << cell;
        std::snprintf(cell, sizeof cell, "0x%04X", unsigned(form));
        out << ", " << cell << "},\n";
    }
    out << "};\n\nconst int kOtherFormCount = " << answers.otherForms.size()
        << ";\n\n} // namespace Cp932Pairs\n";
    out.close();
    return bool(out);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: orlune_cp932baker OUTPUT.cpp\n");
        return 2;
    }
    Answers answers;
    const bool asked = askIcu(answers);
    // ICU's caches go, so a sanitized build of this tool ends without reporting them.
    u_cleanup();
    if (!asked)
        return 1;
    if (!write(answers, argv[1])) {
        std::fprintf(stderr, "orlune_cp932baker: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
