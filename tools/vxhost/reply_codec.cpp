#include "tools/vxhost/reply_codec.h"

#include <cstdio>

#include "charsets/charsets.h"
#include "host/host_text.h"

namespace vxhost {

bool EncodeParameter(const std::string &utf8, std::string *bytes, std::string *error) {
  std::u32string text;
  std::size_t badOffset = 0;
  if (!charsets::DecodeUtf8(utf8, &text, &badOffset)) {
    *error = "the text is not UTF-8 (at byte " + std::to_string(badOffset + 1) + ")";
    return false;
  }
  std::size_t badIndex = 0;
  if (!charsets::UnicodeToCp1252(text, bytes, &badIndex)) {
    *error = "the character " + charsets::Describe(text[badIndex]) + " (character " + std::to_string(badIndex + 1) +
             ") has no Windows-1252 byte, so the host could not pass it";
    return false;
  }
  return true;
}

bool ConvertsReply(int32_t functionIndex) {
  return functionIndex == 2 || functionIndex == 3 || functionIndex == 4 || functionIndex == 6 || functionIndex == 7;
}

char32_t DecodeHostByte(unsigned char byte) {
  // A converted character (one that the table moves) wins over an
  // unchanged one with the same image.
  for (int source = 0; source < 256; ++source) {
    if (source != byte && source != 0x0A && HostCharTable[source] == byte) {
      return charsets::FromCp1252(static_cast<unsigned char>(source));
    }
  }
  if (HostCharTable[byte] == byte) return charsets::FromCp1252(byte);
  return charsets::FromMacRoman(byte);
}

std::string DecodeReply(const std::string &reply, bool converted) {
  std::string out;
  for (std::size_t i = 0; i < reply.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(reply[i]);
    if (byte == '\r' || byte == '\n') {
      if (byte == '\r' && i + 1 < reply.size() && reply[i + 1] == '\n') ++i;
      out.push_back('\n');
      continue;
    }
    charsets::AppendUtf8(converted ? DecodeHostByte(byte) : charsets::FromCp1252(byte), &out);
  }
  return out;
}

std::string HexDump(const std::string &bytes) {
  std::string out;
  char piece[32];
  for (std::size_t line = 0; line < bytes.size(); line += 16) {
    std::snprintf(piece, sizeof piece, "%08zx ", line);
    out += piece;
    std::string ascii;
    for (std::size_t i = line; i < line + 16; ++i) {
      if (i < bytes.size()) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        std::snprintf(piece, sizeof piece, " %02x", byte);
        out += piece;
        ascii.push_back(byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.');
      } else {
        out += "   ";
      }
    }
    out += "  |" + ascii + "|\n";
  }
  out += "(" + std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte)\n" : " bytes)\n");
  return out;
}

}  // namespace vxhost
