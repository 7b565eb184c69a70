// The records of the Windows PE format that the reader (image.h) and the
// loader (module.h) read, each declared once, field by field, at the offsets
// and widths the format gives them, with the format's constants by name.
// Records are copied out of a file's bytes, never read in place, so a record
// at an odd offset is read safely; the format and every host that builds
// this code are little-endian.
#ifndef VANTORIX_PE_RECORDS_H
#define VANTORIX_PE_RECORDS_H

#include <cstddef>
#include <cstdint>

namespace pe {

// --- headers -----------------------------------------------------------------

constexpr uint16_t kDosSignature = 0x5A4D;  // "MZ"
constexpr uint32_t kPeSignature = 0x4550;   // "PE\0\0"

// The MS-DOS stub's header: only its signature and where the PE header
// starts matter now.
struct DosHeader {
  uint16_t signature;
  uint16_t stub[29];
  uint32_t peHeaderOffset;
};

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kFileRelocationsStripped = 0x0001;
constexpr uint16_t kFileDll = 0x2000;

struct FileHeader {
  uint16_t machine;
  uint16_t sectionCount;
  uint32_t timeStamp;
  uint32_t symbolTable;
  uint32_t symbolCount;
  uint16_t optionalHeaderSize;
  uint16_t characteristics;
};

// The signature and the file header, at DosHeader::peHeaderOffset; the
// optional header follows.
struct PeHeader {
  uint32_t signature;
  FileHeader file;
};

constexpr uint16_t kMagicPe32 = 0x010B;
constexpr uint16_t kMagicPe32Plus = 0x020B;

// The optional header of a 32-bit image (PE32) and of a 64-bit one (PE32+):
// the same fields, but the image base and the stack and heap sizes are 64
// bits wide in PE32+, which has no baseOfData.  The data directories follow
// either.
struct OptionalHeader32 {
  uint16_t magic;
  uint8_t linkerMajor, linkerMinor;
  uint32_t codeSize, initializedDataSize, uninitializedDataSize;
  uint32_t entryPoint;
  uint32_t baseOfCode, baseOfData;
  uint32_t imageBase;
  uint32_t sectionAlignment, fileAlignment;
  uint16_t osMajor, osMinor, imageMajor, imageMinor, subsystemMajor, subsystemMinor;
  uint32_t win32Version;
  uint32_t imageSize, headersSize;
  uint32_t checkSum;
  uint16_t subsystem, dllCharacteristics;
  uint32_t stackReserve, stackCommit, heapReserve, heapCommit;
  uint32_t loaderFlags;
  uint32_t directoryCount;
};

struct OptionalHeader64 {
  uint16_t magic;
  uint8_t linkerMajor, linkerMinor;
  uint32_t codeSize, initializedDataSize, uninitializedDataSize;
  uint32_t entryPoint;
  uint32_t baseOfCode;
  uint64_t imageBase;
  uint32_t sectionAlignment, fileAlignment;
  uint16_t osMajor, osMinor, imageMajor, imageMinor, subsystemMajor, subsystemMinor;
  uint32_t win32Version;
  uint32_t imageSize, headersSize;
  uint32_t checkSum;
  uint16_t subsystem, dllCharacteristics;
  uint64_t stackReserve, stackCommit, heapReserve, heapCommit;
  uint32_t loaderFlags;
  uint32_t directoryCount;
};

// The data directories, by their index in the optional header.
enum DirectoryIndex : uint32_t {
  kExportDirectory = 0,
  kImportDirectory = 1,
  kResourceDirectory = 2,
  kBaseRelocationDirectory = 5,
  kTlsDirectory = 9,
};

struct DataDirectory {
  uint32_t address;  // relative to the image base; 0: absent
  uint32_t size;
};

// A section's characteristics: its top three bits say whether its pages
// may be executed, read and written.
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionRead = 0x40000000;
constexpr uint32_t kSectionWrite = 0x80000000;
constexpr unsigned kSectionAccessShift = 29;

struct SectionHeader {
  char name[8];
  uint32_t virtualSize;
  uint32_t address;  // relative to the image base
  uint32_t fileSize;
  uint32_t fileOffset;
  uint32_t relocations, lineNumbers;
  uint16_t relocationCount, lineNumberCount;
  uint32_t characteristics;
};

// --- imports and exports -----------------------------------------------------

// One per imported DLL; a descriptor whose dll is 0 ends the table.
struct ImportDescriptor {
  uint32_t names;  // the lookup table (0 in some images: use addresses)
  uint32_t timeStamp;
  uint32_t forwarderChain;
  uint32_t dll;        // the DLL's name
  uint32_t addresses;  // the table the loader fills in
};

// An entry of a 32-bit lookup table with this bit imports by ordinal (the
// low 16 bits); otherwise it is the address of a hint and a name.
constexpr uint32_t kImportByOrdinal32 = 0x80000000;
constexpr uint32_t kOrdinalMask = 0xFFFF;

// The hint that comes before an imported name.
struct ImportHint {
  uint16_t hint;
};

struct ExportDirectory {
  uint32_t flags, timeStamp, version;
  uint32_t name;
  uint32_t ordinalBase;
  uint32_t functionCount, nameCount;
  uint32_t functions;  // each function's address
  uint32_t names;      // each exported name's address, sorted
  uint32_t ordinals;   // 16-bit index into functions, one per name
};

// --- base relocations --------------------------------------------------------

// A block of relocations for one 4 KiB page: the header, then 16-bit
// entries of a type (the top 4 bits) and an offset in the page.
struct BaseRelocationBlock {
  uint32_t page;       // relative to the image base
  uint32_t blockSize;  // the header and the entries, in bytes
};

using RelocationEntry = uint16_t;
constexpr unsigned kRelocationTypeShift = 12;
constexpr RelocationEntry kRelocationOffsetMask = 0x0FFF;
constexpr unsigned kRelocationAbsolute = 0;  // padding: nothing to do
constexpr unsigned kRelocationHighLow = 3;   // a 32-bit address

// --- thread-local storage ----------------------------------------------------

// A 32-bit image's TLS directory: its fields are addresses in the image as
// mapped at its preferred base (so they are relocated), not relative ones.
struct TlsDirectory32 {
  uint32_t dataStart, dataEnd;  // the template of each thread's data
  uint32_t indexAddress;        // where the loader writes the module's slot
  uint32_t callbacks;           // a zero-terminated array of functions
  uint32_t zeroFillSize;        // zero bytes after the template
  uint32_t characteristics;
};

// What a TLS callback and a DLL's entry point are told.
enum AttachReason : uint32_t { kProcessDetach = 0, kProcessAttach = 1 };

// --- resources ---------------------------------------------------------------

constexpr uint16_t kResourceTypeString = 6;
constexpr uint16_t kResourceTypeVersion = 16;

// A level of the resource tree (type, then id, then language): the header,
// then its named entries, then its numbered ones.
struct ResourceDirectoryHeader {
  uint32_t characteristics, timeStamp;
  uint16_t versionMajor, versionMinor;
  uint16_t namedEntryCount, idEntryCount;
};

// With this bit, an entry's id is the offset of a name, and its offset
// leads to another directory, not to a data entry.  Offsets are relative to
// the resource directory's start.
constexpr uint32_t kResourceNameOrSubdirectory = 0x80000000;

struct ResourceDirectoryEntry {
  uint32_t id;
  uint32_t offset;
};

struct ResourceDataEntry {
  uint32_t address;  // relative to the image base
  uint32_t size;
  uint32_t codePage;
  uint32_t reserved;
};

// A string-table resource holds 16 strings, each a 16-bit count of UTF-16
// code units and the units; block n holds the ids (n - 1) * 16 to n * 16 - 1.
constexpr unsigned kStringsPerBlock = 16;

// A version resource is a tree of nodes, each this header, a
// zero-terminated UTF-16 key, then its value and its children, each aligned
// to 32 bits from the start of the resource.
struct VersionNodeHeader {
  uint16_t length;       // of the whole node, children included
  uint16_t valueLength;  // in bytes, or in UTF-16 units for a text value
  uint16_t type;         // kVersionValueText or kVersionValueBinary
};
constexpr uint16_t kVersionValueBinary = 0;
constexpr uint16_t kVersionValueText = 1;

// The fixed part of a version resource: the value of its root node.
struct FixedFileInfo {
  uint32_t signature, structVersion;
  uint32_t fileVersionMS, fileVersionLS;
  uint32_t productVersionMS, productVersionLS;
  uint32_t flagsMask, flags;
  uint32_t os, type, subtype;
  uint32_t dateMS, dateLS;
};

// The sizes the format gives; a field out of place would change them.
static_assert(sizeof(DosHeader) == 64 && offsetof(DosHeader, peHeaderOffset) == 0x3C, "DOS header");
static_assert(sizeof(FileHeader) == 20 && sizeof(PeHeader) == 24, "PE header");
static_assert(sizeof(OptionalHeader32) == 96 && offsetof(OptionalHeader32, imageSize) == 56, "PE32 header");
static_assert(sizeof(OptionalHeader64) == 112 && offsetof(OptionalHeader64, imageBase) == 24, "PE32+ header");
static_assert(sizeof(DataDirectory) == 8 && sizeof(SectionHeader) == 40, "directory and section");
static_assert(sizeof(ImportDescriptor) == 20 && sizeof(ExportDirectory) == 40, "imports and exports");
static_assert(sizeof(BaseRelocationBlock) == 8 && sizeof(TlsDirectory32) == 24, "relocations and TLS");
static_assert(sizeof(ResourceDirectoryHeader) == 16 && sizeof(ResourceDirectoryEntry) == 8, "resource directory");
static_assert(sizeof(ResourceDataEntry) == 16 && sizeof(FixedFileInfo) == 52, "resource data");
static_assert(sizeof(VersionNodeHeader) == 6, "version node");

}  // namespace pe

#endif
