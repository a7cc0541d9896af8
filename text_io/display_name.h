// How a file name appears in a message.
#ifndef TEXT_IO_DISPLAY_NAME_H
#define TEXT_IO_DISPLAY_NAME_H

#include <string>

// "-" is "standard input". A name that holds a control character, an
// invisible format character (one that turns text round, such as U+202E, or
// hides, such as U+200B), a line separator or bytes that are not UTF-8 is put
// in single quotes, with those bytes, the quote and the backslash written as
// escapes ('a\nb', 'x\x1b[0m', 'gnp.\xe2\x80\xaetxt'), so that no name can
// start a line of its own, steer the terminal or show as another name.
// Other names stay as they are.
std::string DisplayName(const std::string& path);

#endif
