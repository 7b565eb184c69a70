// The built product, build/win32/Vantorix.fmx, checked as a file: what it
// exports, which libraries it needs, and the strings and version numbers the
// host reads from it.  Both lanes read it with the portable PE reader; the
// win64 lane also reads it through the Windows resource API.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "host/entry.h"
#include "pe/image.h"
#include "resources/string_ids.h"
#include "tests/support/image_contents.h"
#include "tests/support/plugin.h"
#include "tests/support/sha256.h"
#include "tools/regfile/file_io.h"

namespace {

constexpr uint16_t kGermanGermany = 1031;

// The product built beside this lane's build tree (build/win32 next to
// build/linux or build/win64), or the file VX_PRODUCT_DLL names.
std::string ProductPath() {
  const char *chosen = std::getenv("VX_PRODUCT_DLL");
  if (chosen != nullptr && *chosen != 0) return chosen;
  const std::string own = hostsim::DefaultPluginPath();
  const std::size_t slash = own.find_last_of("/\\");
  return (slash == std::string::npos ? std::string(".") : own.substr(0, slash)) + "/../win32/Vantorix.fmx";
}

std::string MissingProduct(const std::string &why) {
  return why +
         "\nThe win32 product must be built before these tests: cmake --preset win32 && "
         "cmake --build --preset win32 (scripts/build-all does it), or set VX_PRODUCT_DLL to its path.";
}

// Every string of the table, by id.  Null: the maker's own line, which must
// be a single non-empty line.
const std::map<unsigned, const char *> &ExpectedStrings() {
  static const std::map<unsigned, const char *> strings = {
      {IDS_PLUGIN_NAME, "Vantorix"},
      {IDS_PLUGIN_DESCRIPTION, nullptr},
      {IDS_PLUGIN_OPTIONS, "VX007YYYYnY"},
      {144, "Vantorix-Version"},
      {146, "Vantorix-GetRegistryKey"},
      {147, "Vantorix-ListRegistryKeys"},
      {148, "Vantorix-ListRegistryValues"},
      {149, "Vantorix-SetRegistryKey"},
      {150, "Vantorix-DeleteRegistryKey"},
      {151, "Vantorix-DeleteRegistryValue"},
      {IDS_VERSION_TEXT, "Vantorix Plugin 2.0"},
      {IDS_ERROR_CAPTION, "Vantorix Plugin Error"},
      {IDS_ERROR_FORMAT, "error %li"},
  };
  return strings;
}

void ExpectString(unsigned id, const std::string &text) {
  const char *expected = ExpectedStrings().at(id);
  if (expected != nullptr) {
    EXPECT_EQ(text, expected) << "string " << id;
  } else {
    EXPECT_FALSE(text.empty()) << "string " << id;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << "string " << id << " is not one line";
  }
  // The error box loads these into 64-byte buffers.
  if (id == IDS_ERROR_CAPTION || id == IDS_ERROR_FORMAT) {
    EXPECT_LE(text.size(), 63u) << "string " << id;
  }
}

// The keys of the version resource's string block, in order, and their
// values.  Null: the maker's own line, not empty.
struct VersionString {
  const char *key;
  const char *value;
};
const VersionString kVersionStrings[] = {
    {"Comments", ""},
    {"CompanyName", nullptr},
    {"FileDescription", "Vantorix Plugin 2.0"},
    {"FileVersion", "2.0"},
    {"InternalName", nullptr},
    {"LegalCopyright", nullptr},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "VANTORIX.FMX"},
    {"PrivateBuild", ""},
    {"ProductName", "Vantorix Plugin 2.0"},
    {"ProductVersion", "2, 0, 0, 0"},
    {"SpecialBuild", ""},
};

void ExpectVersionString(const VersionString &expected, const std::string &value) {
  if (expected.value != nullptr) {
    EXPECT_EQ(value, expected.value) << expected.key;
  } else {
    EXPECT_FALSE(value.empty()) << expected.key;
  }
}

void ExpectVersionNumbers(uint32_t fileMS, uint32_t fileLS, uint32_t productMS, uint32_t productLS, uint32_t mask,
                          uint32_t flags, uint32_t os, uint32_t type, uint32_t subtype, uint32_t dateMS,
                          uint32_t dateLS) {
  EXPECT_EQ(fileMS, 0x00020000u) << "file version 2.0";
  EXPECT_EQ(fileLS, 0u) << "file version .0.0";
  EXPECT_EQ(productMS, 0x00020000u) << "product version 2.0";
  EXPECT_EQ(productLS, 0u) << "product version .0.0";
  EXPECT_EQ(mask, 0x3Fu);
  EXPECT_EQ(flags, 0x20u);
  EXPECT_EQ(os, 0x4u);
  EXPECT_EQ(type, 0x1u);
  EXPECT_EQ(subtype, 0u);
  EXPECT_EQ(dateMS, 0u);
  EXPECT_EQ(dateLS, 0u);
}

void ExpectVersionInfo(const vxtest::VersionInfo &info) {
  const pe::FixedFileInfo &fixed = info.fixed;
  EXPECT_EQ(fixed.signature, 0xFEEF04BDu);
  ExpectVersionNumbers(fixed.fileVersionMS, fixed.fileVersionLS, fixed.productVersionMS, fixed.productVersionLS,
                       fixed.flagsMask, fixed.flags, fixed.os, fixed.type, fixed.subtype, fixed.dateMS, fixed.dateLS);
  ASSERT_EQ(info.stringTables.size(), 1u);
  EXPECT_EQ(info.stringTables[0].first, "040904e4");
  const auto &strings = info.stringTables[0].second;
  std::vector<std::string> keys;
  for (const auto &entry : strings) keys.push_back(entry.first);
  std::vector<std::string> expectedKeys;
  for (const VersionString &v : kVersionStrings) expectedKeys.push_back(v.key);
  EXPECT_EQ(keys, expectedKeys);
  for (std::size_t i = 0; i < strings.size() && i < expectedKeys.size(); ++i) {
    if (strings[i].first == kVersionStrings[i].key) ExpectVersionString(kVersionStrings[i], strings[i].second);
  }
  EXPECT_EQ(info.translation, (std::vector<uint16_t>{0x0409, 0x04E4}));
}

class ProductImageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(image_.Load(ProductPath())) << MissingProduct(image_.Error()); }
  pe::Image image_;
};

TEST_F(ProductImageTest, IsA32BitLibraryExportingOnlyTheUndecoratedEntryPoint) {
  EXPECT_FALSE(image_.Is64Bit());
  EXPECT_TRUE(image_.IsLibrary());
  EXPECT_EQ(vxtest::ExportNames(image_), std::vector<std::string>{"FMExternCallProc"});
}

TEST_F(ProductImageTest, ImportsOnlyTheSystemLibraries) {
  const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL", "SHLWAPI.DLL", "MSVCRT.DLL"};
  const std::vector<std::string> libraries = vxtest::ImportedLibraries(image_);
  EXPECT_FALSE(libraries.empty());
  for (std::string library : libraries) {
    std::transform(library.begin(), library.end(), library.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_TRUE(allowed.count(library)) << "imports " << library;
  }
}

TEST_F(ProductImageTest, CarriesEveryStringUnderGermanAndNothingElse) {
  std::map<unsigned, std::string> found;
  for (uint16_t block : image_.ResourceIds(pe::kResourceTypeString)) {
    const std::vector<pe::Resource> filed = image_.Resources(pe::kResourceTypeString, block);
    ASSERT_EQ(filed.size(), 1u) << "string block " << block << " is filed under several languages";
    EXPECT_EQ(filed[0].language, kGermanGermany) << "string block " << block;
    std::vector<std::string> entries;
    ASSERT_TRUE(vxtest::StringBlockTexts(filed[0].data, &entries)) << "string block " << block << " is malformed";
    for (unsigned i = 0; i < 16; ++i) {
      if (!entries[i].empty()) found[(block - 1u) * 16 + i] = entries[i];
    }
  }
  std::set<unsigned> ids, expectedIds;
  for (const auto &entry : found) ids.insert(entry.first);
  for (const auto &entry : ExpectedStrings()) expectedIds.insert(entry.first);
  EXPECT_EQ(ids, expectedIds);
  EXPECT_EQ(found.count(145), 0u) << "index 1 has no function, so 145 holds no string";
  for (const auto &entry : found) {
    if (ExpectedStrings().count(entry.first)) ExpectString(entry.first, entry.second);
  }
}

TEST_F(ProductImageTest, CarriesTheVersionResourceUnderGerman) {
  EXPECT_EQ(image_.ResourceIds(pe::kResourceTypeVersion), std::vector<uint16_t>{1});
  const std::vector<pe::Resource> filed = image_.Resources(pe::kResourceTypeVersion, 1);
  ASSERT_EQ(filed.size(), 1u);
  EXPECT_EQ(filed[0].language, kGermanGermany);
  vxtest::VersionInfo info;
  std::string error;
  ASSERT_TRUE(vxtest::ParseVersionInfo(filed[0].data, &info, &error)) << error;
  ExpectVersionInfo(info);
}

// This lane's own build of the plug-in exports the same entry point.
TEST(LanePluginTest, ExportsTheUndecoratedEntryPoint) {
#ifdef _WIN32
  pe::Image image;
  ASSERT_TRUE(image.Load(hostsim::DefaultPluginPath())) << image.Error();
  EXPECT_EQ(image.Is64Bit(), sizeof(void *) == 8);
  EXPECT_EQ(vxtest::ExportNames(image), std::vector<std::string>{"FMExternCallProc"});
  HMODULE module = LoadLibraryA(hostsim::DefaultPluginPath().c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_NE(reinterpret_cast<void *>(GetProcAddress(module, "FMExternCallProc")), nullptr);
  FreeLibrary(module);
#else
  pe::Image image;
  if (image.Load(hostsim::DefaultPluginPath())) {
    // The 32-bit lane's plug-in is the product itself, mapped by hostsim's
    // own loader.
    EXPECT_EQ(vxtest::ExportNames(image), std::vector<std::string>{"FMExternCallProc"});
    EXPECT_NE(reinterpret_cast<void *>(vxtest::LoadedPlugin().entry()), reinterpret_cast<void *>(&FMExternCallProc));
    return;
  }
  void *library = dlopen(hostsim::DefaultPluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  void *entry = dlsym(library, "FMExternCallProc");
  ASSERT_NE(entry, nullptr) << "no symbol FMExternCallProc";
  Dl_info info;
  ASSERT_NE(dladdr(entry, &info), 0);
  EXPECT_STREQ(info.dli_sname, "FMExternCallProc");
  // The plug-in's own, not one linked into this test program.
  EXPECT_NE(entry, reinterpret_cast<void *>(&FMExternCallProc));
  dlclose(library);
#endif
}

// A lane that tests the product's own bytes has loaded exactly them.
TEST(ProductUnderTestTest, IsTheLoadedModulesFile) {
#ifndef VX_PRODUCT_UNDER_TEST
  GTEST_SKIP() << "this lane tests its own build of the plug-in";
#else
  const std::string product = hostsim::BuildFilePath(VX_PRODUCT_UNDER_TEST);
  const std::string loaded = vxtest::LoadedPlugin().File();
  std::string loadedBytes, productBytes, error;
  bool exists = false;
  ASSERT_TRUE(regfile::ReadWholeFile(loaded, &loadedBytes, &exists, &error) && exists) << loaded << error;
  ASSERT_TRUE(regfile::ReadWholeFile(product, &productBytes, &exists, &error) && exists)
      << MissingProduct("cannot read " + product + error);
  ASSERT_FALSE(productBytes.empty());
  EXPECT_TRUE(loadedBytes == productBytes) << loaded << " (SHA-256 " << vxtest::Sha256Hex(loadedBytes) << ") is not "
                                           << product << " (SHA-256 " << vxtest::Sha256Hex(productBytes) << ")";
#endif
}

// The same file through the Windows resource API, as the host reads it.
class ProductResourceApiTest : public ::testing::Test {
 protected:
#ifdef _WIN32
  void SetUp() override {
    path_ = ProductPath();
    module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << MissingProduct("cannot load " + path_ + " as a data file (error " +
                                                  std::to_string(GetLastError()) + ")");
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  // The resource of this type and id filed under German (Germany).
  std::string GermanResource(LPCSTR type, unsigned id) {
    HRSRC found = FindResourceExA(module_, type, MAKEINTRESOURCEA(id), MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    if (found == nullptr) return std::string();
    HGLOBAL loaded = LoadResource(module_, found);
    const void *data = loaded ? LockResource(loaded) : nullptr;
    return data ? std::string(static_cast<const char *>(data), SizeofResource(module_, found)) : std::string();
  }

  static BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::set<WORD> *>(languages)->insert(language);
    return TRUE;
  }

  std::set<WORD> Languages(LPCSTR type, unsigned id) {
    std::set<WORD> languages;
    EnumResourceLanguagesA(module_, type, MAKEINTRESOURCEA(id), &AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
  }

  std::string path_;
  HMODULE module_ = nullptr;
#endif
};

TEST_F(ProductResourceApiTest, StringsResolveUnderGerman) {
#ifndef _WIN32
  GTEST_SKIP() << "the Windows resource API is on the win64 lane";
#else
  for (const auto &entry : ExpectedStrings()) {
    const unsigned id = entry.first;
    const unsigned block = id / 16 + 1;
    EXPECT_EQ(Languages(RT_STRING, block), std::set<WORD>{kGermanGermany}) << "string " << id;
    std::vector<std::string> entries;
    ASSERT_TRUE(vxtest::StringBlockTexts(GermanResource(RT_STRING, block), &entries)) << "string " << id;
    ExpectString(id, entries[id % 16]);
    char text[256] = {};
    const int length = LoadStringA(module_, id, text, sizeof text);
    EXPECT_EQ(std::string(text, static_cast<std::size_t>(std::max(length, 0))), entries[id % 16]) << "string " << id;
  }
  char text[256] = {};
  EXPECT_EQ(LoadStringA(module_, 145, text, sizeof text), 0) << "string 145: " << text;
#endif
}

TEST_F(ProductResourceApiTest, VersionResourceReadsAsTabled) {
#ifndef _WIN32
  GTEST_SKIP() << "the Windows version API is on the win64 lane";
#else
  EXPECT_EQ(Languages(RT_VERSION, 1), std::set<WORD>{kGermanGermany});
  // The order of the keys, from the resource's own bytes.
  vxtest::VersionInfo info;
  std::string error;
  ASSERT_TRUE(vxtest::ParseVersionInfo(GermanResource(RT_VERSION, 1), &info, &error)) << error;
  ExpectVersionInfo(info);

  // The numbers and values, through the version API.
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path_.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(path_.c_str(), 0, size, data.data()));
  void *value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &value, &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  ExpectVersionNumbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                       fixed->dwProductVersionLS, fixed->dwFileFlagsMask, fixed->dwFileFlags, fixed->dwFileOS,
                       fixed->dwFileType, fixed->dwFileSubtype, fixed->dwFileDateMS, fixed->dwFileDateLS);
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(static_cast<const WORD *>(value)[0], 0x0409);
  EXPECT_EQ(static_cast<const WORD *>(value)[1], 0x04E4);
  for (const VersionString &expected : kVersionStrings) {
    const std::string query = std::string("\\StringFileInfo\\040904e4\\") + expected.key;
    value = nullptr;
    length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), &value, &length)) << expected.key;
    const char *text = static_cast<const char *>(value);
    ExpectVersionString(expected, text != nullptr && length > 0 ? std::string(text) : std::string());
  }
#endif
}

}  // namespace
