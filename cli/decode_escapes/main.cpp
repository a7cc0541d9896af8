// decode-escapes: the plug-in's escape decoder on files and standard input.
#include "file_io.h"
#include "run.h"

#include <string>
#include <vector>

#if defined(_WIN32)
#include "windows_command_line.h"

#include <windows.h>

namespace {

// The arguments as the user typed them (UTF-8), with each unquoted pattern
// such as *.html replaced by the files it matches, as other Windows tools
// do; a pattern that matches nothing stays, and the error names it.
std::vector<std::string> ExpandedArguments()
{
    const auto* line = reinterpret_cast<const char16_t*>(GetCommandLineW());
    std::vector<std::string> args;
    for (const CommandLineWord& word : SplitWindowsCommandLine(line)) {
        const std::string text = WideToUtf8(reinterpret_cast<const wchar_t*>(word.text.c_str()));
        const std::vector<std::string> files =
            IsFileNamePattern(word) ? MatchingFiles(text) : std::vector<std::string>();
        if (files.empty())
            args.push_back(text);
        else
            args.insert(args.end(), files.begin(), files.end());
    }
    return args;
}

}  // namespace

int wmain(int, wchar_t**)  // the runtime's split loses the quotes
{
    PrepareProcess();
    return RunDecodeEscapes(ExpandedArguments());
}
#else
int main(int argc, char** argv)
{
    PrepareProcess();
    return RunDecodeEscapes(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
