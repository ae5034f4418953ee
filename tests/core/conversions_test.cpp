// Code-page conversions and the two number parsers, with the default code page.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "connection/conversions.h"

namespace kolmara {
namespace {

using ::testing::ElementsAre;

const QString kTtom = QString(QChar(0xB620));  // 똠: in code page 949, not in IBM's CP949

TEST(CodePage, DefaultIsMicrosoft949) { EXPECT_EQ(AnsiCodePageName(), QByteArray("windows-949")); }

TEST(CodePage, KoreanCharacterBothWays) {
  const QByteArray bytes = WideToAnsiBytes(kTtom);
  EXPECT_EQ(bytes, QByteArray("\x8C\x63"));
  EXPECT_EQ(AnsiToWide(std::string_view("\x8C\x63")), kTtom);
  const QString hangul = QString::fromUtf8("관리자");
  EXPECT_EQ(AnsiToWide(std::string_view(WideToAnsiBytes(hangul).constData())), hangul);
}

TEST(CodePage, CharacterOutsideTheCodePageBecomesQuestionMark) {
  // Thai ko kai is not in code page 949.
  EXPECT_EQ(WideToAnsiBytes(QString::fromUtf8("aกb")), QByteArray("a?b"));
  const auto ansi = Utf8ToAnsi("x\xE0\xB8\x81y");
  ASSERT_TRUE(ansi.has_value());
  EXPECT_EQ(*ansi, QByteArray("x?y"));
}

TEST(CodePage, Utf8AndAnsiBothWays) {
  const std::string utf8 = "\xEB\x98\xA0 A";  // "똠 A"
  const auto ansi = Utf8ToAnsi(utf8);
  ASSERT_TRUE(ansi.has_value());
  EXPECT_EQ(*ansi, QByteArray("\x8C\x63 A"));
  EXPECT_EQ(AnsiToUtf8(std::string_view("\x8C\x63 A")), QByteArray(utf8.c_str()));
  EXPECT_EQ(Utf8ToWide(utf8), QString(kTtom + " A"));
}

TEST(CodePage, ReadersStopAtNulAndAtTheFieldEnd) {
  const char field[4] = {'a', 'b', 'c', 'd'};  // no NUL inside the field
  EXPECT_EQ(AnsiToWide(field, sizeof field), QStringLiteral("abcd"));
  EXPECT_EQ(AnsiToWide(std::string_view("ab\0cd", 5)), QStringLiteral("ab"));
  EXPECT_EQ(Utf8ToWide(std::string_view("ab\0cd", 5)), QStringLiteral("ab"));
  EXPECT_EQ(AnsiToWide(nullptr, 10), QString());
}

TEST(CodePage, LongUtf8TextIsKeptWhole) {
  const std::string utf8(300, 'z');
  EXPECT_EQ(Utf8ToWide(utf8).size(), 300);
}

TEST(CodePage, UnknownNameIsRefusedAndTheOldOneKept) {
  EXPECT_FALSE(SetAnsiCodePage("no-such-code-page"));
  EXPECT_EQ(AnsiCodePageName(), QByteArray("windows-949"));
  EXPECT_EQ(WideToAnsiBytes(kTtom), QByteArray("\x8C\x63"));
}

TEST(WideToAnsi, EmptyTextWritesOneZeroByte) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(WideToAnsi(QString(), buffer, sizeof buffer), 1);
  EXPECT_THAT(buffer, ElementsAre('\0', 'x', 'x', 'x'));
}

TEST(WideToAnsi, FitsExactlyOrWritesNothingPastTheBuffer) {
  struct Case {
    QString text;
    std::size_t room;
    int needed;
    const char* written;  // nullptr: only an empty text
  };
  const Case cases[] = {
      {QStringLiteral("abc"), 4, 4, "abc"},
      {QStringLiteral("abcd"), 4, 5, nullptr},
      {kTtom + kTtom, 5, 5, "\x8C\x63\x8C\x63"},
      {kTtom + kTtom, 4, 5, nullptr},  // not cut in the middle of a character
      {QStringLiteral("abc"), 0, 4, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString() + " room " + std::to_string(c.room));
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(WideToAnsi(c.text, buffer, c.room), c.needed);
    if (c.written) {
      EXPECT_STREQ(buffer, c.written);
    } else if (c.room > 0) {
      EXPECT_EQ(buffer[0], '\0');
    }
    for (std::size_t i = std::max<std::size_t>(c.room, c.written ? std::strlen(c.written) + 1 : 1);
         i < sizeof buffer; ++i)
      ASSERT_EQ(buffer[i], '#') << "written past the buffer at " << i;
    if (c.room == 0) {
      EXPECT_EQ(buffer[0], '#');
    }
  }
}

TEST(NormaliseVersion, Table) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"24.2.1", "24.02.01"},     {"1.2", "01.02.00"},         {"", "00.00.00"},
      {"24.02.01.7", "24.02.01"}, {"3.x.1", "03.00.01"},       {"123.4.5", "123.04.05"},
      {"1..3", "01.00.03"},       {" 7.+8.-1", "07.08.-1"},     {"2a.3b.4c", "02.03.04"},
      {"123456789.1.1", "1234567.01.01"},  // a part keeps 7 bytes
      {"99999999999999999999.1.1", "9999999.01.01"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormaliseVersion(c.text), QString::fromLatin1(c.expected)) << c.text;
}

TEST(HexTextToInt, Table) {
  struct Case {
    const char* text;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"1a", 26}, {"1A", 26}, {"ff", 255}, {"00", 0}, {"", 0}, {"7fffffff", INT32_MAX},
      {"ffffffff", -1}, {"100000000", 0},  // truncated to 32 bits
      {"g", 16}, {"Z", 35},                // letters past F count on, nothing is refused
  };
  for (const Case& c : cases) EXPECT_EQ(HexTextToInt(c.text), c.expected) << c.text;
  EXPECT_EQ(HexTextToInt(std::string_view("1f\0ff", 5)), 31);
}

}  // namespace
}  // namespace kolmara
