// ListRegistryKeys and ListRegistryValues: one paragraph a subkey or value,
// under the wait cursor, and the growable string the lists are built in.
#include <algorithm>
#include <map>
#include <sstream>

#include "registry/byte_string.h"
#include "registry/param_frame.h"
#include "tests/support/registry_scratch.h"

#ifndef _WIN32
#include "vxplatform/testing.h"
#endif

namespace {

using vxtest::Param;
using vxtest::SystemMessage;

// The reply's paragraphs, sorted: for listings whose order is the
// platform's (wine enumerates values by name, Windows and the stand-in in
// the order of creation; docs/windows-behaviour.md, Order of values).
std::vector<std::string> SortedEntries(const std::string &reply) {
  std::vector<std::string> entries;
  std::string entry;
  std::istringstream in(reply);
  while (std::getline(in, entry, '\r')) entries.push_back(entry);
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string ListMessage(LONG status) { return SystemMessage(status, true, kListBufferSize); }

class ListTest : public vxtest::RegistryTest {
 protected:
  hostsim::ExternalResult ListKeys(const std::string &path) {
    return Call(vxtest::kListRegistryKeys, Param({"HKEY_CURRENT_USER", path}));
  }
  hostsim::ExternalResult ListValues(const std::string &path) {
    return Call(vxtest::kListRegistryValues, Param({"HKEY_CURRENT_USER", path}));
  }
};

// --- ListRegistryKeys ---------------------------------------------------------

TEST_F(ListTest, SubkeysAreSeparatedBySingleCarriageReturns) {
  for (const char *name : {"Alpha", "Beta", "Gamma"}) CreateKey(Below(std::string("Keys\\") + name));
  PutString(Below("Keys"), "value", "not listed");
  CreateKey(Below("Keys\\Beta\\Grandchild"));
  const hostsim::ExternalResult result = ListKeys(Below("Keys"));
  EXPECT_EQ(result.reply, "Alpha\rBeta\rGamma");
  EXPECT_EQ(result.reply.size(), 16u);

  CreateKey(Below("One\\Only"));
  EXPECT_EQ(ListKeys(Below("One")).reply, "Only");
}

TEST_F(ListTest, SubkeyNamesAreConvertedToTheHostSet) {
  const std::string names[] = {"Caf\xE9", "\xC4rger", "\xA0Space", "Plain"};
  std::vector<std::string> expected;
  for (const std::string &name : names) {
    CreateKey(Below("Names\\" + name));
    expected.push_back(vxtest::HostText(name));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(SortedEntries(ListKeys(Below("Names")).reply), expected);
  EXPECT_EQ(vxtest::HostText("Caf\xE9"), "Caf\x8E");
}

TEST_F(ListTest, KeysMessageForAKeyWithoutSubkeysOrAMissingOne) {
  // No subkeys: the message for "no more items", never an empty text.
  PutString(Below("Leaf"), "v", "values are not subkeys");
  EXPECT_EQ(ListKeys(Below("Leaf")).reply, ListMessage(ERROR_NO_MORE_ITEMS));
  // A missing key: the message for an invalid handle, whatever the open said.
  EXPECT_EQ(ListKeys(Below("Missing")).reply, ListMessage(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(KeyExists(Below("Missing")));
}

TEST_F(ListTest, KeysOfAKeyThatCannotBeOpenedAnswerTheInvalidHandleMessage) {
  VX_SKIP_ON_WINE("denies write access to a key");
#ifndef _WIN32
  CreateKey(Below("ReadOnly\\Child"));
  ASSERT_TRUE(vxplatform::DenyWriteAccess(HKEY_CURRENT_USER, Below("ReadOnly").c_str()));
  EXPECT_EQ(ListKeys(Below("ReadOnly")).reply, ListMessage(ERROR_INVALID_HANDLE));
#endif
}

TEST_F(ListTest, AnEmptyKeyPathListsTheRootItself) {
  VX_SKIP_ON_WINE("lists a root of the machine's real registry");
#ifndef _WIN32
  CreateKey("Another");
  PutString("", "rootValue", "x");
  const std::vector<std::string> keys = {"Another", "Software"};
  EXPECT_EQ(SortedEntries(ListKeys("").reply), keys);
  EXPECT_EQ(SortedEntries(Call(vxtest::kListRegistryKeys, "HKEY_CURRENT_USER").reply), keys);
  EXPECT_EQ(ListValues("").reply, "rootValue, [REG_SZ]");
  EXPECT_EQ(Call(vxtest::kListRegistryValues, "HKEY_CURRENT_USER").reply, "rootValue, [REG_SZ]");
  vxplatform::ResetRegistry();
  EXPECT_EQ(ListKeys("").reply, ListMessage(ERROR_NO_MORE_ITEMS));
  EXPECT_EQ(ListValues("").reply, ListMessage(ERROR_NO_MORE_ITEMS));
#endif
}

// --- ListRegistryValues -------------------------------------------------------

TEST_F(ListTest, ValuesCarryTheirTypeLabel) {
  PutString(Below("PathCount"), "Path", "C:\\");
  PutValue(Below("PathCount"), "Count", REG_DWORD, std::string("\x03\x00\x00\x00", 4));
  const hostsim::ExternalResult result = ListValues(Below("PathCount"));
  EXPECT_EQ(result.reply.size(), 33u);
  const std::vector<std::string> expected = {"Count, [REG_DWORD]", "Path, [REG_SZ]"};
  EXPECT_EQ(SortedEntries(result.reply), expected);
#ifndef _WIN32
  EXPECT_EQ(result.reply, "Path, [REG_SZ]\rCount, [REG_DWORD]");  // in the order of creation
#endif
  PutString(Below("One"), "v", "x");
  EXPECT_EQ(ListValues(Below("One")).reply, "v, [REG_SZ]");
}

TEST_F(ListTest, TypesWithoutALabelOfTheirOwnAreLabelledAsStrings) {
  const std::map<std::string, std::pair<DWORD, std::string>> values = {
      {"sz", {REG_SZ, "REG_SZ"}},
      {"expand", {REG_EXPAND_SZ, "REG_EXPAND_SZ"}},
      {"binary", {REG_BINARY, "REG_BINARY"}},
      {"dword", {REG_DWORD, "REG_DWORD"}},
      {"multi", {REG_MULTI_SZ, "REG_MULTI_SZ"}},
      {"none", {REG_NONE, "REG_SZ"}},
      {"bigendian", {REG_DWORD_BIG_ENDIAN, "REG_SZ"}},
      {"link", {REG_LINK, "REG_SZ"}},
      {"resources", {REG_RESOURCE_LIST, "REG_SZ"}},
      {"qword", {REG_QWORD, "REG_SZ"}},
      {"unknown", {0x1234, "REG_SZ"}},
  };
  std::vector<std::string> expected;
  for (const auto &[name, typeAndLabel] : values) {
    const std::string data = typeAndLabel.first == REG_QWORD ? std::string(8, '\0') : std::string(4, '\0');
    PutValue(Below("Types"), name, typeAndLabel.first, data);
    expected.push_back(name + ", [" + typeAndLabel.second + "]");
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(SortedEntries(ListValues(Below("Types")).reply), expected);
}

TEST_F(ListTest, TheDefaultValueIsListedWithAnEmptyName) {
  PutString(Below("Default"), "", "x");
  EXPECT_EQ(ListValues(Below("Default")).reply, ", [REG_SZ]");
}

TEST_F(ListTest, ValueNamesAreConvertedLabelsAreNot) {
  PutString(Below("Names"), "N\xE4me \xDF", "x");
  EXPECT_EQ(ListValues(Below("Names")).reply, "N\x8Ame \xA7, [REG_SZ]");
}

TEST_F(ListTest, ValuesMessageForAKeyWithoutValuesOrThatCannotBeOpened) {
  CreateKey(Below("Empty\\Child"));
  EXPECT_EQ(ListValues(Below("Empty")).reply, ListMessage(ERROR_NO_MORE_ITEMS));
  // A missing key: the message for the open's own status.
  HKEY key = nullptr;
  const LONG openStatus = RegOpenKeyExA(HKEY_CURRENT_USER, Below("Missing").c_str(), 0, KEY_ALL_ACCESS, &key);
  ASSERT_NE(openStatus, ERROR_SUCCESS);
  EXPECT_EQ(ListValues(Below("Missing")).reply, ListMessage(openStatus));
  EXPECT_FALSE(KeyExists(Below("Missing")));
}

TEST_F(ListTest, ValuesOfAKeyThatCannotBeOpenedAnswerTheOpensMessage) {
  VX_SKIP_ON_WINE("denies write access to a key");
#ifndef _WIN32
  PutString(Below("ReadOnly"), "v", "x");
  ASSERT_TRUE(vxplatform::DenyWriteAccess(HKEY_CURRENT_USER, Below("ReadOnly").c_str()));
  EXPECT_EQ(ListValues(Below("ReadOnly")).reply, ListMessage(ERROR_ACCESS_DENIED));
#endif
}

TEST_F(ListTest, AValueNameTooLongForTheBufferEndsTheList) {
  VX_SKIP_ON_WINE(
      "relies on values enumerating in the order of creation, which wine does not keep "
      "(docs/windows-behaviour.md: Order of values)");
  PutString(Below("Long"), "first", "1");
  PutString(Below("Long"), std::string(600, 'n'), "2");
  PutString(Below("Long"), "after", "3");
  EXPECT_EQ(ListValues(Below("Long")).reply, "first, [REG_SZ]");
}

// --- both lists ---------------------------------------------------------------

TEST_F(ListTest, AFailedEnumerationStepEndsTheList) {
  VX_SKIP_ON_WINE("injects failures into the enumeration");
#ifndef _WIN32
  for (const char *name : {"A", "B", "C"}) {
    CreateKey(Below(std::string("K\\") + name));
    PutString(Below("K"), name, "x");
  }
  struct Case {
    vxtest::RegistryFunction function;
    const char *enumeration;
    const char *firstEntry;
  };
  for (const Case &c : {Case{vxtest::kListRegistryKeys, "RegEnumKeyA", "A"},
                        Case{vxtest::kListRegistryValues, "RegEnumValueA", "A, [REG_SZ]"}}) {
    // The first step fails otherwise than with "no more items": no reply.
    vxplatform::InjectFailure(c.enumeration, ERROR_CANTREAD);
    EXPECT_TRUE(NoReply(Call(c.function, Param({"HKEY_CURRENT_USER", Below("K")})))) << c.enumeration;
    // A later step fails: the entries before it are the reply.
    vxplatform::InjectFailure(c.enumeration, ERROR_CANTREAD, 1);
    EXPECT_EQ(Call(c.function, Param({"HKEY_CURRENT_USER", Below("K")})).reply, c.firstEntry) << c.enumeration;
  }
#endif
}

TEST_F(ListTest, ListsThatCannotGetMemoryAnswerTheOutOfMemoryMessage) {
  VX_SKIP_ON_WINE("makes memory allocation fail");
#ifndef _WIN32
  CreateKey(Below("K\\A"));
  PutString(Below("K"), "A", "x");
  const std::string expected = ListMessage(ERROR_NOT_ENOUGH_MEMORY);
  for (vxtest::RegistryFunction function : {vxtest::kListRegistryKeys, vxtest::kListRegistryValues}) {
    const std::size_t live = vxplatform::LiveGlobalAllocations();
    // Every allocation of the first entry fails: the name's conversion and
    // the list's storage.
    vxplatform::FailGlobalAlloc(2);
    EXPECT_EQ(Call(function, Param({"HKEY_CURRENT_USER", Below("K")})).reply, expected) << function;
    EXPECT_EQ(vxplatform::LiveGlobalAllocations(), live) << function;
  }
#endif
}

TEST_F(ListTest, TheWaitCursorShowsUntilTheArrowReturnsOnEveryPath) {
  VX_SKIP_ON_WINE("reads the cursors through the stand-in");
#ifndef _WIN32
  CreateKey(Below("K\\A"));
  PutString(Below("K"), "A", "x");
  CreateKey(Below("Empty"));
  const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  ASSERT_NE(wait, arrow);
  struct Path {
    const char *what;
    std::string parameter;
    int failResizes;
    int failAllocs;
  };
  const Path paths[] = {
      {"listing", Param({"HKEY_CURRENT_USER", Below("K")}), 0, 0},
      {"root outside the table", Param({"hkey_current_user", Below("K")}), 0, 0},
      {"cut key path", Param({"HKEY_CURRENT_USER", std::string(300, 'k')}), 0, 0},
      {"missing key", Param({"HKEY_CURRENT_USER", Below("Missing")}), 0, 0},
      {"empty key", Param({"HKEY_CURRENT_USER", Below("Empty")}), 0, 0},
      {"reply not sized", Param({"HKEY_CURRENT_USER", Below("K")}), 1, 0},
      {"out of memory", Param({"HKEY_CURRENT_USER", Below("K")}), 0, 2},
  };
  for (vxtest::RegistryFunction function : {vxtest::kListRegistryKeys, vxtest::kListRegistryValues}) {
    for (const Path &path : paths) {
      vxplatform::ClearCursorHistory();
      host().FailResizes(path.failResizes);
      vxplatform::FailGlobalAlloc(path.failAllocs);
      const hostsim::ExternalResult result = Call(function, path.parameter);
      const std::vector<HCURSOR> expected = {wait, arrow};
      EXPECT_EQ(vxplatform::CursorHistory(), expected) << function << " " << path.what;
      if (path.failResizes > 0) {
        EXPECT_TRUE(NoReply(result)) << function;
      }
    }
  }
#endif
}

// --- the list's storage ---------------------------------------------------------

TEST(ByteStringTest, GrowsByDoublingAndKeepsEveryByte) {
  ByteString text;
  std::string expected;
  uint32_t growths = 0;
  uint32_t capacity = 0;
  for (int i = 0; i < 100000; ++i) {
    const std::string piece = std::to_string(i) + (i % 7 == 0 ? std::string("\0\r", 2) : std::string(","));
    ASSERT_TRUE(text.Append(piece.data(), static_cast<uint32_t>(piece.size())));
    expected += piece;
    if (text.capacity() != capacity) {
      // Doubling: amortised constant time an append.
      if (capacity != 0) {
        EXPECT_EQ(text.capacity(), 2 * capacity);
      }
      capacity = text.capacity();
      ++growths;
    }
  }
  ASSERT_TRUE(text.AppendText("end"));
  expected += "end";
  EXPECT_TRUE(text.Append("ignored", 0));
  // Past 2 GB nothing is appended, and nothing is read of the bytes either.
  EXPECT_FALSE(text.Append("x", 0x80000000u));
  EXPECT_EQ(std::string(text.data(), text.length()), expected);
  EXPECT_LE(growths, 14u);  // 256 bytes doubled past 600 000
  text.Release();
  EXPECT_EQ(text.length(), 0u);
  EXPECT_EQ(text.data(), nullptr);
}

TEST(ByteStringTest, AFailedGrowthLeavesTheStringAsItWas) {
  VX_SKIP_ON_WINE("makes memory allocation fail");
#ifndef _WIN32
  const std::size_t live = vxplatform::LiveGlobalAllocations();
  {
    ByteString text;
    vxplatform::FailGlobalAlloc(1);
    EXPECT_FALSE(text.Append("a", 1));
    EXPECT_EQ(text.length(), 0u);
    ASSERT_TRUE(text.Append(std::string(text.capacity() + 256, 'a').data(), 256));
    const uint32_t capacity = text.capacity();
    const std::string more(capacity, 'b');
    vxplatform::FailGlobalAlloc(1);
    EXPECT_FALSE(text.Append(more.data(), capacity));
    EXPECT_EQ(std::string(text.data(), text.length()), std::string(256, 'a'));
    EXPECT_EQ(text.capacity(), capacity);
    EXPECT_TRUE(text.Append(more.data(), capacity));
    EXPECT_EQ(text.length(), 256 + capacity);
  }
  // The destructor frees the storage.
  EXPECT_EQ(vxplatform::LiveGlobalAllocations(), live);
#endif
}

}  // namespace
