#include "pe/image.h"

#include <fstream>
#include <iterator>

namespace pe {

bool Image::Load(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error_ = "cannot open " + path;
    return false;
  }
  bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return ReadHeaders(path);
}

bool Image::ReadHeaders(const std::string &path) {
  DosHeader dos{};
  if (!ReadFile(0, &dos) || dos.signature != kDosSignature) {
    error_ = path + " is not an executable image (no MZ header)";
    return false;
  }
  PeHeader pe{};
  if (!ReadFile(dos.peHeaderOffset, &pe) || pe.signature != kPeSignature) {
    error_ = path + " has no PE header";
    return false;
  }
  file_ = pe.file;
  const std::size_t optional = std::size_t{dos.peHeaderOffset} + sizeof(PeHeader);
  const std::size_t optionalSize = file_.optionalHeaderSize;
  uint16_t magic = 0;
  if (bytes_.size() - optional < optionalSize || !ReadFile(optional, &magic) || optionalSize < sizeof magic) {
    error_ = path + ": optional header cut short";
    return false;
  }
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
    error_ = path + ": unknown optional header magic";
    return false;
  }
  is64_ = magic == kMagicPe32Plus;
  const bool read = is64_ ? ReadOptionalHeader<OptionalHeader64>(path, optional, optionalSize)
                          : ReadOptionalHeader<OptionalHeader32>(path, optional, optionalSize);
  return read && ReadSections(path, optional + optionalSize);
}

// The layout fields and the data directories that follow the header, as
// many as it says and its size holds.
template <typename OptionalHeader>
bool Image::ReadOptionalHeader(const std::string &path, std::size_t offset, std::size_t size) {
  OptionalHeader header{};
  if (size < sizeof header || !ReadFile(offset, &header)) {
    error_ = path + ": optional header too short";
    return false;
  }
  layout_ = Layout{header.imageBase, header.imageSize, header.headersSize, header.entryPoint, header.sectionAlignment};
  const std::size_t room = (size - sizeof header) / sizeof(DataDirectory);
  for (std::size_t i = 0; i < header.directoryCount && i < room; ++i) {
    DataDirectory directory{};
    ReadFile(offset + sizeof header + i * sizeof directory, &directory);
    directories_.push_back(directory);
  }
  return true;
}

bool Image::ReadSections(const std::string &path, std::size_t table) {
  if ((bytes_.size() - table) / sizeof(SectionHeader) < file_.sectionCount) {
    error_ = path + ": section table cut short";
    return false;
  }
  for (uint16_t i = 0; i < file_.sectionCount; ++i) {
    SectionHeader section{};
    ReadFile(table + i * sizeof section, &section);
    if (section.fileOffset > bytes_.size() || bytes_.size() - section.fileOffset < section.fileSize) {
      error_ = path + ": a section lies beyond the end of the file";
      return false;
    }
    sections_.push_back(section);
  }
  return true;
}

const unsigned char *Image::At(uint32_t address, uint32_t size) const {
  for (const SectionHeader &s : sections_) {
    if (address < s.address) continue;
    const uint32_t offset = address - s.address;
    if (offset >= s.fileSize || s.fileSize - offset < size) continue;
    return reinterpret_cast<const unsigned char *>(bytes_.data()) + s.fileOffset + offset;
  }
  return nullptr;
}

std::string Image::StringAt(uint32_t address) const {
  std::string text;
  for (const unsigned char *p; (p = At(address, 1)) != nullptr && *p != 0; ++address) text += static_cast<char>(*p);
  return text;
}

DataDirectory Image::Directory(DirectoryIndex index) const {
  return index < directories_.size() ? directories_[index] : DataDirectory{0, 0};
}

}  // namespace pe
