// The UTF-16 <-> UTF-8 converter: round trips, surrogates, malformed input.
#include "text/utf.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using zel::text::Utf16Buffer;
using zel::text::Utf8Buffer;

TEST(Utf, RoundTripsEveryPlane) {
    // ASCII, Latin-1, Greek, CJK, astral (emoji, U+10FFFF), and an embedded NUL.
    const std::u16string wide = u"plain é Ωμέγα 中文 \U0001F600 \U0010FFFF x";
    const std::string narrow = "plain \xC3\xA9 \xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xE4\xB8\xAD\xE6\x96\x87 "
                               "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF x";
    Utf8Buffer to8;
    const char* bytes = to8.convert(wide.data(), wide.size());
    EXPECT_EQ(std::string(bytes, to8.size()), narrow);
    Utf16Buffer to16;
    const char16_t* units = to16.convert(narrow.data(), narrow.size());
    EXPECT_EQ(std::u16string(units, to16.size()), wide);

    const std::u16string with_nul(u"a\0b", 3);
    bytes = to8.convert(with_nul.data(), 3);
    EXPECT_EQ(std::string(bytes, to8.size()), std::string("a\0b", 3));
}

TEST(Utf, BuffersAreReusedAndTerminated) {
    Utf8Buffer to8;
    const std::u16string longer(1000, u'\u4E2D');
    const char* bytes = to8.convert(longer.data(), longer.size());
    EXPECT_EQ(bytes[to8.size()], '\0');
    EXPECT_EQ(to8.size(), 3000u);
    EXPECT_STREQ(to8.convert(u"ok"), "ok");
    EXPECT_STREQ(to8.convert(nullptr), "");
    Utf16Buffer to16;
    EXPECT_EQ(std::u16string(to16.convert("ok")), u"ok");
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    Utf8Buffer to8;
    const char16_t lone_high[] = {u'a', 0xD800, u'b', 0};
    EXPECT_STREQ(to8.convert(lone_high), "a\xEF\xBF\xBD" "b");
    const char16_t lone_low[] = {0xDC00, 0};
    EXPECT_STREQ(to8.convert(lone_low), "\xEF\xBF\xBD");
    const char16_t high_at_end[] = {0xDBFF, 0};
    EXPECT_STREQ(to8.convert(high_at_end), "\xEF\xBF\xBD");

    Utf16Buffer to16;
    struct Case {
        const char* input;
        std::u16string expected;
    };
    const Case cases[] = {
        {"\xC0\xAF", u"\uFFFD\uFFFD"},        // overlong '/'
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"a\xE4\xB8", u"a\uFFFD\uFFFD"},       // truncated at the end
        {"\x80z", u"\uFFFDz"},                 // stray continuation byte
        {"\xE4z\xB8", u"\uFFFDz\uFFFD"},       // broken sequence
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::u16string(to16.convert(c.input)), c.expected) << c.input;
        EXPECT_TRUE(to16.malformed()) << c.input;
    }
    // A replacement character that is really there is not a malformed sequence.
    EXPECT_EQ(std::u16string(to16.convert("ok \xEF\xBF\xBD")), u"ok \uFFFD");
    EXPECT_FALSE(to16.malformed());
}

}  // namespace
