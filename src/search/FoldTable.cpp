#include "FoldTable.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <array>
#include <string>

namespace {

constexpr char16_t kVoicedMark = 0x3099;
constexpr char16_t kSemiVoicedMark = 0x309A;
constexpr char16_t kKanaFirst = 0x3040; // the Hiragana and Katakana blocks, U+3040..U+30FF
constexpr char16_t kKanaLast = 0x30FF;

// Code page 932 holds one of each pair; Windows decodes to the second, input methods on Linux
// type the first.
char16_t untwinned(char16_t c)
{
    switch (c) {
    case 0x301C:
        return 0xFF5E;
    case 0x2212:
        return 0xFF0D;
    case 0x2016:
        return 0x2225;
    case 0x2014:
        return 0x2015;
    case 0x00A2:
        return 0xFFE0;
    case 0x00A3:
        return 0xFFE1;
    case 0x00AC:
        return 0xFFE2;
    default:
        return c;
    }
}

// The hiragana of the same name as a katakana character, from the character names ICU gives.
std::array<char16_t, kKanaLast - kKanaFirst + 1> hiraganaOfKatakana()
{
    std::array<char16_t, kKanaLast - kKanaFirst + 1> result {};
    const std::string katakana = "KATAKANA ";
    for (char16_t c = kKanaFirst; c <= kKanaLast; ++c) {
        result[c - kKanaFirst] = c;
        char name[128];
        UErrorCode status = U_ZERO_ERROR;
        u_charName(c, U_UNICODE_CHAR_NAME, name, sizeof name, &status);
        std::string text(name);
        if (U_FAILURE(status) || text.rfind(katakana, 0) != 0)
            continue;
        text.replace(0, katakana.size(), "HIRAGANA ");
        status = U_ZERO_ERROR;
        const UChar32 hiragana = u_charFromName(U_UNICODE_CHAR_NAME, text.c_str(), &status);
        if (U_SUCCESS(status) && hiragana > 0 && hiragana <= 0xFFFF)
            result[c - kKanaFirst] = char16_t(hiragana);
    }
    return result;
}

} // namespace

const FoldTable &FoldTable::instance()
{
    static const FoldTable table;
    return table;
}

FoldTable::FoldTable()
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfkcCf = icu::Normalizer2::getNFKCCasefoldInstance(status);
    const icu::Normalizer2 *nfc = icu::Normalizer2::getNFCInstance(status);
    Q_ASSERT(U_SUCCESS(status));
    const auto hiragana = hiraganaOfKatakana();
    const auto asHiragana = [&](char16_t c) {
        return c >= kKanaFirst && c <= kKanaLast ? hiragana[c - kKanaFirst] : c;
    };

    m_start.resize(0x10001);
    m_pool.reserve(0x11000);
    for (uint32_t c = 0; c <= 0xFFFF; ++c) {
        m_start[c] = uint32_t(m_pool.size());
        const char16_t unit = char16_t(c);
        const char16_t twin = untwinned(unit);
        if (QChar::isSurrogate(c) || nfkcCf->isInert(twin)) {
            m_pool.append(asHiragana(twin));
            continue;
        }
        status = U_ZERO_ERROR;
        const icu::UnicodeString folded = nfkcCf->normalize(icu::UnicodeString(twin), status);
        for (int32_t i = 0; U_SUCCESS(status) && i < folded.length(); ++i)
            m_pool.append(asHiragana(folded.charAt(i)));
    }
    m_start[0x10000] = uint32_t(m_pool.size());

    for (int mark = 0; mark < 2; ++mark) {
        m_voiced[mark].resize(kKanaLast - kKanaFirst + 1);
        for (char16_t c = kKanaFirst; c <= kKanaLast; ++c) {
            const UChar32 composed = nfc->composePair(c, mark ? kSemiVoicedMark : kVoicedMark);
            m_voiced[mark][c - kKanaFirst]
                = composed > 0 && composed <= 0xFFFF ? asHiragana(char16_t(composed)) : 0;
        }
    }
}

char16_t FoldTable::joined(char16_t kana, char16_t mark) const
{
    if (kana < kKanaFirst || kana > kKanaLast || (mark != kVoicedMark && mark != kSemiVoicedMark))
        return 0;
    return m_voiced[mark == kSemiVoicedMark][kana - kKanaFirst];
}
