#include "charsets/charsets.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace charsets {

namespace {

// Windows-1252 0x80-0x9F; the rest of the code page is Latin-1.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 8_
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 9_
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Mac OS Roman 0x80-0xFF.
const char16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 8_
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 9_
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // A_
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // B_
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // C_
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // D_
    0x00FF, 0x0178, 0x2044, 0x00A4, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // E_
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // F_
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

// The eight bytes at p as a little-endian number (one load on x86).
uint64_t Little64(const unsigned char *p) {
  return static_cast<uint64_t>(p[0]) | static_cast<uint64_t>(p[1]) << 8 | static_cast<uint64_t>(p[2]) << 16 |
         static_cast<uint64_t>(p[3]) << 24 | static_cast<uint64_t>(p[4]) << 32 | static_cast<uint64_t>(p[5]) << 40 |
         static_cast<uint64_t>(p[6]) << 48 | static_cast<uint64_t>(p[7]) << 56;
}

// Bits that are clear in eight ASCII bytes, and in four ASCII UTF-16LE
// units, read by Little64.
constexpr uint64_t kNotAsciiBytes = 0x8080808080808080u;
constexpr uint64_t kNotAsciiUnits = 0xFF80FF80FF80FF80u;

// Writes the UTF-8 form of code at to (room for 4 bytes); gives its length.
std::size_t PutUtf8(char32_t code, char *to) {
  if (code < 0x80) {
    to[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    to[0] = static_cast<char>(0xC0 | (code >> 6));
    to[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    to[0] = static_cast<char>(0xE0 | (code >> 12));
    to[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    to[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  to[0] = static_cast<char>(0xF0 | (code >> 18));
  to[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
  to[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
  to[3] = static_cast<char>(0x80 | (code & 0x3F));
  return 4;
}

// Collects output in a small buffer and appends it to a string a piece at
// a time: conversions of whole files write through it.
class Output {
 public:
  explicit Output(std::string *out) : out_(out) {}
  ~Output() { Flush(); }
  Output(const Output &) = delete;
  Output &operator=(const Output &) = delete;

  // Room for kRun more bytes.
  static constexpr std::size_t kRun = 256;
  char *Room() {
    if (used_ + kRun > sizeof buffer_) Flush();
    return buffer_ + used_;
  }
  void Wrote(std::size_t count) { used_ += count; }
  void Flush() {
    out_->append(buffer_, used_);
    used_ = 0;
  }

 private:
  std::string *out_;
  char buffer_[4096];
  std::size_t used_ = 0;
};

}  // namespace

char32_t FromCp1252(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) return kCp1252High[byte - 0x80];
  return byte;
}

bool ToCp1252(char32_t code, unsigned char *byte) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
    *byte = static_cast<unsigned char>(code);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == code) {
      *byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

char32_t FromMacRoman(unsigned char byte) { return byte < 0x80 ? byte : kMacRomanHigh[byte - 0x80]; }

bool ToMacRoman(char32_t code, unsigned char *byte) {
  if (code < 0x80) {
    *byte = static_cast<unsigned char>(code);
    return true;
  }
  for (int i = 0; i < 128; ++i) {
    if (kMacRomanHigh[i] == code) {
      *byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

void AppendUtf8(char32_t code, std::string *out) {
  char bytes[4];
  out->append(bytes, PutUtf8(code, bytes));
}

bool NextUtf8(std::string_view bytes, std::size_t *at, char32_t *code) {
  const std::size_t i = *at;
  const unsigned char lead = static_cast<unsigned char>(bytes[i]);
  if (lead < 0x80) {
    *code = lead;
    *at = i + 1;
    return true;
  }
  int extra;
  char32_t value, lowest;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, value = lead & 0x1F, lowest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, value = lead & 0x0F, lowest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, value = lead & 0x07, lowest = 0x10000;
  } else {
    return false;
  }
  if (i + static_cast<std::size_t>(extra) >= bytes.size()) return false;  // truncated
  for (int k = 1; k <= extra; ++k) {
    const unsigned char next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
  *code = value;
  *at = i + static_cast<std::size_t>(extra) + 1;
  return true;
}

// Every code point of bytes, decoded by next (NextUtf8 or NextUtf16le).
bool DecodeAll(std::string_view bytes, bool (*next)(std::string_view, std::size_t *, char32_t *), std::u32string *out,
               std::size_t *badOffset) {
  out->clear();
  std::size_t at = 0;
  char32_t code = 0;
  while (at < bytes.size()) {
    if (!next(bytes, &at, &code)) {
      *badOffset = at;
      return false;
    }
    out->push_back(code);
  }
  return true;
}

bool DecodeUtf8(const std::string &bytes, std::u32string *out, std::size_t *badOffset) {
  return DecodeAll(bytes, NextUtf8, out, badOffset);
}

std::string EncodeUtf8(const std::u32string &text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t code : text) AppendUtf8(code, &out);
  return out;
}

bool IsUtf8(std::string_view bytes, std::size_t *badOffset) {
  std::size_t at = 0;
  char32_t code = 0;
  while (at < bytes.size()) {
    if (static_cast<unsigned char>(bytes[at]) < 0x80) {
      ++at;
    } else if (!NextUtf8(bytes, &at, &code)) {
      *badOffset = at;
      return false;
    }
  }
  return true;
}

bool NextUtf16le(std::string_view bytes, std::size_t *at, char32_t *code) {
  auto unit = [&](std::size_t offset) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[offset]) |
                                 (static_cast<unsigned char>(bytes[offset + 1]) << 8));
  };
  const std::size_t i = *at;
  if (i + 1 >= bytes.size()) return false;
  const char32_t first = unit(i);
  if (first >= 0xD800 && first <= 0xDBFF) {
    const char32_t second = i + 3 < bytes.size() ? unit(i + 2) : 0;
    if (second < 0xDC00 || second > 0xDFFF) return false;
    *code = 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    *at = i + 4;
    return true;
  }
  if (first >= 0xDC00 && first <= 0xDFFF) return false;
  *code = first;
  *at = i + 2;
  return true;
}

bool DecodeUtf16le(const std::string &bytes, std::u32string *out, std::size_t *badOffset) {
  out->clear();
  if (bytes.size() % 2 != 0) {
    *badOffset = bytes.size() - 1;
    return false;
  }
  return DecodeAll(bytes, NextUtf16le, out, badOffset);
}

void AppendUtf16le(char32_t code, std::string *out) {
  auto put = [out](char32_t unit) {
    out->push_back(static_cast<char>(unit & 0xFF));
    out->push_back(static_cast<char>((unit >> 8) & 0xFF));
  };
  if (code >= 0x10000) {
    code -= 0x10000;
    put(0xD800 + (code >> 10));
    put(0xDC00 + (code & 0x3FF));
  } else {
    put(code);
  }
}

bool Utf8ToUtf16le(std::string_view utf8, std::string *out) {
  out->clear();
  out->reserve(utf8.size() * 2);
  return AppendUtf8AsUtf16le(utf8, out);
}

bool AppendUtf8AsUtf16le(std::string_view utf8, std::string *out) {
  Output to(out);
  std::size_t at = 0;
  char32_t code = 0;
  while (at < utf8.size()) {
    char *room = to.Room();
    // A run of ASCII, as many characters as the buffer takes at once.
    const std::size_t run = AsciiRunUtf8(utf8.substr(at), Output::kRun / 2, nullptr);
    if (run > 0) {
      for (std::size_t k = 0; k < run; ++k) room[2 * k] = utf8[at + k], room[2 * k + 1] = 0;
      to.Wrote(2 * run);
      at += run;
      continue;
    }
    if (!NextUtf8(utf8, &at, &code)) return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      const char32_t high = 0xD800 + (code >> 10), low = 0xDC00 + (code & 0x3FF);
      room[0] = static_cast<char>(high & 0xFF), room[1] = static_cast<char>(high >> 8);
      room[2] = static_cast<char>(low & 0xFF), room[3] = static_cast<char>(low >> 8);
      to.Wrote(4);
    } else {
      room[0] = static_cast<char>(code & 0xFF), room[1] = static_cast<char>(code >> 8);
      to.Wrote(2);
    }
  }
  return true;
}

bool Utf16leToUtf8(std::string_view bytes, std::string *out, std::size_t *badOffset) {
  out->clear();
  // Room for the most that the text can take, so that the string never
  // grows.
  out->reserve(bytes.size() / 2 * 3);
  return AppendUtf16leAsUtf8(bytes, out, badOffset);
}

bool AppendUtf16leAsUtf8(std::string_view bytes, std::string *out, std::size_t *badOffset) {
  Output to(out);
  std::size_t at = 0;
  char32_t code = 0;
  while (at < bytes.size()) {
    // A run of ASCII units, as many as the buffer takes at once.
    char *room = to.Room();
    const std::size_t run = AsciiRunUtf16le(bytes.substr(at), Output::kRun, room);
    if (run > 0) {
      to.Wrote(run);
      at += 2 * run;
      continue;
    }
    if (!NextUtf16le(bytes, &at, &code)) {
      *badOffset = at;
      return false;
    }
    to.Wrote(PutUtf8(code, room));
  }
  return true;
}

std::size_t AsciiRunUtf8(std::string_view bytes, std::size_t most, char *out) {
  const unsigned char *in = reinterpret_cast<const unsigned char *>(bytes.data());
  const std::size_t limit = bytes.size() < most ? bytes.size() : most;
  std::size_t n = 0;
  for (; n + 8 <= limit && (Little64(in + n) & kNotAsciiBytes) == 0; n += 8) {
    if (out != nullptr) std::memcpy(out + n, in + n, 8);
  }
  for (; n < limit && in[n] < 0x80; ++n) {
    if (out != nullptr) out[n] = static_cast<char>(in[n]);
  }
  return n;
}

std::size_t AsciiRunUtf16le(std::string_view bytes, std::size_t most, char *out) {
  const unsigned char *in = reinterpret_cast<const unsigned char *>(bytes.data());
  const std::size_t limit = bytes.size() / 2 < most ? bytes.size() / 2 : most;
  std::size_t n = 0;
  for (; n + 4 <= limit; n += 4) {
    const uint64_t units = Little64(in + 2 * n);
    if ((units & kNotAsciiUnits) != 0) break;
    if (out != nullptr) {
      for (std::size_t k = 0; k < 4; ++k) out[n + k] = static_cast<char>(units >> (16 * k));
    }
  }
  for (; n < limit && in[2 * n] < 0x80 && in[2 * n + 1] == 0; ++n) {
    if (out != nullptr) out[n] = static_cast<char>(in[2 * n]);
  }
  return n;
}

std::string Cp1252ToUtf8(const std::string &bytes) {
  std::string out;
  for (unsigned char byte : bytes) AppendUtf8(FromCp1252(byte), &out);
  return out;
}

namespace {

// Code points -> the bytes of an 8-bit character set, through its encoder.
bool UnicodeToBytes(bool (*encode)(char32_t, unsigned char *), const std::u32string &text, std::string *out,
                    std::size_t *badIndex) {
  out->clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char byte;
    if (!encode(text[i], &byte)) {
      *badIndex = i;
      return false;
    }
    out->push_back(static_cast<char>(byte));
  }
  return true;
}

}  // namespace

bool UnicodeToCp1252(const std::u32string &text, std::string *out, std::size_t *badIndex) {
  return UnicodeToBytes(ToCp1252, text, out, badIndex);
}

bool UnicodeToMacRoman(const std::u32string &text, std::string *out, std::size_t *badIndex) {
  return UnicodeToBytes(ToMacRoman, text, out, badIndex);
}

char32_t UpperCase(char32_t code) {
  if (code >= 'a' && code <= 'z') return code - 'a' + 'A';
  if (code >= 0xE0 && code <= 0xFE && code != 0xF7) return code - 0x20;
  switch (code) {
    case 0xFF: return 0x178;   // y with diaeresis
    case 0x153: return 0x152;  // oe
    case 0x161: return 0x160;  // s with caron
    case 0x17E: return 0x17D;  // z with caron
    default: return code;
  }
}

const std::array<unsigned char, 256> &UpperCaseCp1252Table() {
  // Built once from UpperCase, so that the two never disagree.
  static const auto table = [] {
    std::array<unsigned char, 256> upper{};
    for (unsigned i = 0; i < upper.size(); ++i) {
      // Every capital of a Windows-1252 letter is in the code page too; a
      // byte whose capital were not would stay as it is.
      unsigned char folded = static_cast<unsigned char>(i);
      static_cast<void>(ToCp1252(UpperCase(FromCp1252(folded)), &folded));
      upper[i] = folded;
    }
    return upper;
  }();
  return table;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x = 0, y = 0;
    const bool textA = NextUtf8(a, &i, &x), textB = NextUtf8(b, &j, &y);
    if (textA != textB) return false;
    if (!textA) {
      // Not UTF-8 here: the bytes themselves must match.
      if (a[i++] != b[j++]) return false;
    } else if (UpperCase(x) != UpperCase(y)) {
      return false;
    }
  }
  return i == a.size() && j == b.size();
}

std::string Describe(char32_t code) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(code));
  std::string out = buffer;
  const bool control = code < 0x20 || (code >= 0x7F && code < 0xA0);
  if (!control) {
    out += " '";
    AppendUtf8(code, &out);
    out += "'";
  }
  return out;
}

}  // namespace charsets
