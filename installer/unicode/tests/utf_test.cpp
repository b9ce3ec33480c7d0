// UTF-8 and UTF-16 conversion: characters of every length, and what becomes a replacement.
#include <gtest/gtest.h>

#include <string>

#include "unicode/utf.h"

namespace {

TEST(Utf, ConvertsEveryLengthBothWays) {
    const std::string text = "a\xc3\xa9\xe6\x9b\xb4\xf0\x9f\x98\x80";  // a é 更 😀
    const std::u16string wide = utf::Utf8ToUtf16(text);
    EXPECT_EQ(wide, std::u16string(u"a\u00e9\u66f4\U0001F600"));
    EXPECT_EQ(utf::Utf16ToUtf8(wide, 0xFFFD), text);
    EXPECT_TRUE(utf::IsValidUtf8(text));
    EXPECT_TRUE(utf::IsValidUtf8(""));
}

TEST(Utf, InvalidBytesBecomeOneReplacementEach) {
    struct Case {
        std::string bytes;
        std::u16string wide;
    } cases[] = {
        {"\x80x", u"\uFFFDx"},                              // stray continuation byte
        {"\xe6\x9b", u"\uFFFD\uFFFD"},                      // cut sequence
        {"\xc0\x80", u"\uFFFD\uFFFD"},                      // overlong NUL
        {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate
        {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf::Utf8ToUtf16(c.bytes), c.wide);
        EXPECT_FALSE(utf::IsValidUtf8(c.bytes));
    }
    // A lone surrogate cannot be written.
    EXPECT_EQ(utf::Utf16ToUtf8(u"a\xD800"
                               "b",
                               '?'),
              "a?b");
    EXPECT_EQ(utf::Utf8SequenceLength(0xe6), 3u);
    EXPECT_EQ(utf::Utf8SequenceLength('a'), 1u);
}

}  // namespace
