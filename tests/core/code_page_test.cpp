// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/code_page.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarn {
namespace {

TEST(CodePageTest, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = NarrowToUtf8(all);
  EXPECT_EQ(Utf8ToNarrow(utf8), all);
}

TEST(CodePageTest, KnownCharacters) {
  EXPECT_EQ(NarrowToUtf8("caf\xE9"), "caf\u00E9");
  EXPECT_EQ(NarrowToUtf8("\x80 \x9F \xFF"), "\u20AC \u0178 \u00FF");
  EXPECT_EQ(NarrowToUtf8("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
  EXPECT_EQ(Utf8ToNarrow("\u20AC5 \u2013 \u00B0C \u2122"),
            "\x80"
            "5 \x96 \xB0"
            "C \x99");
  EXPECT_EQ(Utf8ToNarrow("\u0081\u008D\u008F\u0090\u009D"), "\x81\x8D\x8F\x90\x9D");
  EXPECT_EQ(NarrowToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePageTest, UnrepresentableAndInvalidBecomeQuestionMarks) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"\u0100", "?"},               // Latin A with macron: not in the code page
      {"\u4E2D\u6587", "??"},        // one '?' per character, not per byte
      {"\U0001F600x", "?x"},         // outside the BMP
      {"\u0080\u0082", "??"},        // C1 controls the code page uses for other characters
      {"a\xFFz", "a?z"},             // never a lead byte
      {"\xC3", "?"},                 // truncated at the end
      {"\xC3z", "?z"},               // continuation missing
      {"\xE2\x82z", "?z"},           // truncated three-byte sequence: one '?'
      {"\xC0\xAF", "??"},            // overlong '/'
      {"\xE0\x80\xAF", "???"},       // overlong three-byte
      {"\xED\xA0\x80", "???"},       // encoded surrogate
      {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
      {"\x80", "?"},                 // stray continuation byte
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToNarrow(c.in), c.out) << c.in;
}

TEST(CodePageTest, FieldsNeverOverflow) {
  char field[6];
  std::memset(field, 'x', sizeof field);
  CopyToField(field, "abcdefgh");
  EXPECT_EQ(std::string(field), "abcde");
  EXPECT_EQ(FieldText(field), "abcde");
  CopyToField(field, "ab");
  EXPECT_EQ(FieldText(field), "ab");
  char full[3] = {'a', 'b', 'c'};  // no NUL at all
  EXPECT_EQ(FieldText(full), "abc");
}

}  // namespace
}  // namespace tarn
