// String utilities: NUL-terminated and length-prefixed strings, comparisons, in-place editing,
// number and IPv4 parsing, file-name extensions, and the bridge to the platform's strings
// (decoding and encoding Mac Roman, UTF-8 and UTF-16).
//
// Byte forms:
//  - NUL-terminated strings, `char*`, UTF-8 as a rule;
//  - length-prefixed strings, `unsigned char*`: a length byte, then at most 255 bytes, no
//    terminator (older records and file headers).
// Every function that writes a string into a caller's buffer from another string takes the
// buffer's size in bytes (terminator or length byte included) and never writes past it; the
// in-place editors only ever shorten or keep a string's length. Temporary conversions return
// values owned by the caller (no shared static buffers).
//
// Encodings are named by the platform's numbers: 0 Mac Roman, 0x08000100 UTF-8,
// 0x14000100 UTF-16 little-endian (counted in 16-bit units, ended by a 0 unit). A platform
// string is UTF-16 text, `std::u16string`.
//
// Case folding is ASCII only: bytes 0x80 and above are never changed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace plexa {

constexpr uint32_t kEncodingMacRoman = 0;
constexpr uint32_t kEncodingUTF8 = 0x08000100;
constexpr uint32_t kEncodingUTF16LE = 0x14000100;

// A whole length-prefixed string: length byte and up to 255 bytes.
using Str255 = std::array<unsigned char, 256>;

// ---- Length-prefixed and NUL-terminated conversions and copies ----

// In place: a NUL-terminated string becomes length-prefixed (at most 255 bytes kept), and back.
unsigned char* InlineC2PStr(char* buffer);
char* InlineP2CStr(unsigned char* buffer);

// Copy at most min(255, size - 1) bytes; nothing is written when size is 0.
void StrCpyC2P(unsigned char* destination, size_t size, const char* source);
void StrCpyP2C(char* destination, size_t size, const unsigned char* source);

// Copies at most n bytes of source, stopping after its NUL; always terminated, within size
// (at most size - 1 bytes are kept). n below 1 gives the empty string.
void StrNCpy(char* destination, size_t size, const char* source, int16_t n);

// Copies a length-prefixed string, at most min(n, 255, size - 1) bytes.
void StrNCpyP(unsigned char* destination, size_t size, const unsigned char* source, int32_t n);

// Conversions into a returned value.
Str255 TempC2P(const char* string);
std::string TempP2C(const unsigned char* string);

// ---- Comparisons ----

// Length-prefixed, over the first min(n, shorter length) bytes: -1, 0 or 1. When those are
// equal and the shorter length is below n, the shorter string is less.
int StrNCmpP(const unsigned char* a, const unsigned char* b, int32_t n);
int StrCINCmpP(const unsigned char* a, const unsigned char* b, int32_t n);

// NUL-terminated, without regard to case, over at most n bytes: -1, 0 or 1 (0 for n = 0).
int StrCINCmp(const char* a, const char* b, uint16_t n);

// Natural order: runs of decimal digits compare by value ("R2" < "R10"), and when the values
// are equal the bytes that differed decide ("a05" < "a5"). Bytes are compared unsigned and,
// unless caseSensitive, folded to lower case. The sign carries the answer: where bytes decide
// the result is their difference, where digit runs decide it is -1 or 1. Digit runs of any
// length compare exactly (by length after leading zeros, then digit by digit).
int StrCmpAlphaNumeric(const char* a, const char* b, bool caseSensitive);
// The trailing decimal number of a designator-like text: from the end, bytes that are not digits
// are passed over until a digit is met, and the run of digits before it is the number (parsed as
// StringToSInt32 does); -1 when the text holds no digit. The run's start goes to *prefixLength,
// the text after the number to suffix (a buffer of suffixSize bytes, cut to fit), and with `cut`
// the text is ended at the run's start, leaving the prefix. U12B gives 12 with prefix U and
// suffix B. Either output may be null; both are cleared first (prefix length 0).
int32_t SplitAlphaNumericString(char* text, bool cut, int32_t* prefixLength, char* suffix,
                                size_t suffixSize);

// ---- Editing in place ----

// Length-prefixed: removes count bytes at position (counted from 1), clipped to the end;
// nothing for a position beyond the length or a count below 1.
void Delete(unsigned char* string, int16_t position, int16_t count);

// Concatenates length-prefixed strings into destination, at most min(255, size - 1) bytes.
// A part may be the destination itself.
unsigned char* Concat(unsigned char* destination, size_t size,
                      std::initializer_list<const unsigned char*> parts);

// Inserts a NUL-terminated string into another (held in a buffer of size bytes) at a position
// from 0 to its length. Returns false and changes nothing for an empty insertion, a position
// outside, or a result that would not fit.
bool StrInsert(const char* insertion, char* string, size_t size, int16_t position);

// Removes count bytes at position (from 0), clipped to the end; nothing for a position
// outside the string or a count below 1.
void StrDelete(char* string, int16_t position, int16_t count);

// Remove leading and trailing blanks (the space character only).
void TrimSpacesC(char* string);
void TrimSpacesP(unsigned char* string);

void StrToUpper(char* string);

// Appends printf-style formatted text of any length to a string.
void AppendFormat(std::string* to, const char* format, ...) __attribute__((format(printf, 2, 3)));

// ---- Numbers and addresses ----

// Parses like strtol over 32 bits: leading white space, optional sign, base 0 picks 16 after
// "0x"/"0X", 8 after a leading 0, else 10; letters are digits 10 to 35 below the base; a base
// of 1 or above 36, or no digits, converts nothing and *end is the start.
// Overflow: the value would pass 0x7FFFFFFF (signed; 0x80000000 after a minus sign) or
// 0xFFFFFFFF (unsigned). Then errno is ERANGE, *end points at the digit that overflowed (so the
// text is not consumed), and the result is clamped: INT32_MAX or INT32_MIN for signed, all
// bits set for unsigned. The digits read before the overflow are never returned as a value.
// An unsigned parse after a minus sign gives the negated value modulo 2^32, as strtoul does.
// end may be null.
int32_t StringToInt32X(const char* string, const char** end, uint32_t base, bool isUnsigned);
int32_t StringToSInt32(const char* string, const char** end, uint32_t base);
uint32_t StringToUInt32(const char* string, const char** end, uint32_t base);

// Four decimal numbers 0 to 255 separated by dots, within 31 characters, followed by the end
// or white space: a << 24 | b << 16 | c << 8 | d. false (out unchanged) for anything else.
bool IPStringToInt32(const char* string, uint32_t* out);

// "%d.%d.%d.%d" of the four bytes from the highest, cut to size; returns buffer.
char* Int32ToIPString(uint32_t address, char* buffer, size_t size);

// ---- File-name extensions ----

// True when name is longer than extension and ends in it (without regard to case).
bool NameHasExtension(const char* name, const char* extension);

// With a non-empty extension: when NameHasExtension, cuts it off and returns true. With an
// empty extension: cuts name at its first "." and returns true; false when it has none.
bool RemoveExtension(const char* extension, char* name);

// ---- Platform strings ----

// The text of bytes in an encoding: UTF-16 units up to a 0 unit, other encodings a
// NUL-terminated string. Empty for no bytes, an unknown encoding, or text not valid in it.
std::u16string TempCFStringUsing(const void* bytes, uint32_t encoding);

// Decodes length bytes in an encoding into *out (replaced): a Mac Roman byte is always a
// character; in UTF-8 each byte that does not begin a well-formed character, and in UTF-16 each
// unpaired surrogate, becomes "?"; a last odd byte of UTF-16 is dropped. False (out empty) for an
// unknown encoding.
bool DecodeTextLossy(const void* bytes, size_t length, uint32_t encoding, std::u16string* out);

// Bytes needed to hold the text in the encoding ("?" for characters it cannot hold) plus the
// terminator (1 byte, 2 for UTF-16); the terminator alone for empty text.
uint32_t GetCFStringByteSize(std::u16string_view string, uint32_t encoding);

// Writes as many whole characters as fit in size minus the terminator (2 bytes for UTF-16,
// else 1), "?" for characters the encoding cannot hold, and terminates. A size below the
// terminator leaves the buffer as it is; an unknown encoding gives the empty string.
void* ExtractCFStringTo(std::u16string_view string, void* buffer, uint32_t size, uint32_t encoding);

// A UTF-8 name as platform text with every "/" made ":" (names of 256 bytes or more as they
// are); and back, into UTF-8 with every ":" made "/".
std::u16string TempCFStringForFinderName(const char* name);
char* ExtractFinderNameCFString(std::u16string_view string, char* buffer, uint32_t size);

// When the UTF-8 string with its NUL does not fit in size bytes, cuts it at a character
// boundary (at size - 1 bytes when the text is not valid UTF-8) and returns true. A size
// below 1 changes nothing.
bool TruncateUTF8ForByteSize(char* string, int32_t size);

// Reinterprets the NUL-terminated text in the buffer in one encoding and writes it back in
// another, whole characters within size. Nothing when both are equal, or when the text is
// not valid in the source encoding (it is left as it is rather than emptied).
void RecodeString(void* buffer, uint32_t size, uint32_t fromEncoding, uint32_t toEncoding);

// Encoding 0 does nothing. Text that is valid in the encoding is kept; any other text is
// taken as Mac Roman and recoded into the encoding within size. Returns whether it recoded.
bool RecodeFromMacRomanIfNeeded(void* buffer, uint32_t size, uint32_t encoding);

}  // namespace plexa
