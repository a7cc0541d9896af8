#include "tool_runner.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

namespace {

// Between fork and exec only async-signal-safe calls.
[[noreturn]] void RunChild(const std::string& directory, const char* const* argv, const char* in, const char* out,
                           const char* err, const ToolLimits& limits)
{
    const int inFd = open(in, O_RDONLY);
    const int outFd = open(out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = open(err, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (inFd < 0 || outFd < 0 || errFd < 0 || dup2(inFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0 ||
        chdir(directory.c_str()) != 0)
        _exit(127);
    if (limits.fileSizeLimit >= 0) {
        const rlimit limit = {static_cast<rlim_t>(limits.fileSizeLimit), static_cast<rlim_t>(limits.fileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    signal(SIGXFSZ, limits.ignoreFileSizeSignal ? SIG_IGN : SIG_DFL);
    execv(argv[0], const_cast<char* const*>(argv));
    _exit(127);
}

}  // namespace

ToolRun RunTool(const std::string& directory, const std::vector<std::string>& args, const std::string& input,
                const ToolLimits& limits)
{
    const std::string inPath = directory + "/io.in";
    const std::string outPath = directory + "/io.out";
    const std::string errPath = directory + "/io.err";
    WriteFileBytes(inPath, input);

    std::vector<const char*> argv{DECODE_ESCAPES_PATH};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0)
        RunChild(directory, argv.data(), inPath.c_str(), outPath.c_str(), errPath.c_str(), limits);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ToolRun run;
    if (WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.signal = WTERMSIG(status);
    run.out = ReadFileBytes(outPath);
    run.err = ReadFileBytes(errPath);
    return run;
}
