// Runs the built decode-escapes in a child process with files for its
// standard input, output and error.
#ifndef TESTS_CLI_TOOL_RUNNER_H
#define TESTS_CLI_TOOL_RUNNER_H

#include "file_bytes.h"

#include <string>
#include <sys/types.h>
#include <vector>

struct ToolRun {
    int exitStatus = -1;  // -1 when stopped by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

struct ToolSetup {
    long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes; -1: unchanged
    bool ignoreFileSizeSignal = false;
    bool inputFromPipe = false;            // else from a file, whose size the tool can see
    std::string inputPath;                 // for standard input instead of a file of the run's
    std::string outputPath;                // for standard output instead of a file of the run's
    bool appendOutput = false;             // standard output added to what its file holds, as ">>" does
    std::vector<int> closedDescriptors;    // standard streams the tool starts without
    std::vector<std::string> environment;  // "NAME=value" added to the tool's environment
};

// A tool started and not yet waited for.
struct ToolProcess {
    pid_t pid = -1;
    std::string outPath;
    std::string errPath;
    bool readOut = true;
};

// Starts the tool with `args` in `directory`, feeding it `input`. The files for
// the standard streams are made in `directory` under names starting with "io.".
ToolProcess StartTool(const std::string& directory, const std::vector<std::string>& args, const std::string& input = "",
                      const ToolSetup& setup = ToolSetup());
// Waits for the tool to end and collects what it wrote.
ToolRun FinishTool(const ToolProcess& process);
// True while the tool runs.
bool ToolRunning(const ToolProcess& process);

// StartTool and FinishTool in one.
ToolRun RunTool(const std::string& directory, const std::vector<std::string>& args, const std::string& input = "",
                const ToolSetup& setup = ToolSetup());

void WriteFileBytes(const std::string& path, const std::string& bytes);

#endif
