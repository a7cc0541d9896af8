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

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

namespace {

// Between fork and exec only async-signal-safe calls. `inFd` is a pipe's
// reading end, or -1 to read `in`.
[[noreturn]] void RunChild(const std::string& directory, const char* const* argv, const char* const* envp, int inFd,
                           const char* in, const char* out, const char* err, const ToolSetup& setup)
{
    if (inFd < 0)
        inFd = open(in, O_RDONLY);
    const int outFd = open(out, O_WRONLY | O_CREAT | (setup.appendOutput ? O_APPEND : O_TRUNC), 0600);
    const int errFd = open(err, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (inFd < 0 || outFd < 0 || errFd < 0 || dup2(inFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0 ||
        chdir(directory.c_str()) != 0)
        _exit(127);
    for (int descriptor : setup.closedDescriptors)
        close(descriptor);
    if (setup.fileSizeLimit >= 0) {
        const rlimit limit = {static_cast<rlim_t>(setup.fileSizeLimit), static_cast<rlim_t>(setup.fileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    signal(SIGXFSZ, setup.ignoreFileSizeSignal ? SIG_IGN : SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    execve(argv[0], const_cast<char* const*>(argv), const_cast<char* const*>(envp));
    _exit(127);
}

// Writes all of `bytes` to the pipe, or as much as the child reads.
void FeedPipe(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;  // the child stopped reading
        done += static_cast<std::size_t>(written);
    }
    close(fd);
}

// This process's environment with `added` ("NAME=value") in place of any
// variables of the same names, ended by a null pointer.
std::vector<const char*> Environment(const std::vector<std::string>& added)
{
    std::vector<const char*> variables;
    for (char** inherited = environ; *inherited != nullptr; ++inherited) {
        const std::string variable = *inherited;
        bool replaced = false;
        for (const std::string& entry : added)
            replaced = replaced || variable.compare(0, entry.find('=') + 1, entry, 0, entry.find('=') + 1) == 0;
        if (!replaced)
            variables.push_back(*inherited);
    }
    for (const std::string& entry : added)
        variables.push_back(entry.c_str());
    variables.push_back(nullptr);
    return variables;
}

}  // namespace

ToolProcess StartTool(const std::string& directory, const std::vector<std::string>& args, const std::string& input,
                      const ToolSetup& setup)
{
    const std::string inPath = setup.inputPath.empty() ? directory + "/io.in" : setup.inputPath;
    ToolProcess process;
    process.outPath = setup.outputPath.empty() ? directory + "/io.out" : setup.outputPath;
    process.errPath = directory + "/io.err";
    process.readOut = setup.outputPath.empty();
    if (setup.inputPath.empty())
        WriteFileBytes(inPath, input);

    std::vector<const char*> argv{DECODE_ESCAPES_PATH};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    std::vector<const char*> envp = Environment(setup.environment);

    int pipeFds[2] = {-1, -1};
    if (setup.inputFromPipe && pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    signal(SIGPIPE, SIG_IGN);  // a child that exits early must not stop the test
    process.pid = fork();
    if (process.pid < 0)
        throw std::runtime_error("fork failed");
    if (process.pid == 0) {
        if (pipeFds[1] >= 0)
            close(pipeFds[1]);
        RunChild(directory, argv.data(), envp.data(), pipeFds[0], inPath.c_str(), process.outPath.c_str(),
                 process.errPath.c_str(), setup);
    }
    if (setup.inputFromPipe) {
        close(pipeFds[0]);
        FeedPipe(pipeFds[1], input);
    }
    return process;
}

bool ToolRunning(const ToolProcess& process)
{
    siginfo_t info = {};
    return waitid(P_PID, static_cast<id_t>(process.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

ToolRun FinishTool(const ToolProcess& process)
{
    int status = 0;
    while (waitpid(process.pid, &status, 0) < 0 && errno == EINTR) { }
    ToolRun run;
    if (WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.signal = WTERMSIG(status);
    if (process.readOut)
        run.out = ReadFileBytes(process.outPath);
    run.err = ReadFileBytes(process.errPath);
    return run;
}

ToolRun RunTool(const std::string& directory, const std::vector<std::string>& args, const std::string& input,
                const ToolSetup& setup)
{
    return FinishTool(StartTool(directory, args, input, setup));
}
