// Runs the built decode-escapes in a child process with files for its
// standard input, output and error.
#ifndef TESTS_CLI_TOOL_RUNNER_H
#define TESTS_CLI_TOOL_RUNNER_H

#include <string>
#include <vector>

struct ToolRun {
    int exitStatus = -1;  // -1 when stopped by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

struct ToolLimits {
    long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes; -1: unchanged
    bool ignoreFileSizeSignal = false;
};

// Runs the tool with `args` in `directory`, feeding it `input`. The files for
// the standard streams are made in `directory` under names starting with "io.".
ToolRun RunTool(const std::string& directory, const std::vector<std::string>& args, const std::string& input = "",
                const ToolLimits& limits = ToolLimits());

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

#endif
