#include "tools/vxhost/reply_codec.h"

#include <cstdio>

#include "charsets/charsets.h"

namespace vxhost {

bool EncodeParameter(const std::string &utf8, std::string *bytes, std::string *error) {
  std::u32string text;
  std::size_t badOffset = 0;
  if (!charsets::DecodeUtf8(utf8, &text, &badOffset)) {
    *error = "the text is not UTF-8 (at byte " + std::to_string(badOffset + 1) + ")";
    return false;
  }
  std::size_t badIndex = 0;
  if (!charsets::UnicodeToMacRoman(text, bytes, &badIndex)) {
    *error = "the character " + charsets::Describe(text[badIndex]) + " (character " + std::to_string(badIndex + 1) +
             ") has no Mac OS Roman code, so FileMaker could not pass it";
    return false;
  }
  return true;
}

std::string DecodeReply(const std::string &reply) {
  std::string out;
  for (std::size_t i = 0; i < reply.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(reply[i]);
    if (byte == '\r' || byte == '\n') {
      if (byte == '\r' && i + 1 < reply.size() && reply[i + 1] == '\n') ++i;
      out.push_back('\n');
      continue;
    }
    charsets::AppendUtf8(charsets::FromMacRoman(byte), &out);
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
