// GetRegistryKey: a value's data as reply text, by the value's type.
#include <vector>

#include "registry/value_text.h"
#include "tests/support/registry_scratch.h"

#ifndef _WIN32
#include "vxplatform/testing.h"
#endif

namespace {

using vxtest::Param;
using vxtest::SystemMessage;

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

struct TextCase {
  const char *what;
  DWORD type;
  std::string data;
  std::string text;
};

std::vector<TextCase> TextCases() {
  using std::string;
  return {
      {"string", REG_SZ, string("abc\0", 4), "abc"},
      {"string without terminator keeps its last character", REG_SZ, "abc", "abc"},
      {"string ends at its first zero byte", REG_SZ, string("ab\0cd\0", 6), "ab"},
      {"empty string", REG_SZ, string("\0", 1), ""},
      {"expandable string stays unexpanded", REG_EXPAND_SZ, string("%SystemRoot%\\x\0", 15), "%SystemRoot%\\x"},
      {"line feeds removed, carriage returns kept", REG_SZ, string("a\r\nb\nc\0", 7), "a\rbc"},
      {"accented letters in the host's set", REG_SZ,
       string("Z\xFC"
              "rich \xC4\xDF\0",
              10),
       "Z\x9F"
       "rich \x80\xA7"},
      {"multi-string", REG_MULTI_SZ, string("one\0two\0\0", 9), "one\rtwo"},
      {"multi-string with one terminator", REG_MULTI_SZ, string("one\0two\0", 8), "one\rtwo"},
      {"multi-string without terminator", REG_MULTI_SZ, string("one\0two", 7), "one\rtwo"},
      {"multi-string ends at an empty string", REG_MULTI_SZ, string("one\0\0two\0\0", 10), "one"},
      {"empty multi-string", REG_MULTI_SZ, string("\0\0", 2), ""},
      {"multi-string converted", REG_MULTI_SZ, string("\xE4\0x\r\ny\0\0", 8), "\x8A\rx\ry"},
      {"number", REG_DWORD, Bytes({0x01, 0x02, 0, 0}), "513"},
      {"largest number", REG_DWORD, Bytes({0xFF, 0xFF, 0xFF, 0xFF}), "4294967295"},
      {"zero", REG_DWORD, Bytes({0, 0, 0, 0}), "0"},
      {"big-endian number", REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0x01, 0x02}), "258"},
      {"64-bit number", REG_QWORD, Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "18446744073709551615"},
      {"64-bit number above 32 bits", REG_QWORD, Bytes({0, 0, 0, 0, 1, 0, 0, 0}), "4294967296"},
      {"number of three bytes", REG_DWORD, Bytes({0x01, 0x0A, 0xFF}), "010AFF"},
      {"number of five bytes", REG_DWORD_BIG_ENDIAN, Bytes({1, 2, 3, 4, 5}), "0102030405"},
      {"64-bit number of four bytes", REG_QWORD, Bytes({0xAB, 0, 0, 0}), "AB000000"},
      {"binary", REG_BINARY, Bytes({0x00, 0xAB, 0x7F, 0x0A}), "00AB7F0A"},
      {"type without a rule", 12345, string("a\0", 2), "6100"},
      {"no data at all", REG_BINARY, "", ""},
      {"number without data", REG_DWORD, "", ""},
      {"string without data", REG_SZ, "", ""},
      {"longest binary", REG_BINARY, string(250, '\xFF'), string(500, 'F')},
  };
}

TEST(ValueTextTest, AnswersEachTypeByItsRule) {
  for (const TextCase &c : TextCases()) {
    // Exactly sized buffers: a read past the data or a write past the text
    // buffer is caught by the address checker.
    std::vector<unsigned char> data(c.data.begin(), c.data.end());
    std::vector<char> out(kValueTextSize);
    const uint32_t length = ValueText(c.type, data.data(), static_cast<uint32_t>(data.size()), out.data());
    EXPECT_EQ(std::string(out.data(), length), c.text) << c.what;
    EXPECT_EQ(out[length], '\0') << c.what;
  }
}

class GetRegistryKeyTest : public vxtest::RegistryTest {
 protected:
  hostsim::ExternalResult Get(const std::string &path, const std::string &name) {
    return Call(vxtest::kGetRegistryKey, Param({"HKEY_CURRENT_USER", path, name}));
  }
};

TEST_F(GetRegistryKeyTest, AnswersStoredValuesByTheirType) {
  for (const TextCase &c : TextCases()) {
    PutValue(Scratch(), "v", c.type, c.data);
    const hostsim::ExternalResult result = Get(Scratch(), "v");
    EXPECT_TRUE(result.touched) << c.what;
    EXPECT_EQ(result.reply, c.text) << c.what << ": " << vxtest::Printable(result.reply);
  }
}

TEST_F(GetRegistryKeyTest, StringsUpTo249CharactersComeBackWholeLongerOnesAnswerMoreData) {
  PutString(Scratch(), "249", std::string(249, 's'));
  PutString(Scratch(), "250", std::string(250, 's'));
  PutValue(Scratch(), "binary", REG_BINARY, std::string(251, 'b'));
  EXPECT_EQ(Get(Scratch(), "249").reply, std::string(249, 's'));
  EXPECT_EQ(Get(Scratch(), "250").reply, SystemMessage(ERROR_MORE_DATA));
  EXPECT_EQ(Get(Scratch(), "binary").reply, SystemMessage(ERROR_MORE_DATA));
}

TEST_F(GetRegistryKeyTest, MissingValueAndMissingDefaultAnswerFileNotFoundMessage) {
  EXPECT_EQ(Get(Scratch(), "absent").reply, SystemMessage(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Get(Scratch(), "").reply, SystemMessage(ERROR_FILE_NOT_FOUND));
  PutString(Scratch(), "", "default");
  EXPECT_EQ(Get(Scratch(), "").reply, "default");
  // The same through a parameter that lacks field 3 altogether.
  EXPECT_EQ(Call(vxtest::kGetRegistryKey, Param({"HKEY_CURRENT_USER", Scratch()})).reply, "default");
}

TEST_F(GetRegistryKeyTest, NamesAreUsedAsTheHostGivesThem) {
  PutString(Below("K\xE9y"), "N\xE4me", "found");
  EXPECT_EQ(Get(Below("K\xE9y"), "N\xE4me").reply, "found");
}

TEST_F(GetRegistryKeyTest, AMissingPathIsCreatedAndAnswersNothing) {
  const hostsim::ExternalResult first = Get(Below("New\\Deeper"), "v");
  EXPECT_TRUE(NoReply(first)) << vxtest::Printable(first.reply);
  ASSERT_TRUE(KeyExists(Below("New\\Deeper")));
  EXPECT_EQ(KeyClass(Below("New")), "REG_SZ");
  EXPECT_EQ(KeyClass(Below("New\\Deeper")), "REG_SZ");
  EXPECT_EQ(Get(Below("New\\Deeper"), "v").reply, SystemMessage(ERROR_FILE_NOT_FOUND));
}

TEST_F(GetRegistryKeyTest, AKeyOutOfReachAnswersNothing) {
  VX_SKIP_ON_WINE("denies write access to a key");
#ifndef _WIN32
  PutString(Below("ReadOnly"), "v", "secret");
  ASSERT_TRUE(vxplatform::DenyWriteAccess(HKEY_CURRENT_USER, Below("ReadOnly").c_str()));
  EXPECT_TRUE(NoReply(Get(Below("ReadOnly"), "v")));
#endif
}

TEST_F(GetRegistryKeyTest, AFailedQueryAnswersItsConvertedMessage) {
  VX_SKIP_ON_WINE("injects a failure into the query");
#ifndef _WIN32
  PutString(Scratch(), "v", "x");
  vxplatform::SetMessageText(ERROR_CANTREAD,
                             "Lecture impossible \xE0 cause d'une \xE9"
                             "chec.");
  vxplatform::InjectFailure("RegQueryValueExA", ERROR_CANTREAD);
  EXPECT_EQ(Get(Scratch(), "v").reply,
            "Lecture impossible \x88 cause d'une \x8E"
            "chec.");
  vxplatform::SetMessageText(ERROR_CANTREAD, nullptr);
#endif
}

TEST_F(GetRegistryKeyTest, MessageRepliesAreConvertedToTheHostSet) {
  // With a French user interface the messages carry accented letters.
  EXPECT_EQ(Get(Scratch(), "absent").reply, vxtest::HostText(SystemMessage(ERROR_FILE_NOT_FOUND, false)));
  PutString(Scratch(), "long", std::string(300, 'l'));
  EXPECT_EQ(Get(Scratch(), "long").reply, vxtest::HostText(SystemMessage(ERROR_MORE_DATA, false)));
}

}  // namespace
