#include "core/util/Utf16.h"

#include <gtest/gtest.h>

TEST(Utf16, ToUtf8) {
  struct Case {
    std::u16string in;
    std::string out;
  };
  const Case cases[] = {
      {u"caf\u00e9", "caf\xc3\xa9"},
      {u"\U0001F600", "\xf0\x9f\x98\x80"},
      {std::u16string(1, char16_t(0xD800)), "\xef\xbf\xbd"},
      {std::u16string{char16_t(0xDC00), u'a'},
       "\xef\xbf\xbd"
       "a"},
      {u"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(text::Utf16ToUtf8(c.in), c.out);
}

TEST(Utf16, ByteLimitKeepsWholeCharacters) {
  EXPECT_EQ(text::Utf16ToUtf8(u"ab\u00e9", 3), "ab");
  EXPECT_EQ(text::Utf16ToUtf8(u"ab\u00e9", 4), "ab\xc3\xa9");
  EXPECT_EQ(text::Utf16ToUtf8(u"\U0001F600x", 3), "");
}

TEST(Utf16, FromUtf8) {
  EXPECT_EQ(text::Utf8ToUtf16("caf\xc3\xa9"), u"caf\u00e9");
  EXPECT_EQ(text::Utf8ToUtf16("\xf0\x9f\x98\x80"), u"\U0001F600");
  EXPECT_EQ(text::Utf8ToUtf16("\xc3("), std::u16string({char16_t(0xFFFD), u'('}));
  EXPECT_EQ(text::Utf8ToUtf16("\xc0\xaf"), std::u16string(1, char16_t(0xFFFD)));  // overlong
  EXPECT_EQ(text::Utf8ToUtf16("\xe2\x82"), std::u16string(2, char16_t(0xFFFD)));  // cut
  EXPECT_EQ(text::Utf16ToUtf8(text::Utf8ToUtf16("a/b:c\xe6\x97\xa5")), "a/b:c\xe6\x97\xa5");
}
