// charsets: the one home of character-set conversions for everything
// around the plug-in (tools, stand-ins, tests; the plug-in keeps its own
// host-text table): Windows-1252 (the 8-bit registry functions' code
// page), Mac OS Roman (the host's character set, in which it passes
// parameters and shows replies), UTF-8 (terminals and files) and UTF-16LE
// (the registry editor's files, the wide registry functions, resource
// strings).  Code points travel as char32_t.
#ifndef VANTORIX_CHARSETS_CHARSETS_H
#define VANTORIX_CHARSETS_CHARSETS_H

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace charsets {

// Windows-1252 byte -> code point.  The five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the
// same value, as Windows' own conversion does, so every byte round-trips.
char32_t FromCp1252(unsigned char byte);
// Code point -> Windows-1252 byte; false if the code page has none.
bool ToCp1252(char32_t code, unsigned char *byte);

// Mac OS Roman byte -> code point (0xDB is the currency sign, the table's
// older meaning, which is how the host's conversion uses it).
char32_t FromMacRoman(unsigned char byte);
// Code point -> Mac OS Roman byte; false if the character set has none
// (the euro sign among them: 0xDB is the currency sign here).
bool ToMacRoman(char32_t code, unsigned char *byte);

// Appends the UTF-8 form of code to out.
void AppendUtf8(char32_t code, std::string *out);
// The code point that starts at bytes[*at], strictly decoded (no overlong
// forms, surrogates or values past U+10FFFF); advances *at past it.  False,
// with *at unchanged, for a faulty or truncated sequence.
bool NextUtf8(std::string_view bytes, std::size_t *at, char32_t *code);
// Decodes UTF-8 strictly.  On failure returns false and sets *badOffset to
// the byte offset of the faulty sequence.
bool DecodeUtf8(const std::string &bytes, std::u32string *out, std::size_t *badOffset);
std::string EncodeUtf8(const std::u32string &text);
// Whether bytes are UTF-8 text; if not, *badOffset is where they stop being.
bool IsUtf8(std::string_view bytes, std::size_t *badOffset);

// The code point whose UTF-16LE units start at bytes[*at] (a surrogate pair
// joined); advances *at past them.  False, with *at unchanged, for an
// unpaired surrogate or a lone last byte.
bool NextUtf16le(std::string_view bytes, std::size_t *at, char32_t *code);
// Decodes UTF-16LE bytes.  False on an odd byte count or an unpaired
// surrogate, with *badOffset at the faulty unit.
bool DecodeUtf16le(const std::string &bytes, std::u32string *out, std::size_t *badOffset);
void AppendUtf16le(char32_t code, std::string *out);
// UTF-8 text -> UTF-16LE bytes; false for bytes that are not UTF-8 (*out
// then holds the units of the text before them).  The Append form adds
// them to what *out holds.
bool Utf8ToUtf16le(std::string_view utf8, std::string *out);
bool AppendUtf8AsUtf16le(std::string_view utf8, std::string *out);
// UTF-16LE bytes -> UTF-8 text; false, with *badOffset at the faulty unit,
// for bytes that are not UTF-16 (*out then holds the text before it).  The
// Append form adds the text to what *out holds.
bool Utf16leToUtf8(std::string_view bytes, std::string *out, std::size_t *badOffset);
bool AppendUtf16leAsUtf8(std::string_view bytes, std::string *out, std::size_t *badOffset);

// The run of ASCII characters that starts bytes, at most `most` of them:
// UTF-8 bytes, or UTF-16LE units, below 0x80.  Copies them to out as
// bytes, when out is not null (room for `most`); gives how many.  Whole
// files pass through these, eight bytes at a time.
std::size_t AsciiRunUtf8(std::string_view bytes, std::size_t most, char *out);
std::size_t AsciiRunUtf16le(std::string_view bytes, std::size_t most, char *out);

// Windows-1252 bytes <-> UTF-8 text.
std::string Cp1252ToUtf8(const std::string &bytes);
// Converts code points to Windows-1252; on failure returns false and sets
// *badIndex to the index of the first code point the code page lacks.
bool UnicodeToCp1252(const std::u32string &text, std::string *out, std::size_t *badIndex);
// The same for Mac OS Roman, the host's character set.
bool UnicodeToMacRoman(const std::u32string &text, std::string *out, std::size_t *badIndex);

// The upper case of a character as Windows takes it when the registry
// compares key and value names without regard to case: a-z, the accented
// small letters of Latin-1 (U+00E0-U+00FE but the division sign), and the
// small letters of Windows-1252's upper half (y with diaeresis, s and z
// with caron, the oe ligature) become their capitals.  Every other
// character stays as it is, the micro sign and the sharp s among them, as
// they do in Windows' own upper-casing of names.  This is the one place
// where names are folded: the stand-in registry, its value index and the
// registry editor's files all compare through it.
char32_t UpperCase(char32_t code);
// The same for Windows-1252 bytes (the 8-bit registry functions' names): a
// table, indexed by the byte, of the byte of its upper-case character, for
// loops that fold every byte of many names (the stand-in registry's
// index); it is built once from UpperCase.
const std::array<unsigned char, 256> &UpperCaseCp1252Table();

// Whether a and b are the same UTF-8 text when their characters are
// compared through UpperCase; a byte that does not start a UTF-8 character
// must be equal to its counterpart.  The registry editor compares key
// names, root names and keywords so, and vxhost its function names.
bool EqualNoCase(std::string_view a, std::string_view b);

// "U+00E9 'é'" for messages (control characters without the glyph).
std::string Describe(char32_t code);

}  // namespace charsets

#endif
