// String literals are compiled as Windows-1252: "ä" is the single byte 0xE4.
#include <gtest/gtest.h>

#include <string>

TEST(Charset, LiteralsAreWindows1252) {
  const std::string status = "läuft... SOFTWARE";
  ASSERT_EQ(status.size(), 17u);
  EXPECT_EQ(static_cast<unsigned char>(status[1]), 0xE4);
  const std::string fallback = "\\Startmenü\\Programme\\Autostart";
  EXPECT_NE(fallback.find('\xFC'), std::string::npos);
}
