// A small reader of Windows PE images (32 and 64 bit): what the built
// libraries carry (export names, imported libraries, resources) and the
// headers that the 32-bit loader (pe_loader.h) maps an image by.
// Portable: it reads the file's bytes and needs no Windows API.
#ifndef VANTORIX_HOSTSIM_PE_IMAGE_H
#define VANTORIX_HOSTSIM_PE_IMAGE_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hostsim {

struct PeResource {
  uint16_t language = 0;
  std::string data;
};

class PeImage {
 public:
  // Reads the file at path; false, with the reason in Error(), if it cannot
  // be read or is not a well-formed PE image.
  bool Load(const std::string &path);
  const std::string &Error() const { return error_; }

  // The file's bytes, as read.
  const std::string &Bytes() const { return bytes_; }

  bool Is64Bit() const { return is64_; }
  // The IMAGE_FILE_DLL bit of the file header.
  bool IsLibrary() const { return (characteristics_ & 0x2000) != 0; }
  // The file header's machine (0x14C: 32-bit x86) and characteristics.
  uint16_t Machine() const { return machine_; }
  uint16_t Characteristics() const { return characteristics_; }

  // The optional header's layout fields.
  struct Layout {
    uint64_t imageBase = 0;
    uint32_t sizeOfImage = 0, sizeOfHeaders = 0;
    uint32_t entryPoint = 0, sectionAlignment = 0;
  };
  const Layout &ImageLayout() const { return layout_; }

  // A section: its address and size in memory, where its bytes lie in the
  // file, and its characteristics (the protection bits among them).
  struct Section {
    uint32_t address, size, fileOffset, fileSize, characteristics;
  };
  const std::vector<Section> &Sections() const { return sections_; }
  // The data directory entry at index (0 exports, 1 imports, 2 resources,
  // 5 base relocations, 9 TLS): its address, and its size in *size; 0 if
  // the image has none.
  uint32_t Directory(int index, uint32_t *size) const;
  // The names in the export directory's name table, in its order.
  std::vector<std::string> ExportNames() const;
  // The library names of the import directory, as the file spells them.
  std::vector<std::string> ImportedLibraries() const;
  // Every resource filed under this numeric type and id, one per language.
  std::vector<PeResource> Resources(uint16_t type, uint16_t id) const;
  // The numeric ids filed under this type (named ids are not listed).
  std::vector<uint16_t> ResourceIds(uint16_t type) const;

 private:
  // The file bytes at this virtual address, at least `size` of them; null if
  // the address is not backed by the file.
  const unsigned char *At(uint32_t rva, uint32_t size) const;
  std::string StringAt(uint32_t rva) const;
  // Children of a resource directory (offsets relative to the resource
  // section): (id or name offset with the high bit, entry offset).
  std::vector<std::pair<uint32_t, uint32_t>> ResourceEntries(uint32_t directoryOffset) const;

  std::string bytes_;
  std::string error_;
  bool is64_ = false;
  uint16_t machine_ = 0;
  uint16_t characteristics_ = 0;
  Layout layout_;
  std::vector<std::pair<uint32_t, uint32_t>> directories_;
  std::vector<Section> sections_;
};

// The 16 strings of one string-table block, UTF-16 in the file, as UTF-8;
// an absent string is empty.  False if the block is malformed.
bool StringBlockEntries(const std::string &block, std::vector<std::string> *strings);
// The same strings as the file's UTF-16 code units.
bool StringBlockUnits(const std::string &block, std::vector<std::u16string> *strings);

// A version resource, as far as these checks read it.
struct VersionInfo {
  uint32_t signature = 0;
  uint32_t fileVersionMS = 0, fileVersionLS = 0;
  uint32_t productVersionMS = 0, productVersionLS = 0;
  uint32_t flagsMask = 0, flags = 0, os = 0, type = 0, subtype = 0;
  uint32_t dateMS = 0, dateLS = 0;
  // The string tables of StringFileInfo, by key ("040904e4"), each with its
  // keys and values in the file's order.
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> stringTables;
  // The words of VarFileInfo's Translation value.
  std::vector<uint16_t> translation;
};

// Parses the bytes of a version resource; false, with the reason, if they
// are malformed.
bool ParseVersionInfo(const std::string &bytes, VersionInfo *info, std::string *error);

}  // namespace hostsim

#endif
