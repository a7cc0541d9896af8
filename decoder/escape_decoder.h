// The escape decoder: rewrites a zero-terminated UTF-16 text in place,
// replacing each escape of one kind by the code unit that it names.
//
//   DecodeMode::CharRef: "&#" + up to 5 units + ";"   decimal, e.g. "&#26085;"
//   DecodeMode::Ucn:     "\u" + up to 4 units         hexadecimal, e.g. "\u65e5"
//
// (decode_mode.h holds the syntax of each mode.) The field after the prefix
// is read like an unsigned string-to-integer conversion (leading white
// space, a sign, in hexadecimal a "0x"), whatever
// follows the number inside the field is dropped, and the value is cut to
// 16 bits. A field whose low 16 bits are 0 converts nothing and stays in the
// text as it stood. Code units are taken one by one: surrogates are neither
// joined nor checked.
//
// The decoder is pure logic and builds on every platform; its only question
// to the platform is IsSpaceAboveLatin1 (white_space.h). The pass is compiled
// once per instruction set (cpu_kernels.h); every kernel gives the same text.
#ifndef DECODER_ESCAPE_DECODER_H
#define DECODER_ESCAPE_DECODER_H

#include "cpu_kernels.h"
#include "decoder/decode_mode.h"

#include <cstdint>

// Decodes `text` (ended by its first zero unit) in place for `mode`. The
// result is zero-terminated and never longer than the input. A value that
// names no mode leaves the text unchanged. Runs in time linear in the text's
// length.
// Decodes with BestKernel(), asked anew at each call.
void DecodeText(char16_t* text, DecodeMode mode);

// The same with the given kernel, which must be one that CanRunKernel
// accepts (a kernel this build lacks decodes with the portable one).
void DecodeText(char16_t* text, DecodeMode mode, Kernel kernel);

// Converts a zero-terminated field of at most 5 units in base 10 or 16 by the
// rules of wcstoul: white space, one sign, "0x" in base 16, ASCII digits.
std::uint32_t ConvertField(const char16_t* field, int base);

#endif
