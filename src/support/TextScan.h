#pragma once

#include <cstdint>

namespace tonedesk {

// Text scanning over NUL-terminated single-byte text. Every file the program reads is cut
// into lines and numbers by these three routines.

// Returns the start of the line after the one at p. At the text end (a NUL or the end-of-file
// mark 0x1A) returns that position itself. Two break characters in a row (CR LF, LF CR,
// LF LF, CR CR) count as one break. When lineEnd is given it receives the position of the
// character that ended the line.
const char* NextLine(const char* p, const char** lineEnd = nullptr);

// p advanced over spaces and tabs only.
const char* SkipBlanks(const char* p);

// A number after optional blanks: "$" hex, "%" binary, "0x"/"0X" hex, otherwise decimal with an
// optional sign. end receives where the conversion stopped (the start of the digits' text when
// none were found). Unsigned conversions keep their bit pattern.
std::int32_t ParseNumber(const char* p, const char** end);

// Whether ParseNumber, given `start`, read digits before it stopped at `end`: blanks, a sign or
// a prefix alone ("$", "%", "0x") read as 0 without any.
bool ParsedDigits(const char* start, const char* end);

} // namespace tonedesk
