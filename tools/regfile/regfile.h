// Registry files in the format the Windows registry editor exports and
// imports (.reg), read into and written from a plain in-memory model.
//
// The model holds the registry as the editor's Unicode files do, and as the
// registry's wide functions see it: key paths and value names are UTF-8
// text, the data of the string types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ)
// is UTF-16LE as the registry stores it, and every other type's data is its
// raw bytes.  Reading and writing REGEDIT4 files converts their
// Windows-1252 text.
#ifndef VANTORIX_TOOLS_REGFILE_REGFILE_H
#define VANTORIX_TOOLS_REGFILE_REGFILE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace regfile {

// The value types that the files write in their own forms; every other
// type is written as hex(N).
constexpr uint32_t kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7;

// The types whose data is text: UTF-16LE in the model and the Unicode
// files, Windows-1252 in REGEDIT4 files and the 8-bit registry functions.
inline bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

struct Value {
  std::string name;     // UTF-8; empty for the key's default value (@)
  bool remove = false;  // "name"=- : delete the value on import
  uint32_t type = 0;    // REG_SZ, REG_DWORD, ...
  std::string data;     // the string types in UTF-16LE, the others as they are
};

struct Key {
  std::string path;     // UTF-8, the root's full name first: HKEY_CURRENT_USER\Software\Demo
  bool remove = false;  // [-path] : delete the key and all below it on import
  std::vector<Value> values;
};

// The sections of a file in their order; applying them in order gives the
// file's meaning (a later section may add to or delete what an earlier one
// made).
struct Document {
  std::vector<Key> keys;
};

enum class Format {
  // "Windows Registry Editor Version 5.00", UTF-16LE with a byte order mark
  // and CRLF line ends: what the editor writes by default.
  Unicode,
  // The same text in UTF-8 without a byte order mark, for terminals and
  // pipes (the reader takes it as it takes the UTF-16LE file).
  UnicodeUtf8,
  // "REGEDIT4", Windows-1252 with CRLF line ends.
  Regedit4,
};

// What reading a file gives, a piece at a time and in the file's order:
// each section as its [KEY] line comes (without values), then each value
// line of it.  A receiver that builds a Document, or one that applies the
// pieces as they come and so never holds the whole file's model.  Each
// piece is lent for the call only.
class Receiver {
 public:
  virtual ~Receiver() = default;
  virtual void AddSection(const Key &section) = 0;
  virtual void AddValue(const Value &value) = 0;
  // A "text" value (REG_SZ): *value with its data left empty, and the text
  // in UTF-8, for a receiver that takes the text as it is.  By default the
  // data is made as the model holds it (TextData) and the value handed to
  // AddValue.
  virtual void AddText(Value *value, std::string_view text);
};

// The model's data for the text of a "text" value: UTF-16LE, with its
// terminating null.
void TextData(std::string_view text, std::string *data);

// Reads a whole file as Parse does, handing each piece to *receiver as it
// is read.  On failure the receiver has had the pieces before the faulty
// line.
bool Read(const std::string &bytes, Receiver *receiver, std::string *error, std::string *warning = nullptr);

// The same, reading the file as it goes: a UTF-16LE file a piece at a time,
// so that its bytes are never held whole (any other is read whole first).
// A file that cannot be read fails so (file->Failed()), before any fault in
// its text.
class FileReader;
bool ReadFile(FileReader *file, Receiver *receiver, std::string *error, std::string *warning = nullptr);

// Parses a whole file: UTF-16LE with its byte order mark, UTF-8 (with or
// without one) or Windows-1252, told apart by the byte order mark and the
// header line.  A file of no bytes at all is an empty document.  On failure
// returns false and sets *error to "line N: what is wrong".  A REGEDIT4 file
// whose bytes read as UTF-8 with characters beyond ASCII is read as the
// format says, as Windows-1252, and *warning (when given) then names its
// first such line; otherwise *warning is emptied.
bool Parse(const std::string &bytes, Document *document, std::string *error, std::string *warning = nullptr);

// The file's bytes in the given format.  Hex data is wrapped at 80 columns
// with the editor's "\" continuations.  Fails only for what the format
// cannot hold (a line break in a key or value name; in REGEDIT4, a
// character that Windows-1252 lacks), saying which.
bool Write(const Document &document, Format format, std::string *bytes, std::string *error);

}  // namespace regfile

#endif
