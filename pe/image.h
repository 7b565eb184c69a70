// pe: reads Windows PE images, and maps the 32-bit product for the linux32 lane.
//
// This is the reader, of 32- and 64-bit images (the loader is module.h):
// the headers that the loader maps an image by, and the records and
// resources that the checks of the built libraries read.  Portable: it
// reads the file's bytes and needs no Windows API.
#ifndef VANTORIX_PE_IMAGE_H
#define VANTORIX_PE_IMAGE_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pe/records.h"

namespace pe {

struct Resource {
  uint16_t language = 0;
  std::string data;
};

class Image {
 public:
  // Reads the file at path; false, with the reason in Error(), if it cannot
  // be read or is not a well-formed PE image.
  bool Load(const std::string &path);
  const std::string &Error() const { return error_; }

  // The file's bytes, as read.
  const std::string &Bytes() const { return bytes_; }

  bool Is64Bit() const { return is64_; }
  bool IsLibrary() const { return (file_.characteristics & kFileDll) != 0; }
  uint16_t Machine() const { return file_.machine; }
  uint16_t Characteristics() const { return file_.characteristics; }

  // What the loader needs of either kind of optional header.
  struct Layout {
    uint64_t imageBase = 0;
    uint32_t imageSize = 0, headersSize = 0;
    uint32_t entryPoint = 0, sectionAlignment = 0;
  };
  const Layout &ImageLayout() const { return layout_; }

  const std::vector<SectionHeader> &Sections() const { return sections_; }
  // The data directory at index; {0, 0} if the image has none.
  DataDirectory Directory(DirectoryIndex index) const;

  // Copies the record at this address from the file; false if the file
  // does not hold all of it.
  template <typename T>
  bool Read(uint32_t address, T *record) const {
    const unsigned char *bytes = At(address, sizeof(T));
    if (bytes != nullptr) std::memcpy(record, bytes, sizeof(T));
    return bytes != nullptr;
  }
  // The zero-terminated string at this address, as far as the file holds it.
  std::string StringAt(uint32_t address) const;

  // Every resource filed under this numeric type and id, one per language.
  std::vector<Resource> Resources(uint16_t type, uint16_t id) const;
  // The numeric ids filed under this type (named ids are not listed).
  std::vector<uint16_t> ResourceIds(uint16_t type) const;

 private:
  template <typename T>
  bool ReadFile(std::size_t offset, T *record) const {
    if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) return false;
    std::memcpy(record, bytes_.data() + offset, sizeof(T));
    return true;
  }
  bool ReadHeaders(const std::string &path);
  template <typename OptionalHeader>
  bool ReadOptionalHeader(const std::string &path, std::size_t offset, std::size_t size);
  bool ReadSections(const std::string &path, std::size_t table);
  // The file's bytes at this address, at least `size` of them; null if the
  // file does not hold them.
  const unsigned char *At(uint32_t address, uint32_t size) const;
  // The entries of the resource directory at this offset in the resource
  // section.
  std::vector<ResourceDirectoryEntry> ResourceEntries(uint32_t directoryOffset) const;

  std::string bytes_;
  std::string error_;
  bool is64_ = false;
  FileHeader file_{};
  Layout layout_;
  std::vector<DataDirectory> directories_;
  std::vector<SectionHeader> sections_;
};

// The 16 strings of one string-table block, each as its UTF-16LE bytes; an
// absent string is empty.  False if the block is malformed.
bool StringBlockEntries(const std::string &block, std::vector<std::string> *utf16le);

}  // namespace pe

#endif
