// decode-escapes from its arguments to its exit status.
#ifndef DECODE_ESCAPES_RUN_H
#define DECODE_ESCAPES_RUN_H

#include <string>
#include <vector>

const int ExitSuccess = 0;
const int ExitFailure = 2;  // bad input, bad arguments, or output that could not be written

// Runs the program with the arguments after its name (UTF-8).
int RunDecodeEscapes(const std::vector<std::string>& args);

#endif
