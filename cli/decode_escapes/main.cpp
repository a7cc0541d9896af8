// decode-escapes: the plug-in's escape decoder on files and standard input.
#include "file_io.h"
#include "run.h"

#include <string>
#include <vector>

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv)
{
    PrepareProcess();
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(WideToUtf8(argv[i]));
    return RunDecodeEscapes(args);
}
#else
int main(int argc, char** argv)
{
    PrepareProcess();
    return RunDecodeEscapes(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
