// SetRegistryKey: writes a string or multi-string value and answers it as
// read back, unconverted.
#include "tests/support/registry_scratch.h"

#ifndef _WIN32
#include "vxplatform/testing.h"
#endif

namespace {

using vxtest::Param;
using vxtest::StoredValue;
using vxtest::SystemMessage;

class SetRegistryKeyTest : public vxtest::RegistryTest {
 protected:
  hostsim::ExternalResult Set(const std::string &path, const std::string &name, const std::string &type,
                              const std::string &data) {
    return Call(vxtest::kSetRegistryKey, Param({"HKEY_CURRENT_USER", path, name, type, data}));
  }
  StoredValue Stored(const std::string &path, const std::string &name) {
    StoredValue value;
    EXPECT_TRUE(ReadValue(path, name, &value)) << path << " " << name;
    return value;
  }
};

TEST_F(SetRegistryKeyTest, OnlyTheExactMultiStringTypeTextWritesAMultiString) {
  struct Case {
    std::string typeText;
    DWORD type;
    std::string keyClass;
  };
  const Case cases[] = {
      {"REG_MULTI_SZ", REG_MULTI_SZ, "REG_MULTI_SZ"},
      {"reg_multi_sz", REG_SZ, "REG_SZ"},
      {"REG_MULTI_SZ ", REG_SZ, "REG_SZ"},
      {"REG_MULTI", REG_SZ, "REG_SZ"},
      {"REG_DWORD", REG_SZ, "REG_SZ"},
      {"REG_EXPAND_SZ", REG_SZ, "REG_SZ"},
      {"", REG_SZ, "REG_SZ"},
      {"REG_SZ", REG_SZ, "REG_SZ"},
  };
  int n = 0;
  for (const Case &c : cases) {
    // A key that the call creates carries the chosen type text as its class.
    const std::string path = Below("K" + std::to_string(++n) + "\\Leaf");
    EXPECT_EQ(Set(path, "v", c.typeText, "data").reply, "data") << c.typeText;
    const StoredValue stored = Stored(path, "v");
    EXPECT_EQ(stored.type, c.type) << c.typeText;
    const std::string terminators = c.type == REG_MULTI_SZ ? std::string(2, '\0') : std::string(1, '\0');
    EXPECT_EQ(stored.data, "data" + terminators) << c.typeText;
    EXPECT_EQ(KeyClass(path), c.keyClass) << c.typeText;
    EXPECT_EQ(KeyClass(Below("K" + std::to_string(n))), c.keyClass) << c.typeText;
  }
}

TEST_F(SetRegistryKeyTest, AnExistingKeyKeepsItsClass) {
  VX_SKIP_ON_WINE(
      "wine replaces the class of an existing key that RegCreateKeyExA opens "
      "(docs/windows-behaviour.md: Class of an existing key)");
  CreateKey(Below("Existing"), "Original");
  EXPECT_EQ(Set(Below("Existing"), "v", "REG_MULTI_SZ", "x").reply, "x");
  EXPECT_EQ(KeyClass(Below("Existing")), "Original");
}

TEST_F(SetRegistryKeyTest, EmptyDataWritesAnEmptyString) {
  for (const char *type : {"REG_SZ", "REG_MULTI_SZ"}) {
    const hostsim::ExternalResult result = Set(Scratch(), type, type, "");
    EXPECT_TRUE(result.touched) << type;
    EXPECT_EQ(result.reply, "") << type;
  }
  EXPECT_EQ(Stored(Scratch(), "REG_SZ").data, std::string(1, '\0'));
  EXPECT_EQ(Stored(Scratch(), "REG_MULTI_SZ").data, std::string(2, '\0'));
}

TEST_F(SetRegistryKeyTest, ReadBackKeepsItsLimitAndAnswersAnUnconvertedMessageBeyondIt) {
  struct Case {
    const char *type;
    std::size_t length;
    bool whole;
  };
  const Case cases[] = {
      {"REG_SZ", 248, true},       {"REG_SZ", 249, true},        {"REG_SZ", 250, false},
      {"REG_MULTI_SZ", 248, true}, {"REG_MULTI_SZ", 249, false}, {"REG_MULTI_SZ", 250, false},
  };
  for (const Case &c : cases) {
    const std::string name = std::string(c.type) + std::to_string(c.length);
    const std::string data(c.length, '\xE9');  // unconverted, also in the message
    EXPECT_EQ(Set(Scratch(), name, c.type, data).reply, c.whole ? data : SystemMessage(ERROR_MORE_DATA, false)) << name;
    // Written all the same, with its terminators.
    const std::size_t terminators = std::string(c.type) == "REG_MULTI_SZ" ? 2 : 1;
    EXPECT_EQ(Stored(Scratch(), name).data, data + std::string(terminators, '\0')) << name;
  }
}

TEST_F(SetRegistryKeyTest, RepliesAreTheBytesWrittenUnconverted) {
  const std::string data =
      "Z\xFC"
      "rich\r\nline\nend \xC4";
  EXPECT_EQ(Set(Scratch(), "v", "REG_SZ", data).reply, data);
  EXPECT_EQ(Set(Scratch(), "m", "REG_MULTI_SZ", data).reply, data);
}

TEST_F(SetRegistryKeyTest, EmptyValueNameWritesTheDefaultValue) {
  EXPECT_EQ(Set(Scratch(), "", "REG_SZ", "default").reply, "default");
  EXPECT_EQ(Stored(Scratch(), "").data, std::string("default", 8));
}

TEST_F(SetRegistryKeyTest, AWriteThatFailsAnswersItsUnconvertedMessage) {
  VX_SKIP_ON_WINE("injects failures into the write and the read-back");
#ifndef _WIN32
  vxplatform::SetMessageText(ERROR_CANTWRITE,
                             "\xC9"
                             "criture refus\xE9"
                             "e.");
  vxplatform::InjectFailure("RegSetValueExA", ERROR_CANTWRITE);
  EXPECT_EQ(Set(Scratch(), "v", "REG_SZ", "x").reply,
            "\xC9"
            "criture refus\xE9"
            "e.");
  EXPECT_FALSE(ValueExists(Scratch(), "v"));
  vxplatform::InjectFailure("RegQueryValueExA", ERROR_CANTREAD);
  EXPECT_EQ(Set(Scratch(), "v", "REG_SZ", "x").reply, SystemMessage(ERROR_CANTREAD, false));
  EXPECT_EQ(Stored(Scratch(), "v").data, std::string("x", 2));
  vxplatform::SetMessageText(ERROR_CANTWRITE, nullptr);
#endif
}

TEST_F(SetRegistryKeyTest, AKeyOutOfReachAnswersNothingAndWritesNothing) {
  VX_SKIP_ON_WINE("denies write access to a key");
#ifndef _WIN32
  CreateKey(Below("ReadOnly"));
  ASSERT_TRUE(vxplatform::DenyWriteAccess(HKEY_CURRENT_USER, Below("ReadOnly").c_str()));
  EXPECT_TRUE(NoReply(Set(Below("ReadOnly"), "v", "REG_SZ", "x")));
  EXPECT_TRUE(NoReply(Set(Below("ReadOnly\\Below"), "v", "REG_SZ", "x")));
  vxplatform::DenyWriteAccess(HKEY_CURRENT_USER, Below("ReadOnly").c_str(), false);
  EXPECT_FALSE(ValueExists(Below("ReadOnly"), "v"));
  EXPECT_FALSE(KeyExists(Below("ReadOnly\\Below")));
#endif
}

TEST_F(SetRegistryKeyTest, MessageRepliesStayInTheSystemSet) {
  // With a French user interface the message carries accented letters,
  // which this function sends as the system gives them.
  EXPECT_EQ(Set(Scratch(), "v", "REG_SZ", std::string(250, 'x')).reply, SystemMessage(ERROR_MORE_DATA, false));
  EXPECT_EQ(Set(Scratch(), "v", "REG_SZ", std::string(251, 'x')).reply, SystemMessage(ERROR_INVALID_PARAMETER, false));
}

}  // namespace
