// .reg documents into and out of the registry: on linux the stand-in, under
// wine a real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "charsets/charsets.h"
#include "tests/support/scratch_key.h"
#include "tools/regfile/registry_io.h"

namespace {

using namespace std::string_literals;
using regfile::Document;
using regfile::Key;
using regfile::Value;
using vxtest::KeyHandle;
using vxtest::ScratchKey;

const std::string kUser = "HKEY_CURRENT_USER\\";

Value V(const std::string &name, uint32_t type, const std::string &data) { return Value{name, false, type, data}; }

// String data as the model holds it: the UTF-8 text in UTF-16LE.
std::string Sz(const std::string &utf8) {
  std::string bytes;
  EXPECT_TRUE(charsets::Utf8ToUtf16le(utf8, &bytes));
  return bytes;
}

std::string Lower(std::string text) {
  for (char &c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return text;
}

bool Exists(const std::string &path) { return KeyHandle(HKEY_CURRENT_USER, path, KEY_READ).status() == ERROR_SUCCESS; }

LONG Query(const std::string &path, const char *name, DWORD *type, std::string *data) {
  KeyHandle key(HKEY_CURRENT_USER, path, KEY_READ);
  char buffer[1024];
  DWORD size = sizeof buffer;
  const LONG status = RegQueryValueExA(key.get(), name, nullptr, type, reinterpret_cast<BYTE *>(buffer), &size);
  if (status == ERROR_SUCCESS) data->assign(buffer, size);
  return status;
}

TEST(RegFileRegistryTest, ImportedValuesExportUnchanged) {
  ScratchKey scratch("regfile");
  const std::string top = kUser + scratch.path();
  Document in;
  in.keys.push_back(Key{top + "\\Demo",
                        false,
                        {V("", 1, Sz("default\0"s)), V("Greeting", 1, Sz("Grüezi\0"s)), V("Count", 4, "\x2A\0\0\0"s),
                         V("Blob", 3, "\x00\xFF\x10"s), V("Path", 2, Sz("%TEMP%\\x\0"s)),
                         V("List", 7, Sz("a\0bé\0\0"s)), V("Quad", 11, "\1\2\3\4\5\6\7\x08"s), V("None", 0, "\x01"s)}});
  in.keys.push_back(Key{top + "\\Demo\\Child", false, {}});
  std::string error;
  ASSERT_TRUE(regfile::Import(in, &error)) << error;

  // Asked for in another case and with a doubled separator, the keys come
  // out as the registry stores them.
  Document out;
  std::vector<std::string> skipped;
  ASSERT_TRUE(regfile::Export(Lower(top) + "\\\\demo\\", &out, &skipped, &error)) << error;
  EXPECT_TRUE(skipped.empty());
  ASSERT_EQ(out.keys.size(), 2u);
  EXPECT_EQ(out.keys[0].path, top + "\\Demo");
  EXPECT_EQ(out.keys[1].path, top + "\\Demo\\Child");
  EXPECT_TRUE(out.keys[1].values.empty());
  ASSERT_EQ(out.keys[0].values.size(), in.keys[0].values.size());
  for (const Value &expected : in.keys[0].values) {
    bool found = false;
    for (const Value &actual : out.keys[0].values) {
      if (actual.name != expected.name) continue;
      found = true;
      EXPECT_EQ(actual.type, expected.type) << expected.name;
      EXPECT_EQ(actual.data, expected.data) << expected.name;
    }
    EXPECT_TRUE(found) << expected.name;
  }
}

// Windows compares names through the upper case of every letter, accented
// ones too: sections and values that differ only so are one key and one
// value, and a path asked for in another case finds them.  Breaks it
// catches: the stand-in folding ASCII only (two keys), its value index
// hashing names folded otherwise than it compares them (two values), and
// the export's path lookup folding ASCII only (the key not found).
TEST(RegFileRegistryTest, NamesDifferingInTheCaseOfAccentedLettersAreOne) {
  ScratchKey scratch("regfile");
  const std::string top = kUser + scratch.path();
  Document in;
  in.keys.push_back(Key{top + "\\Café", false, {V("Zähler", 1, Sz("1\0"s)), V("ÿœšž", 1, Sz("x\0"s))}});
  in.keys.push_back(Key{top + "\\CAFÉ", false, {V("ZÄHLER", 1, Sz("2\0"s)), V("ŸŒŠŽ", 1, Sz("y\0"s))}});
  std::string error;
  ASSERT_TRUE(regfile::Import(in, &error)) << error;

  Document out;
  std::vector<std::string> skipped;
  ASSERT_TRUE(regfile::Export(top + "\\cafÉ", &out, &skipped, &error)) << error;
  ASSERT_EQ(out.keys.size(), 1u);
  EXPECT_EQ(out.keys[0].path, top + "\\Café");
  ASSERT_EQ(out.keys[0].values.size(), 2u);
  EXPECT_EQ(out.keys[0].values[0].name, "Zähler");
  EXPECT_EQ(out.keys[0].values[0].data, Sz("2\0"s));
  EXPECT_EQ(out.keys[0].values[1].name, "ÿœšž");
  EXPECT_EQ(out.keys[0].values[1].data, Sz("y\0"s));
}

TEST(RegFileRegistryTest, DeletionsRemoveKeysTreesAndValues) {
  ScratchKey scratch("regfile");
  const std::string top = kUser + scratch.path();
  Document setUp;
  setUp.keys.push_back(
      Key{top + "\\Keep", false, {V("a", 1, Sz("1\0"s)), V("b", 1, Sz("2\0"s)), V("", 1, Sz("d\0"s))}});
  setUp.keys.push_back(Key{top + "\\Gone\\Deep\\Deeper", false, {V("x", 4, "\1\0\0\0"s)}});
  std::string error;
  ASSERT_TRUE(regfile::Import(setUp, &error)) << error;

  Document deletions;
  Key keep{top + "\\Keep", false, {V("a", 0, ""), V("", 0, ""), V("never there", 0, "")}};
  for (Value &value : keep.values) value.remove = true;
  deletions.keys.push_back(keep);
  deletions.keys.push_back(Key{top + "\\Gone", true, {}});
  deletions.keys.push_back(Key{top + "\\Never there", true, {}});
  ASSERT_TRUE(regfile::Import(deletions, &error)) << error;

  DWORD type = 0;
  std::string data;
  EXPECT_EQ(Query(scratch.path() + "\\Keep", "a", &type, &data), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(scratch.path() + "\\Keep", "", &type, &data), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(Query(scratch.path() + "\\Keep", "b", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, "2\0"s);
  EXPECT_FALSE(Exists(scratch.path() + "\\Gone"));
  EXPECT_FALSE(Exists(scratch.path() + "\\Never there"));
}

// Windows' wide functions carry every name and text whole; the stand-in's
// 8-bit registry refuses what Windows-1252 lacks, before changing anything.
TEST(RegFileRegistryTest, TextBeyondWindows1252) {
  const struct {
    const char *what;
    std::string subkey;
    Value value;
    const char *named;  // in the stand-in's refusal
  } cases[] = {
      {"a key name", "Erdős 中文", V("a", 1, Sz("x\0"s)), "U+0151"},
      {"a value name", "Demo", V("Erdős 中文", 4, "\1\0\0\0"s), "U+0151"},
      {"text", "Demo", V("", 7, Sz("Erdős\0中文 😀\0\0"s)), "U+0151"},
      {"string data that is not UTF-16", "Demo", V("odd", 2, "\x41"s), "not Unicode text"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    ScratchKey scratch("regfile");
    const std::string top = kUser + scratch.path();
    Document in;
    in.keys.push_back(Key{top + "\\First", false, {}});
    in.keys.push_back(Key{top + "\\" + c.subkey, false, {c.value}});
    std::string error;
#ifdef _WIN32
    ASSERT_TRUE(regfile::Import(in, &error)) << error;
    Document out;
    std::vector<std::string> skipped;
    ASSERT_TRUE(regfile::Export(top + "\\" + c.subkey, &out, &skipped, &error)) << error;
    EXPECT_TRUE(skipped.empty());
    ASSERT_EQ(out.keys.size(), 1u);
    EXPECT_EQ(out.keys[0].path, top + "\\" + c.subkey);
    ASSERT_EQ(out.keys[0].values.size(), 1u);
    EXPECT_EQ(out.keys[0].values[0].name, c.value.name);
    EXPECT_EQ(out.keys[0].values[0].type, c.value.type);
    EXPECT_EQ(out.keys[0].values[0].data, c.value.data);
    // SHDeleteKeyA would see these names through the code page.
    ASSERT_TRUE(regfile::Import(Document{{Key{top + "\\" + c.subkey, true, {}}}}, &error)) << error;
#else
    EXPECT_FALSE(regfile::Import(in, &error));
    EXPECT_NE(error.find(c.named), std::string::npos) << error;
    EXPECT_FALSE(Exists(scratch.path() + "\\First"));
#endif
  }
}

TEST(RegFileRegistryTest, ExportingAMissingKeyFails) {
  ScratchKey scratch("regfile");
  Document out;
  std::vector<std::string> skipped;
  std::string error;
  EXPECT_FALSE(regfile::Export(kUser + scratch.path() + "\\Missing", &out, &skipped, &error));
  EXPECT_NE(error.find("Missing"), std::string::npos) << error;
  EXPECT_FALSE(regfile::Export("HKEY_NOWHERE\\Software", &out, &skipped, &error));
}

}  // namespace
