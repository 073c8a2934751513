#include <gtest/gtest.h>

#include "platform/Format.h"

using namespace platform;

TEST(Format, ConversionsWidthsAndPrecision) {
  EXPECT_EQ(Format("%s=%d", {"x", 42}), "x=42");
  EXPECT_EQ(Format("%.4f", {2.5}), "2.5000");
  EXPECT_EQ(Format("[%5s|%-5s]", {"ab", "cd"}), "[   ab|cd   ]");
  EXPECT_EQ(Format("%05d %x %X %o", {42, 255, 255, 8}), "00042 ff FF 10");
  EXPECT_EQ(Format("%c%c", {'o', 'k'}), "ok");
  EXPECT_EQ(Format("%.2s", {"abcdef"}), "ab");
  EXPECT_EQ(Format("%*d|%-*d|", {4, 7, 3, 1}), "   7|1  |");
  EXPECT_EQ(Format("%e", {12345.678}), "1.234568e+04");
  EXPECT_EQ(Format("100%%"), "100%");
  EXPECT_EQ(Format("%+d", {5}), "+5");
}

TEST(Format, MismatchesAndMissingArgumentsAreSafe) {
  EXPECT_EQ(Format("%s and %s", {"one"}), "one and ");
  EXPECT_EQ(Format("%d", {"text"}), "text");
  EXPECT_EQ(Format("%s", {7}), "7");
  EXPECT_EQ(Format("%d", {3.9}), "3");
  EXPECT_EQ(Format("%d", {1e300}), "9223372036854775807");  // saturates, no undefined conversion
  EXPECT_EQ(Format("50%"), "50%");
  EXPECT_EQ(Format("%q"), "%q");
  EXPECT_EQ(Format("%99999999d", {1}).size(), 4096u);  // widths are capped
}

TEST(TextHelpers, AsciiCaseAndTrimming) {
  EXPECT_TRUE(SameText("Initial-Fact", "INITIAL-fact"));
  EXPECT_FALSE(SameText("abc", "abd"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(UpperCase("a-b_c"), "A-B_C");
  EXPECT_EQ(Trim("  x y \t\r\n"), "x y");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x "), "  x");
}
