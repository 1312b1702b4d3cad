#include "Cp932.h"

#include "storage/Cp932Pairs.h"
#include "storage/Exception.h"
#include "storage/StorageMessages.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

// Escapes (kEscapeBase + byte) lie in supplementary private use, out of reach of any
// keyboard or input method and clear of the user-defined area at U+E000. In UTF-16 every
// escape is this high surrogate followed by 0xDC00 + byte.
constexpr char16_t kEscapeHigh = 0xDBFF;
constexpr char16_t kEscapeLowBase = 0xDC00;

using Cp932Pairs::isLeadByte;
using Cp932Pairs::isTrailByte;

// Characters a text pane would drop or turn into something else.
bool paneAltersCharacter(char16_t c)
{
    return c == 0x0000 || c == 0x00A0 || c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1
        || c == 0xFFFC || c == 0xFFFD || (c >= 0xD800 && c <= 0xDFFF);
}

struct Tables
{
    std::array<char16_t, 256> single {}; // 0: not a character by itself
    std::array<char16_t, 128 * 256> pair {}; // index (lead - 0x80) * 256 + trail; 0: undefined
    std::array<uint16_t, 65536> bytes {}; // one byte, or lead << 8 | trail
    std::array<uint8_t, 65536> length {}; // 0: no code page 932 form
    // Every form of a character that has several (the duplicate codes), lead << 8 | trail.
    std::unordered_map<char16_t, std::vector<uint16_t>> forms;

    Tables()
    {
        // Windows maps ASCII as itself; ICU's table swaps 1A, 1C and 7F, so these are set by rule.
        for (int b = 0x01; b < 0x80; ++b)
            setSingle(uint8_t(b), char16_t(b));
        for (int b = 0xA1; b <= 0xDF; ++b)
            setSingle(uint8_t(b), char16_t(0xFF61 + b - 0xA1));
        fillPairs();
    }

    void setSingle(uint8_t b, char16_t c)
    {
        single[b] = c;
        bytes[c] = b;
        length[c] = 1;
    }

    // Every double-byte code in order, so a duplicate's forms list Windows' own form first.
    void fillPairs()
    {
        const Cp932Pairs::OtherForm *other = Cp932Pairs::kOtherForms;
        const Cp932Pairs::OtherForm *const otherEnd = other + Cp932Pairs::kOtherFormCount;
        for (int index = 0; index < 128 * 256; ++index) {
            const char16_t c = Cp932Pairs::kCharacter[index];
            if (c == 0 || paneAltersCharacter(c))
                continue;
            const auto code = uint16_t((0x80 + index / 256) << 8 | index % 256);
            while (other != otherEnd && other->pair < code)
                ++other;
            const bool duplicate = other != otherEnd && other->pair == code;
            // The form Windows writes for the character; for a duplicate code it differs.
            const uint16_t windowsForm = duplicate ? other->windowsForm : code;
            pair[index] = c;
            bytes[c] = windowsForm;
            length[c] = 2;
            if (duplicate) {
                std::vector<uint16_t> &f = forms[c];
                if (f.empty())
                    f.push_back(windowsForm);
                f.push_back(code);
            }
        }
    }

    bool isPair(uint8_t lead, uint8_t trail) const
    {
        return isLeadByte(lead) && isTrailByte(trail) && pair[(lead - 0x80) * 256 + trail] != 0;
    }

    // The form of c to write after the escaped byte before: one that does not join it into a
    // double-byte character on reading. A text read from a file always has one, since it was
    // read that way; otherwise Windows' own form.
    uint16_t formAfter(uint8_t before, char16_t c) const
    {
        if (!isPair(before, uint8_t(bytes[c] >> 8)))
            return bytes[c];
        const auto it = forms.find(c);
        if (it != forms.end()) {
            for (uint16_t form : it->second) {
                if (!isPair(before, uint8_t(form >> 8)))
                    return form;
            }
        }
        return bytes[c];
    }
};

const Tables &tables()
{
    static const std::unique_ptr<const Tables> t = std::make_unique<const Tables>();
    return *t;
}

bool isEscapeLow(char16_t c)
{
    return c >= kEscapeLowBase && c <= kEscapeLowBase + 0xFF;
}

[[noreturn]] void throwUnencodable()
{
    throw Exception(StorageMessages::writeError());
}

// Branch-free so the compiler vectorises it: the autosave asks on every keystroke.
// Exact for every encodable text: ASCII and half-width katakana take one byte, an escape's two
// units one byte, every other character two.
template<bool lineBreakAsCrLf> qsizetype lengthOf(QStringView text)
{
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    qsizetype total = 0;
    // Blocks with a 16-bit sum (at most 3 a unit) keep the vector lanes narrow.
    constexpr qsizetype kBlock = 16 * 1024;
    for (qsizetype start = 0; start < n; start += kBlock) {
        const qsizetype end = std::min(n, start + kBlock);
        uint16_t sum = 0;
        for (qsizetype i = start; i < end; ++i) {
            const char16_t c = p[i];
            const uint16_t single = c < 0x80 || char16_t(c - 0xFF61) <= 0xFF9F - 0xFF61;
            const uint16_t lowSurrogate = char16_t(c - 0xDC00) < 0x400;
            const uint16_t escapeHigh = c == kEscapeHigh;
            sum += uint16_t(
                2 - single - 2 * lowSurrogate - escapeHigh + (lineBreakAsCrLf && c == u'\n'));
        }
        total += sum;
    }
    return total;
}

} // namespace

namespace Cp932 {

void prepare()
{
    tables();
}

QString decode(QByteArrayView bytes)
{
    const Tables &t = tables();
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.data());
    const qsizetype n = bytes.size();
    // One unit a byte at most, but an escape takes two: grow in the rare case they run out.
    QString out(n + n / 16 + 2, Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    char16_t *begin = d;
    for (qsizetype i = 0; i < n; ++i) {
        if (out.size() - (d - begin) < 2) {
            const qsizetype used = d - begin;
            out.resize(out.size() * 2);
            begin = reinterpret_cast<char16_t *>(out.data());
            d = begin + used;
        }
        const uint8_t b = p[i];
        if (isLeadByte(b) && i + 1 < n && isTrailByte(p[i + 1])) {
            if (const char16_t c = t.pair[(b - 0x80) * 256 + p[i + 1]]) {
                *d++ = c;
                ++i;
                continue;
            }
        }
        // An undefined pair escapes its lead byte alone; the next byte is read afresh.
        if (const char16_t c = t.single[b]) {
            *d++ = c;
        } else {
            *d++ = kEscapeHigh;
            *d++ = char16_t(kEscapeLowBase + b);
        }
    }
    out.truncate(d - begin);
    return out;
}

QByteArray encode(QStringView text)
{
    const Tables &t = tables();
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    QByteArray out(2 * n, Qt::Uninitialized);
    char *d = out.data();
    char *const begin = d;
    bool afterEscape = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i];
        switch (t.length[c]) {
        case 1:
            *d++ = char(t.bytes[c]);
            break;
        case 2: {
            // Windows' form of a duplicate code may begin with a byte that an escaped lead byte
            // before it would take as its trail, changing the text on the next reading.
            const uint16_t form = afterEscape ? t.formAfter(uint8_t(d[-1]), c) : t.bytes[c];
            *d++ = char(form >> 8);
            *d++ = char(form & 0xFF);
            break;
        }
        default:
            if (c != kEscapeHigh || i + 1 >= n || !isEscapeLow(p[i + 1]))
                throwUnencodable();
            *d++ = char(p[++i] - kEscapeLowBase);
            afterEscape = true;
            continue;
        }
        afterEscape = false;
    }
    out.truncate(d - begin);
    return out;
}

QString withoutJoiningEscapes(QStringView text)
{
    if (!text.contains(QChar(kEscapeHigh)))
        return text.toString();
    const Tables &t = tables();
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    QString out;
    out.reserve(n);
    // The first byte that unit i (and its escape partner) would be written with after the
    // escaped byte before; -1 when it has no form (encode refuses it anyway).
    const auto firstByteAfter = [&](qsizetype i, uint8_t before) -> int {
        const char16_t c = p[i];
        if (t.length[c] == 1)
            return t.bytes[c];
        if (t.length[c] == 2)
            return t.formAfter(before, c) >> 8;
        if (c == kEscapeHigh && i + 1 < n && isEscapeLow(p[i + 1]))
            return p[i + 1] - kEscapeLowBase;
        return -1;
    };
    for (qsizetype i = 0; i < n; ++i) {
        // Dropping an escape may bring an earlier one next to this unit: checked again.
        for (;;) {
            const qsizetype size = out.size();
            if (size < 2 || out.at(size - 2).unicode() != kEscapeHigh
                || !isEscapeLow(out.at(size - 1).unicode()))
                break;
            const auto before = uint8_t(out.at(size - 1).unicode() - kEscapeLowBase);
            const int first = firstByteAfter(i, before);
            if (first < 0 || !t.isPair(before, uint8_t(first)))
                break;
            out.chop(2);
        }
        out.append(QChar(p[i]));
        if (p[i] == kEscapeHigh && i + 1 < n && isEscapeLow(p[i + 1]))
            out.append(QChar(p[++i]));
    }
    return out;
}

qsizetype escapeCount(QStringView text)
{
    return text.count(QChar(kEscapeHigh));
}

qsizetype byteLength(QStringView text)
{
    return lengthOf<false>(text);
}

qsizetype byteLengthWithCrLf(QStringView text)
{
    return lengthOf<true>(text);
}

bool canEncode(char32_t codePoint)
{
    if (codePoint < 0x10000)
        return tables().length[codePoint] != 0;
    return codePoint >= Cp932::kEscapeBase && codePoint <= Cp932::kEscapeBase + 0xFF;
}

bool canEncode(QStringView text)
{
    const Tables &t = tables();
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (t.length[p[i]] != 0)
            continue;
        if (p[i] != kEscapeHigh || i + 1 >= n || !isEscapeLow(p[i + 1]))
            return false;
        ++i;
    }
    return true;
}

} // namespace Cp932
