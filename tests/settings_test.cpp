// Start-up settings: the settings key and its value "format_string", read or
// created at every accepted initialisation, and the start-up error box.
#include <cstdint>
#include <string>
#include <vector>

#include "host/current_block.h"
#include "resources/string_ids.h"
#include "settings/settings.h"
#include "tests/support/import_hook.h"
#include "tests/support/message_boxes.h"
#include "tests/support/plugin.h"
#include "tests/support/registry_state.h"
#include "tests/support/scratch_key.h"

#ifndef _WIN32
#include <vxplatform/testing.h>
#endif

namespace {

using vxtest::ShownBox;

const std::string kKey = SettingsKeyPath;
const std::string kValue = "format_string";
// What the plug-in writes into a new key: a length byte and 16 characters.
const std::string kDefaultValue =
    "\x10"
    "1 (###) ###-####";
// The record after a default or a read of the plug-in's own value: the value
// and a terminator.
const std::string kDefaultRecord = kDefaultValue + std::string(1, '\0');

class SettingsTest : public vxtest::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    saved_ = std::make_unique<vxtest::SavedRegistryKey>(HKEY_CURRENT_USER, kKey);
    boxes_ = std::make_unique<vxtest::MessageBoxRecorder>();
    ASSERT_EQ(boxes_->problem(), "") << "message boxes cannot be recorded";
    // Every test starts from a first start: no settings key.
    vxtest::DeleteKeyTree(HKEY_CURRENT_USER, kKey);
    ASSERT_FALSE(vxtest::KeyExists(HKEY_CURRENT_USER, kKey));
  }

  void TearDown() override {
#ifndef _WIN32
    vxplatform::ClearInjectedFailures();
    vxplatform::DenyWriteAccess(HKEY_CURRENT_USER, kKey.c_str(), false);
#endif
    boxes_.reset();
    saved_.reset();  // puts the developer's own settings back
    PluginTest::TearDown();
  }

  // Runs the settings in this program's own copy of the plug-in's code, so
  // that the record it leaves can be inspected.
  void RunInitSettings() {
    CurrentCallBlock = host().PrepareBlock(CallInit);
    InitSettings();
  }

  std::string Record(std::size_t count) const {
    return std::string(reinterpret_cast<const char *>(FormatSettingRecord()), count);
  }

  std::vector<ShownBox> Boxes() const { return boxes_->Boxes(); }
  void ClearBoxes() { boxes_->Clear(); }

  static ShownBox ErrorBox(LONG code) {
    return ShownBox{nullptr, "error " + std::to_string(code), "Vantorix Plugin Error", MB_TASKMODAL};
  }

  static std::optional<vxtest::RegistryValue> StoredValue() {
    return vxtest::ReadValue(HKEY_CURRENT_USER, kKey, kValue);
  }

 private:
  std::unique_ptr<vxtest::SavedRegistryKey> saved_;
  std::unique_ptr<vxtest::MessageBoxRecorder> boxes_;
};

#ifdef _WIN32
// What the plug-in hands RegSetValueExA, seen through its import: Windows
// itself stores a zero after string data that lacks one, so the stored
// value alone cannot show what the plug-in wrote.
struct SetValueCall {
  std::string name;
  DWORD type;
  std::string data;
};
std::vector<SetValueCall> setValueCalls;
using SetValueProc = LONG(WINAPI *)(HKEY, LPCSTR, DWORD, DWORD, const BYTE *, DWORD);
SetValueProc originalSetValue = nullptr;

LONG WINAPI RecordSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size) {
  setValueCalls.push_back(
      SetValueCall{name ? name : "", type, std::string(reinterpret_cast<const char *>(data), size)});
  return originalSetValue(key, name, reserved, type, data, size);
}
#endif

TEST_F(SettingsTest, FirstStartCreatesTheKeyWithTheDefaultValue) {
#ifdef _WIN32
  vxtest::ImportHook hook(reinterpret_cast<HMODULE>(vxtest::LoadedPlugin().instance()), "advapi32.dll",
                          "RegSetValueExA", reinterpret_cast<void *>(&RecordSetValue));
  ASSERT_TRUE(hook.installed()) << hook.problem();
  originalSetValue = reinterpret_cast<SetValueProc>(hook.original());
  setValueCalls.clear();
#endif
  EXPECT_EQ(host().Init(4), 4);

  EXPECT_EQ(vxtest::KeyClass(HKEY_CURRENT_USER, kKey), std::optional<std::string>("REG_SZ"));
  const std::optional<vxtest::RegistryTree> tree = vxtest::CaptureTree(HKEY_CURRENT_USER, kKey);
  ASSERT_TRUE(tree.has_value());
  // The one value, 17 bytes with no terminator, and nothing else.
#ifdef _WIN32
  ASSERT_EQ(setValueCalls.size(), 1u);
  EXPECT_EQ(setValueCalls[0].name, kValue);
  EXPECT_EQ(setValueCalls[0].type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(setValueCalls[0].data, kDefaultValue) << vxtest::Printable(setValueCalls[0].data);
  const std::vector<vxtest::RegistryValue> expected = {{kValue, REG_SZ, kDefaultValue + '\0'}};
#else
  const std::vector<vxtest::RegistryValue> expected = {{kValue, REG_SZ, kDefaultValue}};
#endif
  EXPECT_EQ(tree->values, expected);
  EXPECT_TRUE(tree->subkeys.empty());
  EXPECT_TRUE(Boxes().empty()) << Boxes().front();
}

TEST_F(SettingsTest, SecondStartReadsTheValueAndShowsNoBox) {
  ASSERT_EQ(host().Init(4), 4);
  ASSERT_EQ(host().Init(4), 4);
  RunInitSettings();
  EXPECT_EQ(Record(18), kDefaultRecord) << vxtest::Printable(Record(18));
  EXPECT_TRUE(Boxes().empty()) << Boxes().front();
}

struct StoredCase {
  const char *what;
  DWORD type;
  std::string stored;
  std::string record;  // the record's leading bytes after the start
  LONG box;            // the code the box shows, or -1 for no box
};

TEST_F(SettingsTest, AnExistingValueIsReadIntoTheRecord) {
  const std::string hashes(30, '#');
  // String values carry their terminator, as Windows stores them.
  const StoredCase cases[] = {
      {"the plug-in's own value", REG_SZ, kDefaultValue + '\0', kDefaultRecord, -1},
      {"the plug-in's own 17 bytes", REG_BINARY, kDefaultValue, kDefaultRecord, -1},
      {"a shorter format", REG_SZ, std::string("\x05(###)\0", 7), std::string("\x05(###)\0", 7), -1},
      {"characters beyond the length", REG_SZ,
       std::string("\x03"
                   "abcdefgh\0",
                   10),
       std::string("\x03"
                   "abc\0",
                   5),
       -1},
      {"31 bytes, the most that is read", REG_BINARY, "\x1E" + hashes, "\x1E" + hashes + '\0', -1},
      {"31 bytes of string", REG_SZ, "\x1D" + hashes.substr(1) + '\0', "\x1D" + hashes.substr(1) + '\0', -1},
      {"32 bytes are not read", REG_BINARY, "\x1F" + hashes + "#", kDefaultRecord, 0},
      {"32 bytes of string", REG_SZ, "\x1E" + hashes + '\0', kDefaultRecord, 0},
      {"no bytes at all", REG_BINARY, "", kDefaultRecord, -1},
      {"a length of zero", REG_BINARY, std::string("\0abc", 4), std::string("\0\0", 2), -1},
      {"binary data", REG_BINARY, "\x02xyz", std::string("\x02xy\0", 4), -1},
      // Text entered by hand: its first character claims more characters
      // than were read, and the text is cut to the bytes read.
      {"hand-entered text", REG_SZ, std::string("Hello\0", 6),
       std::string("\x05"
                   "ello\0\0",
                   7),
       -1},
      {"a hand-entered number", REG_SZ, std::string("(555) 123-4567 ext 89\0", 22),
       std::string("\x15"
                   "555) 123-4567 ext 89\0\0",
                   23),
       -1},
      {"hand-entered bytes without a terminator", REG_BINARY, "(555) 123-4567 ext 89",
       std::string("\x14"
                   "555) 123-4567 ext 89\0",
                   22),
       -1},
      {"a first byte above 127", REG_BINARY,
       "\xFF"
       "abcd",
       std::string("\x04"
                   "abcd\0",
                   6),
       -1},
      {"30 bytes of hand-entered text", REG_SZ, "~" + std::string(28, 'x') + '\0',
       "\x1D" + std::string(28, 'x') + std::string(2, '\0'), -1},
      {"a single byte", REG_BINARY, "\x07", std::string("\0\0", 2), -1},
  };
  for (const StoredCase &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(vxtest::WriteValue(HKEY_CURRENT_USER, kKey, kValue, c.type, c.stored), ERROR_SUCCESS);
    ClearBoxes();
    RunInitSettings();
    EXPECT_EQ(Record(c.record.size()), c.record) << vxtest::Printable(Record(c.record.size()));
    const std::vector<ShownBox> expected = c.box < 0 ? std::vector<ShownBox>{} : std::vector<ShownBox>{ErrorBox(c.box)};
    EXPECT_EQ(Boxes(), expected);
    // An existing value is only ever read.
    const vxtest::RegistryValue unchanged{kValue, c.type, c.stored};
    EXPECT_EQ(StoredValue(), unchanged);
  }
}

TEST_F(SettingsTest, AMissingValueShowsError2OnEveryStartAndIsNeverWrittenAgain) {
  ASSERT_EQ(host().Init(4), 4);
  ASSERT_EQ(vxtest::DeleteValue(HKEY_CURRENT_USER, kKey, kValue), ERROR_SUCCESS);
  ClearBoxes();

  EXPECT_EQ(host().Init(4), 4);
  EXPECT_EQ(host().Init(255), 4);
  EXPECT_EQ(Boxes(), (std::vector<ShownBox>{ErrorBox(ERROR_FILE_NOT_FOUND), ErrorBox(ERROR_FILE_NOT_FOUND)}));
  EXPECT_TRUE(vxtest::KeyExists(HKEY_CURRENT_USER, kKey));
  EXPECT_FALSE(StoredValue().has_value());

  RunInitSettings();
  EXPECT_EQ(Record(18), kDefaultRecord);
  EXPECT_EQ(Boxes().size(), 3u);
}

TEST_F(SettingsTest, EveryAcceptedInitialisationRunsTheSettingsAgain) {
  ASSERT_EQ(host().Init(4), 4);
  ASSERT_EQ(vxtest::DeleteKeyTree(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
  EXPECT_EQ(host().Init(255), 4);
  const std::optional<vxtest::RegistryValue> stored = StoredValue();
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->data.substr(0, 17), kDefaultValue);
  EXPECT_TRUE(Boxes().empty()) << Boxes().front();
}

TEST_F(SettingsTest, ARefusedHostTouchesNothingAndShowsNothing) {
  for (int16_t offered : {int16_t{3}, int16_t{256}, static_cast<int16_t>(0x8000)}) {
    SCOPED_TRACE(offered);
    // No key: none is created.
    vxtest::DeleteKeyTree(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(host().Init(offered), -1);
    EXPECT_FALSE(vxtest::KeyExists(HKEY_CURRENT_USER, kKey));
    // A key without its value, which an accepted host would be told about.
    ASSERT_EQ(vxtest::WriteValue(HKEY_CURRENT_USER, kKey, "other", REG_SZ, "x"), ERROR_SUCCESS);
    EXPECT_EQ(host().Init(offered), -1);
    EXPECT_FALSE(StoredValue().has_value());
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
  }
}

TEST_F(SettingsTest, TheBoxShowsTheCodeWithTheStringsOfTheCallBlocksModule) {
  // This program holds no strings of its own: the box can only find them
  // through the module handle that the host passed in the call block.
  const LONG codes[] = {0, 2, 5, 1011, -1, INT32_MIN, INT32_MAX};
  for (LONG code : codes) {
    ClearBoxes();
    CurrentCallBlock = host().PrepareBlock(CallInit);
    ShowErrorBox(IDS_ERROR_CAPTION, code);
    EXPECT_EQ(Boxes(), std::vector<ShownBox>{ErrorBox(code)}) << "code " << code;
  }
}

TEST_F(SettingsTest, AKeyThatCannotBeCreatedOrOpenedShowsTheStatus) {
  VX_SKIP_ON_WINE("denies access and injects failures");
#ifndef _WIN32
  // Access denied to an existing key.
  ASSERT_EQ(host().Init(4), 4);
  ASSERT_TRUE(vxplatform::DenyWriteAccess(HKEY_CURRENT_USER, kKey.c_str()));
  const std::size_t open = vxplatform::OpenKeyHandleCount();
  EXPECT_EQ(host().Init(4), 4);
  EXPECT_EQ(Boxes(), std::vector<ShownBox>{ErrorBox(ERROR_ACCESS_DENIED)});
  EXPECT_EQ(vxplatform::OpenKeyHandleCount(), open);
  vxplatform::DenyWriteAccess(HKEY_CURRENT_USER, kKey.c_str(), false);

  // Any other failure of the create.
  ClearBoxes();
  vxtest::DeleteKeyTree(HKEY_CURRENT_USER, kKey);
  vxplatform::InjectFailure("RegCreateKeyExA", ERROR_CANTOPEN);
  EXPECT_EQ(host().Init(4), 4);
  EXPECT_EQ(Boxes(), std::vector<ShownBox>{ErrorBox(ERROR_CANTOPEN)});
  EXPECT_FALSE(vxtest::KeyExists(HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(vxplatform::OpenKeyHandleCount(), open);
#endif
}

TEST_F(SettingsTest, AFailedWriteOrReadShowsItsStatusAndClosesTheKey) {
  VX_SKIP_ON_WINE("injects failures");
#ifndef _WIN32
  const std::size_t open = vxplatform::OpenKeyHandleCount();

  // New key, the value cannot be written: the key stays without it.
  vxplatform::InjectFailure("RegSetValueExA", ERROR_CANTWRITE);
  RunInitSettings();
  EXPECT_EQ(Boxes(), std::vector<ShownBox>{ErrorBox(ERROR_CANTWRITE)});
  EXPECT_TRUE(vxtest::KeyExists(HKEY_CURRENT_USER, kKey));
  EXPECT_FALSE(StoredValue().has_value());
  EXPECT_EQ(vxplatform::OpenKeyHandleCount(), open);

  // Existing value, its size is known but the read fails: the default stays,
  // not a length cut to the size.
  ClearBoxes();
  ASSERT_EQ(vxtest::WriteValue(HKEY_CURRENT_USER, kKey, kValue, REG_SZ,
                               "\x03"
                               "abc"),
            ERROR_SUCCESS);
  vxplatform::InjectFailure("RegQueryValueExA", ERROR_CANTREAD, 1);
  RunInitSettings();
  EXPECT_EQ(Boxes(), std::vector<ShownBox>{ErrorBox(ERROR_CANTREAD)});
  EXPECT_EQ(Record(18), kDefaultRecord) << vxtest::Printable(Record(18));
  EXPECT_EQ(vxplatform::OpenKeyHandleCount(), open);
#endif
}

TEST(SavedRegistryKeyTest, PutsTheKeyBackExactlyWhateverTheTestDid) {
  vxtest::ScratchKey scratch("saved");
  const std::string top = scratch.Sub("missing");
  const std::string path = top + "\\key";

  // A key that did not exist, nor the key above it, is removed with it.
  {
    vxtest::SavedRegistryKey saved(HKEY_CURRENT_USER, path);
    ASSERT_EQ(vxtest::WriteValue(HKEY_CURRENT_USER, path, "v", REG_SZ, "x"), ERROR_SUCCESS);
  }
  EXPECT_FALSE(vxtest::KeyExists(HKEY_CURRENT_USER, top));
  EXPECT_TRUE(vxtest::KeyExists(HKEY_CURRENT_USER, scratch.path()));

  // An existing key with its class, values and a subkey comes back as it was.
  HKEY key = nullptr;
  char keyClass[] = "kept class";
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(vxtest::WriteValue(HKEY_CURRENT_USER, path, "text", REG_SZ,
                               std::string("\x10"
                                           "abc\0",
                                           5)),
            ERROR_SUCCESS);
  ASSERT_EQ(vxtest::WriteValue(HKEY_CURRENT_USER, path, "", REG_BINARY, std::string("\0\x01\xFF", 3)), ERROR_SUCCESS);
  ASSERT_EQ(vxtest::WriteValue(HKEY_CURRENT_USER, path + "\\inner", "n", REG_DWORD, std::string("\x2A\0\0\0", 4)),
            ERROR_SUCCESS);
  const std::optional<vxtest::RegistryTree> before = vxtest::CaptureTree(HKEY_CURRENT_USER, path);
  ASSERT_TRUE(before.has_value());
  EXPECT_EQ(before->keyClass, "kept class");
  EXPECT_EQ(before->values.size(), 2u);
  EXPECT_EQ(before->subkeys.size(), 1u);
  {
    vxtest::SavedRegistryKey saved(HKEY_CURRENT_USER, path);
    vxtest::DeleteKeyTree(HKEY_CURRENT_USER, path);
    ASSERT_EQ(vxtest::WriteValue(HKEY_CURRENT_USER, path, "text", REG_SZ, "changed"), ERROR_SUCCESS);
  }
  EXPECT_EQ(vxtest::CaptureTree(HKEY_CURRENT_USER, path), before);
}

}  // namespace
