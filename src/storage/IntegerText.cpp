#include "IntegerText.h"

#include <cstdint>
#include <limits>

namespace {

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

std::optional<int> parseHex(QStringView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    uint64_t value = 0;
    for (QChar c : digits) {
        const int d = hexValue(c);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + uint64_t(d);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return int(int32_t(uint32_t(value)));
}

std::optional<int> parseDecimal(QStringView text)
{
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    const int64_t limit = negative ? -int64_t(std::numeric_limits<int>::min())
                                   : int64_t(std::numeric_limits<int>::max());
    int64_t value = 0;
    for (QChar c : text) {
        if (c.unicode() < '0' || c.unicode() > '9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > limit)
            return std::nullopt;
    }
    return int(negative ? -value : value);
}

} // namespace

std::optional<int> parseIntegerText(QStringView text)
{
    while (!text.isEmpty() && text.front() == u' ')
        text = text.sliced(1);
    for (QStringView prefix : {u"0x", u"0X", u"$", u"x", u"X"}) {
        if (text.startsWith(prefix))
            return parseHex(text.sliced(prefix.size()));
    }
    return parseDecimal(text);
}
