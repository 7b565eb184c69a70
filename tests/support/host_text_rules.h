// What the reply conversion should make of a text, worked out from its rules
// and the two character sets (the tools' tables in charsets/), never from the
// plug-in's own table: the expectation of every test that checks a
// converted reply.
#ifndef VANTORIX_TESTS_SUPPORT_HOST_TEXT_RULES_H
#define VANTORIX_TESTS_SUPPORT_HOST_TEXT_RULES_H

#include <string>

namespace vxtest {

// A byte of 0xA0-0xFF whose host byte is not its Mac OS Roman code today:
// the currency sign (the older code), and the characters that Mac OS Roman
// lacks, kept or placed.
struct HostByteRule {
  unsigned char in;
  unsigned char out;
};
extern const HostByteRule kWithoutMacCode[16];

// The host byte for a Windows-1252 byte: 0x00-0x9F unchanged; 0xA0-0xFF the
// Mac OS Roman code of the same character, or its entry in kWithoutMacCode.
// 0x00 for a byte that the rules leave without an image (never right).
unsigned char ExpectedHostByte(unsigned char byte);

// text as the conversion should leave it: up to its first zero byte, line
// feeds removed, every other byte mapped by ExpectedHostByte.
std::string HostText(const std::string &text);

}  // namespace vxtest

#endif
