// Reply text in the host's character set: ToHostText and HostCharTable,
// against the host bytes that the conversion's rules give.
#include <climits>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#ifndef _WIN32
#include <iconv.h>
#endif

#include "host/host_text.h"
#include "tests/support/global_alloc_spy.h"
#include "tests/support/host_text_rules.h"
#include "tests/support/plugin.h"

namespace {

using vxtest::Printable;

// What a conversion left behind: the buffer holds the text, one byte for the
// terminator, and nothing more, so that a write past it is caught.
struct Converted {
  int32_t result;
  std::vector<char> buffer;
};

// The byte at text[length] is not a zero byte, so the test sees whether the
// conversion terminates its result itself.
Converted Convert(const std::string &text) {
  Converted c;
  c.buffer.assign(text.begin(), text.end());
  c.buffer.push_back('#');
  c.result = ToHostText(c.buffer.data(), static_cast<int32_t>(text.size()));
  return c;
}

std::string Range(int from, int to) {
  std::string bytes;
  for (int b = from; b <= to; ++b) bytes += static_cast<char>(b);
  return bytes;
}

struct Case {
  const char *what;
  std::string in;
  std::string out;
};

TEST(ToHostTextTest, ConvertsLettersRemovesLineFeedsAndTerminates) {
  vxtest::GlobalAllocSpy spy;
  ASSERT_EQ(spy.Error(), "");
  const Case cases[] = {
      {"Zurich with u umlaut", "\x5A\xFC\x72\x69\x63\x68", "\x5A\x9F\x72\x69\x63\x68"},
      {"examples", "\xC4\xE4\xDF\xFC\xA0", "\x80\x8A\xA7\x9F\xCA"},
      {"currency sign takes the older code", "\xA4", "\xDB"},
      {"CR LF pairs", "one\r\ntwo\r\nthree\r\n", "one\rtwo\rthree\r"},
      {"lone LF", "one\ntwo", "onetwo"},
      {"LF CR", "one\n\rtwo", "one\rtwo"},
      {"LF at the end", "end\n", "end"},
      {"LF at the start", "\nstart", "start"},
      {"only LFs", "\n\n\n\n", ""},
      {"one LF", "\n", ""},
      {"CR alone stays", "\r", "\r"},
      {"control and ASCII bytes pass", Range(0x01, 0x09) + Range(0x0B, 0x7F), Range(0x01, 0x09) + Range(0x0B, 0x7F)},
      {"0x80-0x9F pass", Range(0x80, 0x9F), Range(0x80, 0x9F)},
      {"placed letters", "\xDD\xFD\xD0\xFE\xAD", "\xA0\xE0\xDC\xDF\xD0"},
      {"letters Mac OS Roman lacks keep their bytes", "\xDE\xF0\xD7\xA6\xB2\xB3\xB9\xBC\xBD\xBE",
       "\xDE\xF0\xD7\xA6\xB2\xB3\xB9\xBC\xBD\xBE"},
      {"a LF between converted letters", "\xE9\n\xE8", "\x8E\x8F"},
      {"zero byte ends the text", std::string("ab\0c\xFC", 5), "ab"},
      {"zero byte after a LF", std::string("a\n\0b", 4), "a"},
      {"zero byte first", std::string("\0abc", 4), ""},
      {"long text", std::string(5000, '\xFC') + "\r\n", std::string(5000, '\x9F') + "\r"},
  };
  for (const Case &c : cases) {
    Converted got = Convert(c.in);
    EXPECT_EQ(got.result, static_cast<int32_t>(c.out.size())) << c.what;
    ASSERT_GE(got.result, 0) << c.what;
    ASSERT_LT(static_cast<std::size_t>(got.result), got.buffer.size()) << c.what;
    EXPECT_EQ(std::string(got.buffer.data(), static_cast<std::size_t>(got.result)), c.out)
        << c.what << ": " << Printable(std::string(got.buffer.data(), static_cast<std::size_t>(got.result)));
    EXPECT_EQ(got.buffer[static_cast<std::size_t>(got.result)], '\0') << c.what << ": not terminated";
  }
  EXPECT_EQ(spy.LiveBlocks(), 0) << "scratch buffers left allocated";
}

// Each byte alone, through the conversion and the table, against the host
// byte that the rules give (not against the table itself).
TEST(ToHostTextTest, EveryByteBecomesTheHostByteOfTheRules) {
  for (int b = 1; b < 256; ++b) {
    const unsigned char expected = vxtest::ExpectedHostByte(static_cast<unsigned char>(b));
    EXPECT_EQ(HostCharTable[b], expected) << "byte " << b;
    if (b == 0x0A) continue;  // removed, never looked up
    Converted got = Convert(std::string(1, static_cast<char>(b)));
    EXPECT_EQ(got.result, 1) << "byte " << b;
    EXPECT_EQ(static_cast<unsigned char>(got.buffer[0]), expected) << "byte " << b;
  }
  int changed = 0;
  for (int b = 0; b < 256; ++b) changed += vxtest::ExpectedHostByte(static_cast<unsigned char>(b)) != b;
  EXPECT_EQ(changed, 81);
}

TEST(ToHostTextTest, NoLengthLeavesTheTextAloneAndAllocatesNothing) {
  vxtest::GlobalAllocSpy spy;
  ASSERT_EQ(spy.Error(), "");
  const std::string text("a\nb\xFC", 5);  // terminator included
  for (int32_t length : {0, -1, -250, INT_MIN}) {
    // A pending failure is used up by the first allocation; the call after
    // the one under test shows whether it is still pending.
    spy.FailNext(1);
    std::vector<char> buffer(text.begin(), text.end());
    EXPECT_EQ(ToHostText(buffer.data(), length), length);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), text) << "length " << length;
    std::vector<char> probe(text.begin(), text.end());
    EXPECT_EQ(ToHostText(probe.data(), 4), 4) << "length " << length << " allocated";
    spy.FailNext(0);
  }
  EXPECT_EQ(spy.LiveBlocks(), 0);
}

TEST(ToHostTextTest, WithoutScratchMemoryTheTextStaysUnconverted) {
  vxtest::GlobalAllocSpy spy;
  ASSERT_EQ(spy.Error(), "");
  const std::string text = "Z\xFCrich\r\nline\n";
  spy.FailNext(1);
  Converted got = Convert(text);
  EXPECT_EQ(got.result, static_cast<int32_t>(text.size()));
  EXPECT_EQ(std::string(got.buffer.data(), text.size()), text);
  // The next call has its memory again.
  got = Convert(text);
  EXPECT_EQ(std::string(got.buffer.data(), static_cast<std::size_t>(got.result)), "Z\x9Frich\rline");
  EXPECT_EQ(spy.LiveBlocks(), 0);
}

// The rules' host bytes, checked once against the system's own converter
// where they follow Mac OS Roman.
TEST(HostTextRulesTest, MatchTheSystemConverterFromWindows1252ToMacOsRoman) {
#ifdef _WIN32
  GTEST_SKIP() << "iconv with its Mac OS Roman table is on the linux lane only";
#else
  iconv_t converter = iconv_open("MACINTOSH", "WINDOWS-1252");
  ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1)) << "glibc cannot convert WINDOWS-1252 to MACINTOSH";
  int converted = 0;
  for (int b = 0xA0; b <= 0xFF; ++b) {
    char in = static_cast<char>(b);
    char out[8] = {};
    char *inPointer = &in;
    char *outPointer = out;
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    const std::size_t status = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    const bool known = status != static_cast<std::size_t>(-1) && outLeft == sizeof out - 1;
    bool listed = false;
    for (const vxtest::HostByteRule &rule : vxtest::kWithoutMacCode) listed = listed || rule.in == b;
    if (known) {
      ++converted;
      EXPECT_FALSE(listed) << "byte " << b << " has a Mac OS Roman code";
      EXPECT_EQ(vxtest::ExpectedHostByte(static_cast<unsigned char>(b)), static_cast<unsigned char>(out[0]))
          << "byte " << b;
    } else {
      EXPECT_TRUE(listed) << "byte " << b << " has no Mac OS Roman code and no listed image";
    }
  }
  iconv_close(converter);
  EXPECT_EQ(converted, 96 - static_cast<int>(std::size(vxtest::kWithoutMacCode)));
#endif
}

}  // namespace
