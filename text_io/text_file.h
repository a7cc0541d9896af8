// A whole text file (or standard input) read into UTF-16 code units, in the
// encoding that the caller or its byte order mark names, else UTF-8. The host
// simulator reads its files so; decode-escapes streams instead.
#ifndef TEXT_IO_TEXT_FILE_H
#define TEXT_IO_TEXT_FILE_H

#include "text_encoding.h"
#include "unit_buffer.h"

#include <cstddef>
#include <string>

// One input as code units, followed by a terminator that the input did not hold.
struct LoadedText {
    UnitBuffer units;
    std::size_t length = 0;  // units before the terminator
    TextFormat format;
};

// Reads and converts the whole of `path` ("-": standard input); nothing is
// decoded or written before the input is known to be good. On failure
// `error` says what and at which byte offset.
bool LoadText(const std::string& path, EncodingChoice choice, LoadedText& text, std::string& error);

#endif
