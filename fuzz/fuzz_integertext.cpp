// The settings' integer rule against a plain reference reading of the same rule, and every
// integer the program writes reads back as itself.

#include "FuzzCheck.h"
#include "storage/IntegerText.h"

#include <cstdint>
#include <cstring>
#include <optional>

namespace {

int digitValue(char16_t c, int base)
{
    int d = 99;
    if (c >= u'0' && c <= u'9')
        d = c - u'0';
    else if (c >= u'a' && c <= u'z')
        d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'Z')
        d = c - u'A' + 10;
    return d < base ? d : -1;
}

// Digits of base 10 or 16, all of them, within limit.
std::optional<uint64_t> digitsValue(QStringView digits, int base, uint64_t limit)
{
    if (digits.isEmpty())
        return std::nullopt;
    uint64_t value = 0;
    for (QChar c : digits) {
        const int d = digitValue(c.unicode(), base);
        if (d < 0 || value > (limit - uint64_t(d)) / uint64_t(base))
            return std::nullopt;
        value = value * uint64_t(base) + uint64_t(d);
    }
    return value;
}

std::optional<int> reference(QStringView s)
{
    qsizetype start = 0;
    while (start < s.size() && s[start] == u' ')
        ++start;
    s = s.sliced(start);
    for (const char16_t *prefix : {u"0x", u"0X", u"$", u"x", u"X"}) {
        const QStringView p(prefix);
        if (s.startsWith(p)) {
            const auto v = digitsValue(s.sliced(p.size()), 16, 0xFFFFFFFFu);
            return v ? std::optional<int>(int(int32_t(uint32_t(*v)))) : std::nullopt;
        }
    }
    const bool negative = s.startsWith(u'-');
    if (negative || s.startsWith(u'+'))
        s = s.sliced(1);
    const auto v = digitsValue(s, 10, negative ? 0x80000000u : 0x7FFFFFFFu);
    if (!v)
        return std::nullopt;
    return int(negative ? -int64_t(*v) : int64_t(*v));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Bytes as Latin-1 reach every ASCII form; as UTF-16 they add look-alike digits and spaces.
    const QString latin
        = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_CHECK(parseIntegerText(latin) == reference(latin));
    QString wide(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(wide.data(), data, size / 2 * 2);
    FUZZ_CHECK(parseIntegerText(wide) == reference(wide));

    if (size >= 4) {
        int32_t value;
        std::memcpy(&value, data, 4);
        FUZZ_CHECK(parseIntegerText(QString::number(value)) == value);
        FUZZ_CHECK(parseIntegerText(u"0x"_qs + QString::number(uint32_t(value), 16)) == value);
        FUZZ_CHECK(
            parseIntegerText(u"  $"_qs + QString::number(uint32_t(value), 16).toUpper()) == value);
    }
    return 0;
}
