// vxhost's parameter encoding and reply decoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "charsets/charsets.h"
#include "host/host_text.h"
#include "tools/vxhost/reply_codec.h"

namespace {

std::string Utf8(char32_t code) {
  std::string out;
  charsets::AppendUtf8(code, &out);
  return out;
}

TEST(VxhostCodecTest, ParametersArePassedAsWindows1252) {
  const struct {
    std::string typed;
    std::string bytes;
  } cases[] = {
      {"HKEY_CURRENT_USER|Software", "HKEY_CURRENT_USER|Software"},
      {"Gr\xC3\xBC"
       "ezi",
       "Gr\xFC"
       "ezi"},
      {"\xE2\x82\xAC \xC5\x92 \xE2\x84\xA2", "\x80 \x8C \x99"},  // euro, OE, trade mark
      {"\xC2\x81\xC2\x9D", "\x81\x9D"},                          // the code page's gaps pass as themselves
      {"\xC3\xBF\xC2\xA0", "\xFF\xA0"},
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
      {"a|\xE4\xB8\xAD", "U+4E2D"},  // no Windows-1252 byte
      {"\xF0\x9F\x98\x80", "U+1F600"},
      {"\xC5\x81odz", "U+0141"},    // Ł
      {"ab\xC3", "byte 3"},         // cut short
      {"\xC0\xAF", "byte 1"},       // overlong
      {"x\xED\xA0\x80", "byte 2"},  // a surrogate
      {"\xFC", "byte 1"},           // Windows-1252 typed as is
  };
  for (const auto &c : cases) {
    std::string bytes, error;
    EXPECT_FALSE(vxhost::EncodeParameter(c.typed, &bytes, &error)) << c.named;
    EXPECT_NE(error.find(c.named), std::string::npos) << error;
  }
}

TEST(VxhostCodecTest, EveryConvertedCharacterReadsBackAsItself) {
  for (int source = 0xA0; source <= 0xFF; ++source) {
    const unsigned char host = HostCharTable[source];
    if (host == source && (source == 0xA6 || source == 0xBC || source == 0xBE)) continue;  // shared images, below
    EXPECT_EQ(vxhost::DecodeHostByte(host), charsets::FromCp1252(static_cast<unsigned char>(source)))
        << std::hex << source;
  }
}

TEST(VxhostCodecTest, SharedImagesReadAsTheConvertedCharacter) {
  const struct {
    unsigned char host;
    char32_t shown;
  } cases[] = {
      {0x80, 0x00C4},  // Ä, not the euro sign that passes unchanged
      {0x9F, 0x00FC},  // ü
      {0xA6, 0x00B6},  // pilcrow (Mac OS Roman), not the broken bar
      {0xBC, 0x00BA},  // masculine ordinal, not one quarter
      {0xBE, 0x00E6},  // æ, not three quarters
      {0xB2, 0x00B2},  // superscript two: only it gives 0xB2
      {0xD7, 0x00D7},  // multiplication sign, unchanged
      {0xD0, 0x00AD},  // soft hyphen, placed by the table
      {0xAA, 0x2122},  // never produced: Mac OS Roman's trade mark
      {0x41, U'A'},
  };
  for (const auto &c : cases) EXPECT_EQ(vxhost::DecodeHostByte(c.host), c.shown) << std::hex << int(c.host);
}

// The accented letters get their Mac OS Roman codes: the decoder's Mac OS
// Roman table and the plug-in's table must agree on every one of them.
TEST(VxhostCodecTest, MacRomanTableAgreesWithTheHostTable) {
  const int placed[] = {0xA4, 0xAD, 0xD0, 0xDD, 0xFD, 0xFE};
  for (int source = 0xA0; source <= 0xFF; ++source) {
    const unsigned char host = HostCharTable[source];
    if (host == source || std::find(std::begin(placed), std::end(placed), source) != std::end(placed)) continue;
    EXPECT_EQ(charsets::FromMacRoman(host), charsets::FromCp1252(static_cast<unsigned char>(source)))
        << std::hex << source;
  }
}

TEST(VxhostCodecTest, RepliesAreDecodedByWhetherTheFunctionConverts) {
  EXPECT_EQ(vxhost::DecodeReply("Z\x9Frich\rnext\r\x80", true), "Z\xC3\xBCrich\nnext\n\xC3\x84");
  EXPECT_EQ(vxhost::DecodeReply("Gr\xFC"
                                "ezi\r\nx\ny\r\x80",
                                false),
            "Gr\xC3\xBC"
            "ezi\nx\ny\n\xE2\x82\xAC");
  EXPECT_EQ(vxhost::DecodeReply("", true), "");
  EXPECT_EQ(vxhost::DecodeReply(std::string("a\0b", 3), false), std::string("a\0b", 3));
  for (int index : {2, 3, 4, 6, 7}) EXPECT_TRUE(vxhost::ConvertsReply(index)) << index;
  for (int index : {0, 1, 5, 8, -1}) EXPECT_FALSE(vxhost::ConvertsReply(index)) << index;
  EXPECT_EQ(Utf8(vxhost::DecodeHostByte(0x8A)), "\xC3\xA4");  // ä
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
