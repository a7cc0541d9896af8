// decode-escapes from its arguments to its exit status.
#ifndef DECODE_ESCAPES_RUN_H
#define DECODE_ESCAPES_RUN_H

#include "exit_status.h"

#include <string>
#include <vector>

// Runs the program with the arguments after its name (UTF-8).
int RunDecodeEscapes(const std::vector<std::string>& args);

#endif
