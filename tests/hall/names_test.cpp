#include "hall/names.h"

#include <gtest/gtest.h>

#include "hall/text_escape.h"

namespace {

TEST(HallNames, PrintableUtf8OfOneToSixteenCharactersIsAName) {
  for (const char* name : {"a", "Ada Lovelace", "0123456789abcdef", "<script>", "\xC3\x84sa",
                           "\xF0\x9F\x9A\x80 rocket",
                           // Sixteen two-byte characters: 32 bytes, but 16 characters.
                           "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"
                           "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"})
    EXPECT_EQ(name_problem(name), "") << name;
}

TEST(HallNames, EmptyLongControlInvisibleOrInvalidNamesAreRefused) {
  const std::string refused[] = {
      "",
      "0123456789abcdefg",  // 17 characters
      "   ",                // only spaces
      "tab\there",          // C0 control
      std::string("nul\0x", 5),
      "del\x7F",
      "c1\xC2\x85",        // U+0085, a C1 control
      "rtl\xE2\x80\xAE",   // U+202E right-to-left override
      "\xFF",              // not UTF-8
      "\xC0\xAF",          // overlong '/'
      "\xED\xA0\x80",      // a surrogate
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
      "cut\xE2\x80",       // a character cut short
  };
  for (const std::string& name : refused) EXPECT_NE(name_problem(name), "") << name;
}

TEST(HallText, MarkupAndQuotesAreEscapedForHtmlAndJson) {
  EXPECT_EQ(html_escape("<script>&\"'"), "&lt;script&gt;&amp;&quot;&#39;");
  EXPECT_EQ(json_string("a\"b\\c\n</script>"), "\"a\\\"b\\\\c\\u000a\\u003c/script\\u003e\"");
  EXPECT_EQ(json_string("\xC3\x84"), "\"\xC3\x84\"");
}

}  // namespace
