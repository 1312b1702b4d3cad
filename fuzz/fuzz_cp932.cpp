// Decoding then encoding any bytes gives a fixed point: the same bytes, except that a duplicate
// code comes back in the form Windows itself writes for its character.

#include "FuzzCheck.h"
#include "storage/Cp932.h"

#include <array>
#include <cstdint>

namespace {

// Pairs whose character Windows writes with other bytes (the NEC and IBM duplicates).
const std::array<bool, 65536> &duplicateCodes()
{
    static const std::array<bool, 65536> table = [] {
        std::array<bool, 65536> t {};
        int count = 0;
        for (int code = 0x8100; code <= 0xFCFF; ++code) {
            const char pair[2] = {char(code >> 8), char(code & 0xFF)};
            const QString c = Cp932::decode(QByteArrayView(pair, 2));
            if (c.size() != 1)
                continue;
            const QByteArray back = Cp932::encode(c);
            if (back != QByteArrayView(pair, 2)) {
                t[code] = true;
                ++count;
            }
        }
        FUZZ_CHECK(count == 398);
        return t;
    }();
    return table;
}

// Walks the bytes as the decoder does: a defined pair is one character, anything else one byte.
bool holdsDuplicateCode(QByteArrayView bytes)
{
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        // Two bytes decode to one unit exactly when they form a defined double-byte character.
        if (Cp932::decode(bytes.sliced(i, 2)).size() != 1)
            continue;
        if (duplicateCodes()[uint8_t(bytes[i]) << 8 | uint8_t(bytes[i + 1])])
            return true;
        ++i;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView x(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = Cp932::decode(x);
    FUZZ_CHECK(Cp932::canEncode(text));
    const QByteArray encoded = Cp932::encode(text);
    FUZZ_CHECK(Cp932::byteLength(text) == encoded.size());
    FUZZ_CHECK(encoded.size() == x.size());
    FUZZ_CHECK(Cp932::decode(encoded) == text);
    FUZZ_CHECK(Cp932::encode(Cp932::decode(encoded)) == encoded);
    if (encoded != x)
        FUZZ_CHECK(holdsDuplicateCode(x));
    return 0;
}
