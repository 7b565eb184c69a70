// Prints the reference's two tables of the characters that FileMaker's
// character set (Mac OS Roman) and Windows' (Windows-1252) share above
// ASCII: first the letters, then the signs.  For each, what a calculation
// that types it writes as Windows sees it, what Vantorix-GetRegistryKey
// then gives back, what FileMaker shows for it when a Windows program wrote
// it, and what to type to reach a name that a Windows program wrote with
// it.  Worked out from the plug-in's own reply table, HostCharTable, and
// the character sets' tables in charsets/.
#include <cstdio>
#include <string>

#include "charsets/charsets.h"
#include "host/host_text.h"

namespace {

// The letters among the shared characters: the Latin letters and the
// ordinal indicators, micro sign and florin that Unicode counts as letters.
bool IsLetter(char32_t code) {
  if (code == 0xAA || code == 0xB5 || code == 0xBA) return true;
  if (code >= 0xC0 && code <= 0xFF) return code != 0xD7 && code != 0xF7;
  return code == 0x152 || code == 0x153 || code == 0x178 || code == 0x192;
}

// A character as a table cell: the character itself, or words for one
// that cannot be seen.
std::string Cell(char32_t code) {
  if (code < 0x20 || (code >= 0x7F && code < 0xA0)) return "(unused)";  // a code that Windows leaves unused
  if (code == 0xA0) return "(no-break space)";
  if (code == 0xAD) return "(soft hyphen)";
  std::string out;
  charsets::AppendUtf8(code, &out);
  return out;
}

// What FileMaker shows for a reply byte that the plug-in converted.
char32_t ShownInFileMaker(unsigned char windowsByte) { return charsets::FromMacRoman(HostCharTable[windowsByte]); }

void PrintTable(const char *first, bool letters) {
  std::printf(
      "| %s | Windows shows | GetRegistryKey gives back | written by Windows, FileMaker shows | "
      "to reach a name Windows wrote, type |\n",
      first);
  std::printf("|---|---|---|---|---|\n");
  for (char32_t code = 0xA0; code < 0x10000; ++code) {
    unsigned char mac = 0, windows = 0;
    if (!charsets::ToMacRoman(code, &mac) || !charsets::ToCp1252(code, &windows)) continue;
    if (IsLetter(code) != letters) continue;
    // Typed in FileMaker: passed as its Mac OS Roman code, stored as is.
    const char32_t windowsShows = charsets::FromCp1252(mac);
    const char32_t givenBack = ShownInFileMaker(mac);
    // Written by Windows: stored as its Windows-1252 code.
    const char32_t fromWindows = ShownInFileMaker(windows);
    // The character that FileMaker passes as that code, if it has one
    // that can be typed on Windows.
    const char32_t toType = charsets::FromMacRoman(windows);
    unsigned char typable = 0;
    const std::string reach = charsets::ToCp1252(toType, &typable) ? Cell(toType) : "(none)";
    std::printf("| %s | %s | %s | %s | %s |\n", Cell(code).c_str(), Cell(windowsShows).c_str(), Cell(givenBack).c_str(),
                Cell(fromWindows).c_str(), reach.c_str());
  }
}

}  // namespace

int main() {
  PrintTable("letter", true);
  std::printf("\n");
  PrintTable("sign", false);
  return 0;
}
