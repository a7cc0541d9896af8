// How a file name appears in a message.
#ifndef TEXT_IO_DISPLAY_NAME_H
#define TEXT_IO_DISPLAY_NAME_H

#include <string>

// "-" is "standard input". A name that holds a control character or bytes
// that are not UTF-8 is put in single quotes, with those bytes, the quote
// and the backslash written as escapes ('a\nb', 'x\x1b[0m'), so that no name
// can start a line of its own or steer the terminal. Other names stay as
// they are.
std::string DisplayName(const std::string& path);

#endif
