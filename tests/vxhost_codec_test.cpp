// vxhost's parameter encoding and reply decoding.
#include <gtest/gtest.h>

#include <string>

#include "tools/vxhost/reply_codec.h"

namespace {

TEST(VxhostCodecTest, ParametersArePassedAsMacOsRoman) {
  const struct {
    std::string typed;
    std::string bytes;
  } cases[] = {
      {"HKEY_CURRENT_USER|Software", "HKEY_CURRENT_USER|Software"},
      {"Gr\xC3\xBC"
       "ezi Stra\xC3\x9F"
       "e",
       "Gr\x9F"
       "ezi Stra\xA7"
       "e"},
      {"\xCF\x80 \xE2\x89\xA4 \xEF\xAC\x81", "\xB9 \xB2 \xDE"},  // pi, less or equal, fi: not in Windows-1252
      {"\xC2\xA4\xC2\xA0\xCB\x87", "\xDB\xCA\xFF"},  // currency sign (the older code), no-break space, caron
  };
  for (const auto &c : cases) {
    std::string bytes, error;
    EXPECT_TRUE(vxhost::EncodeParameter(c.typed, &bytes, &error)) << error;
    EXPECT_EQ(bytes, c.bytes);
  }
}

TEST(VxhostCodecTest, RefusesWhatTheHostCouldNotPass) {
  const struct {
    std::string typed;
    std::string named;
  } cases[] = {
      {"a|\xE4\xB8\xAD", "U+4E2D"},  // no Mac OS Roman code
      {"\xF0\x9F\x98\x80", "U+1F600"},
      {"\xC5\xA0koda", "U+0160"},    // Š: Windows-1252 has it, Mac OS Roman does not
      {"5 \xE2\x82\xAC", "U+20AC"},  // the euro sign: 0xDB is the currency sign here
      {"ab\xC3", "byte 3"},          // cut short
      {"\xC0\xAF", "byte 1"},        // overlong
      {"x\xED\xA0\x80", "byte 2"},   // a surrogate
      {"\x9F", "byte 1"},            // Mac OS Roman typed as is
  };
  for (const auto &c : cases) {
    std::string bytes, error;
    EXPECT_FALSE(vxhost::EncodeParameter(c.typed, &bytes, &error)) << c.named;
    EXPECT_NE(error.find(c.named), std::string::npos) << error;
  }
}

// Every reply byte but the line ends is shown as a character that, typed,
// passes as that byte again: the two directions use one table.
TEST(VxhostCodecTest, EveryReplyByteTypedBackPassesAsItself) {
  for (int b = 1; b < 256; ++b) {
    if (b == '\r' || b == '\n') continue;
    const std::string reply(1, static_cast<char>(b));
    std::string bytes, error;
    EXPECT_TRUE(vxhost::EncodeParameter(vxhost::DecodeReply(reply), &bytes, &error)) << b << ": " << error;
    EXPECT_EQ(bytes, reply) << b;
  }
}

TEST(VxhostCodecTest, RepliesAreReadAsMacOsRoman) {
  // As the host shows them, whichever function sent them: SetRegistryKey's
  // answer of Windows-1252 bytes is read so too.
  EXPECT_EQ(vxhost::DecodeReply("Z\x9Frich\rnext\r\nx\ny\r\x80"), "Z\xC3\xBCrich\nnext\nx\ny\n\xC3\x84");
  EXPECT_EQ(vxhost::DecodeReply("Stra\xA7"
                                "e Gr\xFC"
                                "ezi"),
            "Stra\xC3\x9F"
            "e Gr\xC2\xB8"
            "ezi");
  EXPECT_EQ(vxhost::DecodeReply(""), "");
  EXPECT_EQ(vxhost::DecodeReply(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(VxhostCodecTest, HexDumpShowsOffsetsBytesTextAndCount) {
  EXPECT_EQ(vxhost::HexDump("<<ERROR>>"),
            "00000000  3c 3c 45 52 52 4f 52 3e 3e                       |<<ERROR>>|\n(9 bytes)\n");
  EXPECT_EQ(vxhost::HexDump(""), "(0 bytes)\n");
  const std::string dump = vxhost::HexDump(std::string(17, '\x01'));
  EXPECT_NE(dump.find("\n00000010  01 "), std::string::npos) << dump;
  EXPECT_NE(dump.find("(17 bytes)"), std::string::npos);
}

}  // namespace
