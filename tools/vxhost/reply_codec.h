// How vxhost turns typed text into parameter bytes and reply bytes back
// into text: both in Mac OS Roman, the character set in which the host
// passes a parameter and shows a reply.
#ifndef VANTORIX_TOOLS_VXHOST_REPLY_CODEC_H
#define VANTORIX_TOOLS_VXHOST_REPLY_CODEC_H

#include <string>

namespace vxhost {

// UTF-8 text -> the Mac OS Roman bytes that the host would pass.  A
// character without a Mac OS Roman code, or bytes that are not UTF-8, give
// false and a message that names the character (never a silent "?").
bool EncodeParameter(const std::string &utf8, std::string *bytes, std::string *error);

// A reply as UTF-8 text, every byte read as Mac OS Roman, whichever
// function sent it, as the host shows it; a carriage return, a line feed
// or the pair of them becomes one line break ("\n").
std::string DecodeReply(const std::string &reply);

// A hex dump: offset, sixteen bytes in hex, the printable ASCII ones beside
// them; then the byte count.
std::string HexDump(const std::string &bytes);

}  // namespace vxhost

#endif
