// The bridge that gives LoadStringA a mapped module's own string table:
// the dynamic linker knows nothing of the module, so the loader hands the
// platform stand-in the strings of its string-table resources.
#include "pe/module.h"

#ifdef VX_PE_LOADER

#include <map>

#include <vxplatform/testing.h>

#include "charsets/charsets.h"

namespace pe {

namespace {

// A string as LoadStringA gives it: in the ANSI code page (Windows-1252),
// '?' for each UTF-16 code unit that it lacks.
std::string Ansi(const std::string &utf16le) {
  std::string out;
  for (std::size_t i = 0; i + 1 < utf16le.size(); i += 2) {
    const char32_t unit = static_cast<unsigned char>(utf16le[i]) | static_cast<unsigned char>(utf16le[i + 1]) << 8;
    unsigned char byte = 0;
    out += charsets::ToCp1252(unit, &byte) ? static_cast<char>(byte) : '?';
  }
  return out;
}

}  // namespace

void Module::ShareStringTable() const {
  std::map<unsigned, std::string> strings;
  for (uint16_t block : image_.ResourceIds(kResourceTypeString)) {
    const std::vector<Resource> filed = image_.Resources(kResourceTypeString, block);
    std::vector<std::string> entries;
    if (filed.empty() || block == 0 || !StringBlockEntries(filed[0].data, &entries)) continue;
    for (unsigned i = 0; i < kStringsPerBlock; ++i) {
      if (!entries[i].empty()) strings[(block - 1u) * kStringsPerBlock + i] = Ansi(entries[i]);
    }
  }
  vxplatform::SetModuleStrings(reinterpret_cast<HINSTANCE>(base_), strings);
}

void Module::WithdrawStringTable() const { vxplatform::SetModuleStrings(reinterpret_cast<HINSTANCE>(base_), {}); }

}  // namespace pe

#endif
