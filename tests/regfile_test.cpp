// The .reg reader and writer on the in-memory model, and atomic saves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "charsets/charsets.h"
#include "tools/regfile/file_io.h"
#include "tools/regfile/lines.h"
#include "tools/regfile/regfile.h"

namespace {

using namespace std::string_literals;
using regfile::Document;
using regfile::Format;
using regfile::Key;
using regfile::Value;

Value V(const std::string &name, uint32_t type, const std::string &data) { return Value{name, false, type, data}; }

// String data as the model holds it: the UTF-8 text in UTF-16LE.
std::string Sz(const std::string &utf8) {
  std::string bytes;
  EXPECT_TRUE(charsets::Utf8ToUtf16le(utf8, &bytes));
  return bytes;
}

std::string Written(const Document &document, Format format) {
  std::string bytes, error;
  EXPECT_TRUE(regfile::Write(document, format, &bytes, &error)) << error;
  return bytes;
}

Document Parsed(const std::string &bytes) {
  Document document;
  std::string error;
  EXPECT_TRUE(regfile::Parse(bytes, &document, &error)) << error;
  return document;
}

std::string ParseError(const std::string &bytes) {
  Document document;
  std::string error;
  EXPECT_FALSE(regfile::Parse(bytes, &document, &error)) << "parsed: " << bytes;
  return error;
}

// The text of a file as UTF-16LE with its byte order mark, as the editor
// writes it.
std::string Utf16(const std::string &utf8) {
  std::u32string text;
  std::size_t bad = 0;
  EXPECT_TRUE(charsets::DecodeUtf8(utf8, &text, &bad));
  std::string bytes = "\xFF\xFE";
  for (char32_t c : text) charsets::AppendUtf16le(c, &bytes);
  return bytes;
}

std::string Utf8ToAnsi(const std::string &utf8) {
  std::u32string text;
  std::size_t bad = 0;
  std::string out;
  EXPECT_TRUE(charsets::DecodeUtf8(utf8, &text, &bad));
  EXPECT_TRUE(charsets::UnicodeToCp1252(text, &out, &bad));
  return out;
}

void ExpectSame(const Document &expected, const Document &actual) {
  ASSERT_EQ(expected.keys.size(), actual.keys.size());
  for (std::size_t k = 0; k < expected.keys.size(); ++k) {
    const Key &a = expected.keys[k], &b = actual.keys[k];
    EXPECT_EQ(a.path, b.path);
    EXPECT_EQ(a.remove, b.remove) << a.path;
    ASSERT_EQ(a.values.size(), b.values.size()) << a.path;
    for (std::size_t v = 0; v < a.values.size(); ++v) {
      EXPECT_EQ(a.values[v].name, b.values[v].name) << a.path;
      EXPECT_EQ(a.values[v].remove, b.values[v].remove) << a.values[v].name;
      EXPECT_EQ(a.values[v].type, b.values[v].type) << a.values[v].name;
      EXPECT_EQ(a.values[v].data, b.values[v].data) << a.values[v].name;
    }
  }
}

// Every form the writer has to choose between, with accented text in names
// and data; with `beyondCp1252`, text that only the Unicode formats hold.
Document EveryKindOfValue(bool beyondCp1252) {
  Document document;
  Key key{"HKEY_CURRENT_USER\\Software\\Grüezi", false, {}};
  key.values = {
      V("", 1, Sz("default\0"s)),             // @=
      V("Greeting", 1, Sz("Grüezi € 5\0"s)),  // accents and the euro sign
      V("Quote \"and\" back\\slash", 1, Sz("C:\\Temp\\\"x\"\0"s)),
      V("Empty", 1, Sz("\0"s)),
      V("Lines", 1, Sz("one\r\ntwo\0"s)),  // no quoted form: hex(1)
      V("Unterminated", 1, Sz("abc"s)),    // hex(1)
      V("Nothing", 1, ""s),
      V("Expand", 2, Sz("%PATH%;été\0"s)),
      V("Binary", 3, "\x00\x01\xFE\xFF"s),
      V("Count", 4, "\x2A\x00\x00\x80"s),
      V("Short dword", 4, "\x01\x02"s),  // hex(4)
      V("Big endian", 5, "\x00\x00\x01\x00"s),
      V("Link", 6, "\\Registry\\x"s),
      V("Multi", 7, Sz("one\0twö\0\0"s)),
      V("Resource", 8, "\x01\x02"s),
      V("Descriptor", 9, ""s),
      V("Requirements", 10, "\xAA"s),
      V("Quad", 11, "\x01\x02\x03\x04\x05\x06\x07\x08"s),
      V("None", 0, "\x10\x20"s),
      V("Odd type", 0x1234, "\x01"s),
      V("Long", 3, std::string(300, '\x5A')),  // wrapped over many lines
      V("Gone", 0, ""s),
  };
  key.values.back().remove = true;
  document.keys.push_back(key);
  document.keys.push_back(Key{"HKEY_LOCAL_MACHINE\\Software\\Empty key", false, {}});
  document.keys.push_back(Key{"HKEY_CURRENT_USER\\Software\\Old", true, {}});
  document.keys.push_back(Key{"HKEY_USERS", false, {V("At root", 1, Sz("r\0"s))}});
  if (beyondCp1252) {
    document.keys.push_back(Key{"HKEY_CURRENT_USER\\Software\\Erdős 中文",
                                false,
                                {V("Erdős 中文", 1, Sz("Erdős 中文 😀\0"s)), V("Odd", 1, "\x41"s)}});
  }
  return document;
}

TEST(RegFileTest, EveryValueTypeRoundTripsInEachFormat) {
  const struct {
    const char *name;
    Format format;
  } formats[] = {
      {"Unicode", Format::Unicode}, {"Unicode in UTF-8", Format::UnicodeUtf8}, {"REGEDIT4", Format::Regedit4}};
  for (const auto &format : formats) {
    SCOPED_TRACE(format.name);
    const Document document = EveryKindOfValue(format.format != Format::Regedit4);
    ExpectSame(document, Parsed(Written(document, format.format)));
  }
}

TEST(RegFileTest, WritesTheEditorsForms) {
  Document document;
  document.keys.push_back(
      Key{"HKEY_CURRENT_USER\\Software\\Demo",
          false,
          {V("", 1, Sz("x\0"s)), V("a\\b\"c", 1, Sz("C:\\\"q\"\0"s)), V("n", 4, "\x2A\x00\x00\x00"s),
           V("b", 3, "\x01\xAB"s), V("e", 2, Sz("%A%\0"s)), V("q", 11, "\x01\0\0\0\0\0\0\0"s)}});
  const std::string expected4 =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Demo]\r\n"
      "@=\"x\"\r\n"
      "\"a\\\\b\\\"c\"=\"C:\\\\\\\"q\\\"\"\r\n"
      "\"n\"=dword:0000002a\r\n"
      "\"b\"=hex:01,ab\r\n"
      "\"e\"=hex(2):25,41,25,00\r\n"
      "\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
      "\r\n";
  EXPECT_EQ(Written(document, Format::Regedit4), expected4);
  // The Unicode format: the same lines in UTF-16LE, except that the string
  // types' data is UTF-16LE too.
  std::string expected5 = expected4;
  expected5.replace(0, 8, "Windows Registry Editor Version 5.00");
  expected5.replace(expected5.find("hex(2):25,41,25,00"), 18, "hex(2):25,00,41,00,25,00,00,00");
  EXPECT_EQ(Written(document, Format::Unicode), Utf16(expected5));
  EXPECT_EQ(Written(document, Format::UnicodeUtf8), expected5);
}

TEST(RegFileTest, LongDataIsWrappedWithContinuationsThatReadBack) {
  Document document;
  document.keys.push_back(Key{"HKEY_CURRENT_USER\\Software\\Demo", false, {V("Blob", 3, std::string(200, '\x11'))}});
  const std::string bytes = Written(document, Format::Regedit4);
  std::istringstream lines(bytes);
  std::string line;
  int continued = 0;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    EXPECT_LE(line.size(), 80u) << line;
    if (!line.empty() && line.back() == '\\') ++continued;
  }
  EXPECT_GE(continued, 6);
  ExpectSame(document, Parsed(bytes));
}

// The same registry content as the editor writes it in each format.
TEST(RegFileTest, ReadsUnicodeUtf8AndRegedit4Files) {
  const std::string body =
      "[HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9]\r\n"
      "\"Gr\xC3\xBC\xC3\x9F\"=\"\xE2\x82\xAC 5\"\r\n"
      "@=dword:00000010\r\n"
      "\r\n";
  const std::string unicode = "Windows Registry Editor Version 5.00\r\n\r\n" + body +
                              "[HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9\\Sub]\r\n"
                              "\"Path\"=hex(2):25,00,e9,00,25,00,00,00\r\n\r\n";
  const std::string regedit4 = Utf8ToAnsi("REGEDIT4\r\n\r\n" + body +
                                          "[HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9\\Sub]\r\n"
                                          "\"Path\"=hex(2):25,e9,25,00\r\n\r\n");

  Document expected;
  expected.keys.push_back(
      Key{"HKEY_CURRENT_USER\\Software\\Café", false, {V("Grüß", 1, Sz("€ 5\0"s)), V("", 4, "\x10\0\0\0"s)}});
  expected.keys.push_back(Key{"HKEY_CURRENT_USER\\Software\\Café\\Sub", false, {V("Path", 2, Sz("%é%\0"s))}});

  const std::pair<const char *, std::string> inputs[] = {
      {"UTF-16LE with BOM", Utf16(unicode)},
      {"UTF-8", unicode},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + unicode},
      {"UTF-16LE, LF line ends",
       Utf16("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9]\n"
             "\"Gr\xC3\xBC\xC3\x9F\"=\"\xE2\x82\xAC 5\"\n@=dword:10\n"
             "[HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9\\Sub]\n"
             "\"Path\"=hex(2):25,00,e9,00,\\\n  25,00,00,00\n")},
      {"REGEDIT4", regedit4},
  };
  for (const auto &input : inputs) {
    SCOPED_TRACE(input.first);
    ExpectSame(expected, Parsed(input.second));
  }
}

TEST(RegFileTest, ReadsDeletionsShortRootNamesAndComments) {
  const Document document = Parsed(
      "Windows Registry Editor Version 5.00\r\n"
      "; a comment\r\n"
      "[-HKCU\\Software\\Old]\r\n"
      "[hkey_local_machine\\Software\\Demo]\r\n"
      "\"Stale\"=-\r\n"
      "@ = -\r\n"
      "\"Spaced\" = \"x\"   \r\n");
  ASSERT_EQ(document.keys.size(), 2u);
  EXPECT_TRUE(document.keys[0].remove);
  EXPECT_EQ(document.keys[0].path, "HKEY_CURRENT_USER\\Software\\Old");
  EXPECT_EQ(document.keys[1].path, "HKEY_LOCAL_MACHINE\\Software\\Demo");
  ASSERT_EQ(document.keys[1].values.size(), 3u);
  EXPECT_TRUE(document.keys[1].values[0].remove);
  EXPECT_TRUE(document.keys[1].values[1].remove);
  EXPECT_EQ(document.keys[1].values[1].name, "");
  EXPECT_EQ(document.keys[1].values[2].data, Sz("x\0"s));
}

TEST(RegFileTest, AnEmptyFileIsAnEmptyRegistry) {
  EXPECT_TRUE(Parsed("").keys.empty());
  EXPECT_TRUE(Parsed("REGEDIT4\r\n").keys.empty());
}

TEST(RegFileTest, RefusesMalformedFilesWithTheirLine) {
  const std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string key = "[HKEY_CURRENT_USER\\Software\\Demo]\r\n";
  const struct {
    const char *what;
    std::string file;
    int line;
  } cases[] = {
      {"no header", "[HKEY_CURRENT_USER\\Software]\r\n", 1},
      {"misspelt header", "Windows Registry Editor Version 4.00\r\n", 1},
      {"value before any key", v5 + "\"a\"=\"b\"\r\n", 3},
      {"key without ']'", v5 + "[HKEY_CURRENT_USER\\Software\r\n", 3},
      {"unknown root", v5 + "[HKEY_NOWHERE\\Software]\r\n", 3},
      {"empty key name", v5 + "[HKEY_CURRENT_USER\\Software\\\\Demo]\r\n", 3},
      {"deleting a root", v5 + "[-HKEY_CURRENT_USER]\r\n", 3},
      {"unterminated string", v5 + key + "\"a\"=\"b\r\n", 4},
      {"unknown escape", v5 + key + "\"a\"=\"C:\\Temp\"\r\n", 4},
      {"text after a string", v5 + key + "\"a\"=\"b\" x\r\n", 4},
      {"no '='", v5 + key + "\"a\" \"b\"\r\n", 4},
      {"unknown value form", v5 + key + "\"a\"=qword:1\r\n", 4},
      {"dword too long", v5 + key + "\"a\"=dword:123456789\r\n", 4},
      {"dword not hex", v5 + key + "\"a\"=dword:12g4\r\n", 4},
      {"bad hex byte", v5 + key + "\"a\"=hex:01,2x3\r\n", 4},
      {"three-digit byte", v5 + key + "\"a\"=hex:01,234\r\n", 4},
      {"empty byte", v5 + key + "\"a\"=hex:01,,02\r\n", 4},
      {"bad hex(N)", v5 + key + "\"a\"=hex(z):01\r\n", 4},
      {"continuation at the end", v5 + key + "\"a\"=hex:01,\\\r\n", 4},
      {"error on a continuation line", v5 + key + "\"a\"=hex:01,\\\r\n  02,zz\r\n", 5},
      {"value under a deleted key", v5 + "[-HKEY_CURRENT_USER\\Software\\Demo]\r\n\"a\"=\"b\"\r\n", 4},
      {"not UTF-8", v5 + key + "\"a\"=\"\xFC\"\r\n", 4},
      // The registry's functions would cut these names at the NUL.
      {"NUL in a value name", v5 + key + "\"a\0b\"=\"first\"\r\n\"a\"=\"second\"\r\n"s, 4},
      {"NUL in a key path", v5 + "[HKEY_CURRENT_USER\\K\0L]\r\n\"a\"=\"b\"\r\n"s, 3},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    const std::string error = ParseError(c.file);
    EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << error;
  }
  // Unicode files name the line too.
  EXPECT_EQ(ParseError(Utf16(v5 + key + "\"a\"=hex:zz\r\n")).rfind("line 4: ", 0), 0u);
  EXPECT_EQ(ParseError(Utf16(v5 + key + "\"a\0b\"=\"first\"\r\n"s)).rfind("line 4: ", 0), 0u);
  EXPECT_EQ(ParseError(Utf16(v5 + "[HKEY_CURRENT_USER\\K\0L]\r\n"s)).rfind("line 3: ", 0), 0u);
}

// REGEDIT4 is Windows-1252 even when it was typed in UTF-8; that gets a
// word, naming the first line beyond ASCII.
TEST(RegFileTest, WarnsOfARegedit4FileInUtf8) {
  const std::string typed = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Demo]\r\n\"Greeting\"=\"Grüezi\"\r\n";
  Document document;
  std::string error, warning;
  ASSERT_TRUE(regfile::Parse(typed, &document, &error, &warning)) << error;
  EXPECT_EQ(warning.rfind("line 4: ", 0), 0u) << warning;
  EXPECT_EQ(document.keys.at(0).values.at(0).data, Sz("GrÃ¼ezi\0"s));
  ASSERT_TRUE(regfile::Parse(Utf8ToAnsi(typed), &document, &error, &warning)) << error;
  EXPECT_EQ(warning, "");
}

TEST(RegFileTest, RefusesToWriteWhatTheFormatCannotHold) {
  const struct {
    const char *what;
    Format format;
    Key key;
    const char *named;
  } cases[] = {
      {"a line break in a name", Format::Unicode, Key{"HKEY_CURRENT_USER\\Demo", false, {V("a\nb", 1, Sz("x\0"s))}},
       "line break"},
      {"REGEDIT4, a key path beyond Windows-1252", Format::Regedit4, Key{"HKEY_CURRENT_USER\\中文", false, {}},
       "U+4E2D"},
      {"REGEDIT4, text beyond Windows-1252", Format::Regedit4,
       Key{"HKEY_CURRENT_USER\\Demo", false, {V("a", 2, Sz("中\0"s))}}, "U+4E2D"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    Document document;
    document.keys.push_back(c.key);
    std::string bytes, error;
    EXPECT_FALSE(regfile::Write(document, c.format, &bytes, &error));
    EXPECT_NE(error.find(c.named), std::string::npos) << error;
  }
}

// The eight-byte scans against a plain loop over the bytes: every length up
// to 24 from every start address modulo 8, each sought byte at each place
// among bytes that share all but a bit with it (the high bit included), or
// among ASCII units; from the start, from the place and around it, and
// with limits around the place, the length and the eight-byte steps.
TEST(RegFileTest, ScansAgreeWithAByteLoop) {
  alignas(8) char buffer[40];
  char out[41];
  const char *const others[] = {"xx", "\0\0", "x\0", "\x8D\x8A", "\x0C\x0E", "\xA2\xDC", "\xFF\xFF"};
  const char marks[] = {'\r', '\n', '"', '\\', '\x80'};
  std::size_t mismatches = 0;
  std::string first;
  const auto check = [&](std::size_t got, std::size_t expected, std::string_view text, const char *what,
                         std::size_t arg) {
    if (got == expected) return;
    if (mismatches++ == 0) {
      first = std::string(what) + "(" + testing::PrintToString(std::string(text)) + ", " + std::to_string(arg) +
              ") gave " + std::to_string(got) + ", not " + std::to_string(expected);
    }
  };
  for (std::size_t shift = 0; shift < 8; ++shift) {
    for (std::size_t length = 0; length <= 24; ++length) {
      for (const char *other : others) {
        for (char mark : marks) {
          for (std::size_t place = 0; place <= length; ++place) {  // at length: nowhere
            for (std::size_t i = 0; i < sizeof buffer; ++i) buffer[i] = other[(i + shift) % 2];
            if (place < length) buffer[shift + place] = mark;
            const std::string_view text(buffer + shift, length);
            for (const auto &[a, b] : {std::pair{'\r', '\n'}, std::pair{'"', '\\'}}) {
              for (std::size_t from : {std::size_t{0}, std::size_t{1}, place - 1, place, place + 1}) {
                if (from > length) continue;
                std::size_t at = from;
                while (at < length && text[at] != a && text[at] != b) ++at;
                check(regfile::FindEither(text, from, a, b), at, text, "FindEither from", from);
              }
            }
            for (std::size_t most :
                 {place - 1, place, place + 1, length - 1, length, length + 1, std::size_t{8}, std::size_t{9}}) {
              if (most > length + 1) continue;
              std::fill(out, out + sizeof out, '#');
              std::size_t run = 0;
              while (run < length && run < most && static_cast<unsigned char>(text[run]) < 0x80) ++run;
              check(charsets::AsciiRunUtf8(text, most, out), run, text, "AsciiRunUtf8 most", most);
              check(std::string_view(out, run + 1) == std::string(text.substr(0, run)) + '#', true, text,
                    "AsciiRunUtf8's copy, most", most);
              // The same bytes as UTF-16LE units (a last odd byte is none).
              std::size_t units = 0;
              while (units < length / 2 && units < most && static_cast<unsigned char>(text[2 * units]) < 0x80 &&
                     text[2 * units + 1] == 0)
                ++units;
              std::fill(out, out + sizeof out, '#');
              check(charsets::AsciiRunUtf16le(text, most, out), units, text, "AsciiRunUtf16le most", most);
              bool copied = out[units] == '#';
              for (std::size_t k = 0; k < units; ++k) copied = copied && out[k] == text[2 * k];
              check(copied, true, text, "AsciiRunUtf16le's copy, most", most);
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0u) << "first: " << first;
}

class AtomicSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    // A folder of its own, so that runs side by side do not share it.
    std::random_device random;
    do {
      folder_ = std::filesystem::temp_directory_path() /
                ("vxsave-" + std::string(info->name()) + "-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(folder_));
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder_))
      names.push_back(entry.path().filename().string());
    return names;
  }
  static std::string Contents(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path folder_;
};

TEST_F(AtomicSaveTest, ReplacesTheFileAndLeavesNothingElse) {
  const std::string path = (folder_ / "registry.reg").string();
  std::string error;
  ASSERT_TRUE(regfile::SaveAtomically(path, "first", &error)) << error;
  ASSERT_TRUE(regfile::SaveAtomically(path, "second, longer", &error)) << error;
  EXPECT_EQ(Contents(path), "second, longer");
  EXPECT_EQ(Files(), std::vector<std::string>{"registry.reg"});

  std::string bytes;
  bool exists = false;
  ASSERT_TRUE(regfile::ReadWholeFile(path, &bytes, &exists, &error));
  EXPECT_TRUE(exists);
  EXPECT_EQ(bytes, "second, longer");
  ASSERT_TRUE(regfile::ReadWholeFile((folder_ / "missing.reg").string(), &bytes, &exists, &error));
  EXPECT_FALSE(exists);
}

TEST_F(AtomicSaveTest, AFailedRenameKeepsTheOldFileAndRemovesTheTemporaryOne) {
  // A folder where the file should go: the rename over it fails after the
  // temporary file was written in full.
  const std::filesystem::path path = folder_ / "registry.reg";
  std::filesystem::create_directories(path / "inside");
  std::string error;
  EXPECT_FALSE(regfile::SaveAtomically(path.string(), "new contents", &error));
  EXPECT_NE(error.find("cannot save"), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::is_directory(path / "inside"));
  EXPECT_EQ(Files(), std::vector<std::string>{"registry.reg"});
}

TEST_F(AtomicSaveTest, MakesTheMissingFolders) {
  const std::filesystem::path path = folder_ / "a" / "b" / "registry.reg";
  std::string error;
  ASSERT_TRUE(regfile::MakeParentFolders(path.string(), &error)) << error;
  ASSERT_TRUE(regfile::SaveAtomically(path.string(), "x", &error)) << error;
  EXPECT_EQ(Contents(path), "x");
}

// A Unicode file a little larger than three pieces of the reader (64 KiB of
// UTF-16LE each), whose every piece boundary lies inside a run of short
// lines that hold CR LF, CR and LF line ends, "\" continuations, accented
// letters, a CJK character and a surrogate pair.  Each run starts `shift`
// units of UTF-16 later than the last, so that over the shifts each unit of
// its lines meets each boundary.
class PieceBoundaryTest : public AtomicSaveTest {
 protected:
  static constexpr std::size_t kRunValues = 3;
  static constexpr char kRun[] = "\"t\"=\"é中😀\"\r\n\"h\"=hex:01,\\\r\n 02\r\n\"u\"=hex:03,\\\r 04\n";
  static std::size_t Units(std::string_view utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) units += (c & 0xC0) != 0x80 ? (c >= 0xF0 ? 2 : 1) : 0;
    return units;
  }
  static std::string Text(std::size_t shift) {
    const std::size_t piece = regfile::FileReader::kPiece / 2, run = Units(kRun), reach = 2 * run;
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Pieces]\r\n";
    std::size_t units = Units(text);
    for (std::size_t boundary = piece; boundary <= 3 * piece; boundary += piece) {
      // Comment lines up to the run's start.
      for (std::size_t left = boundary - reach + shift - units; left > 0;) {
        const std::size_t line = left >= 2006 ? 1000 : left - 3;
        text += ";" + std::string(line, 'x') + "\r\n";
        left -= line + 3;
      }
      for (units = boundary - reach + shift; units < boundary + reach; units += run) text += kRun;
    }
    return text;
  }
};

TEST_F(PieceBoundaryTest, AFileReadInPiecesReadsAsTheSameTextWhole) {
  const std::string path = (folder_ / "pieces.reg").string();
  for (std::size_t shift = 0; shift < Units(kRun); ++shift) {
    SCOPED_TRACE("shift " + std::to_string(shift));
    const std::string text = Text(shift);
    std::string bytes = "\xFF\xFE";
    ASSERT_TRUE(charsets::AppendUtf8AsUtf16le(text, &bytes));
    ASSERT_GT(bytes.size(), 3 * regfile::FileReader::kPiece);
    const Document whole = Parsed(text);
    ASSERT_EQ(whole.keys.size(), 1u);
    ASSERT_GE(whole.keys[0].values.size(), 3 * 4 * kRunValues);
    ExpectSame(whole, Parsed(bytes));
    // The same bytes from a file, as the reader takes them from the disk.
    std::ofstream(path, std::ios::binary) << bytes;
    struct Builder : regfile::Receiver {
      Document document;
      void AddSection(const Key &section) override { document.keys.push_back(section); }
      void AddValue(const Value &value) override { document.keys.back().values.push_back(value); }
    } read;
    regfile::FileReader file;
    bool exists = false;
    std::string error;
    ASSERT_TRUE(file.Open(path, &exists, &error)) << error;
    ASSERT_TRUE(regfile::ReadFile(&file, &read, &error)) << error;
    ExpectSame(whole, read.document);
  }
}
}  // namespace
