// Runs with KOLMARA_ANSI_CODEPAGE=windows-1252 in its environment.
#include <gtest/gtest.h>

#include "connection/conversions.h"

namespace kolmara {
namespace {

TEST(CodePageOverride, EnvironmentNamesTheCodePage) {
  EXPECT_EQ(AnsiCodePageName(), QByteArray("windows-1252"));
  EXPECT_EQ(WideToAnsiBytes(QString::fromUtf8("café")), QByteArray("caf\xE9"));
  EXPECT_EQ(AnsiToWide(std::string_view("caf\xE9")), QString::fromUtf8("café"));
  // Korean is outside this code page.
  EXPECT_EQ(WideToAnsiBytes(QString(QChar(0xB620))), QByteArray("?"));
  // A real U+001A is not mistaken for the converter's substitution byte.
  EXPECT_EQ(WideToAnsiBytes(QString(QChar(0x1A)) + QChar(0xB620) + QChar(0xE9)), QByteArray("\x1A?\xE9"));
}

}  // namespace
}  // namespace kolmara
