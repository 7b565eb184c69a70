// How vxhost turns typed text into parameter bytes and reply bytes back
// into text.
#ifndef VANTORIX_TOOLS_VXHOST_REPLY_CODEC_H
#define VANTORIX_TOOLS_VXHOST_REPLY_CODEC_H

#include <cstdint>
#include <string>

namespace vxhost {

// UTF-8 text -> the Windows-1252 bytes that the host would pass.  A
// character without a Windows-1252 byte, or bytes that are not UTF-8, give
// false and a message that names the character (never a silent "?").
bool EncodeParameter(const std::string &utf8, std::string *bytes, std::string *error);

// Whether the function of this index converts its reply to the host's
// character set (every function but Vantorix-Version and
// Vantorix-SetRegistryKey).
bool ConvertsReply(int32_t functionIndex);

// The character that a byte of converted reply text stands for.  The
// conversion table is not one-to-one; a byte that a converted Windows-1252
// character produced is read as that character (so 0x80 is Ä, not the euro
// sign that passes unchanged), a byte that only an unchanged character
// produced is read as that character (0xB2 is ², not Mac OS Roman's ≤), and
// a byte that the table never produces is read as Mac OS Roman.
char32_t DecodeHostByte(unsigned char byte);

// A reply as UTF-8 text: converted replies byte by byte through
// DecodeHostByte, the others as Windows-1252; a carriage return, a line
// feed or the pair of them becomes one line break ("\n").
std::string DecodeReply(const std::string &reply, bool converted);

// A hex dump: offset, sixteen bytes in hex, the printable ASCII ones beside
// them; then the byte count.
std::string HexDump(const std::string &bytes);

}  // namespace vxhost

#endif
