#include "tests/support/host_text_rules.h"

#include "charsets/charsets.h"

namespace vxtest {

const HostByteRule kWithoutMacCode[16] = {
    {0xA4, 0xDB},  // currency sign: the older Mac OS Roman code
    {0xA6, 0xA6}, {0xB2, 0xB2}, {0xB3, 0xB3}, {0xB9, 0xB9}, {0xBC, 0xBC},
    {0xBD, 0xBD}, {0xBE, 0xBE}, {0xD7, 0xD7}, {0xDE, 0xDE}, {0xF0, 0xF0},  // kept
    {0xAD, 0xD0}, {0xD0, 0xDC}, {0xDD, 0xA0}, {0xFD, 0xE0}, {0xFE, 0xDF},  // placed
};

unsigned char ExpectedHostByte(unsigned char byte) {
  if (byte < 0xA0) return byte;
  for (const HostByteRule &rule : kWithoutMacCode) {
    if (rule.in == byte) return rule.out;
  }
  unsigned char mac = 0x00;
  return charsets::ToMacRoman(charsets::FromCp1252(byte), &mac) ? mac : 0x00;
}

std::string HostText(const std::string &text) {
  std::string converted;
  for (char c : text) {
    if (c == '\0') break;
    if (c != '\n') converted += static_cast<char>(ExpectedHostByte(static_cast<unsigned char>(c)));
  }
  return converted;
}

}  // namespace vxtest
