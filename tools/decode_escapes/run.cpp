#include "run.h"

#include "escape_decoder.h"
#include "file_io.h"
#include "kernel_choice.h"
#include "options.h"
#include "text_encoding.h"
#include "text_file.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string DisplayName(const std::string& path)
{
    return path == "-" ? "standard input" : path;
}

void Report(const std::string& name, const std::string& message)
{
    std::fprintf(stderr, "decode-escapes: %s: %s\n", name.c_str(), message.c_str());
}

// Decodes each NUL-separated part on its own, as the editor would see it, and
// keeps the NULs. The parts only shrink; they are moved down to close up.
void DecodeParts(LoadedText& text, std::int32_t mode, Kernel kernel)
{
    char16_t* const units = text.units.data();
    std::size_t in = 0;
    std::size_t out = 0;
    for (;;) {
        const std::size_t partLength = std::char_traits<char16_t>::length(units + in);
        DecodeText(units + in, mode, kernel);
        const std::size_t decodedLength = std::char_traits<char16_t>::length(units + in);
        std::memmove(units + out, units + in, decodedLength * sizeof(char16_t));
        out += decodedLength;
        in += partLength;
        if (in == text.length)
            break;
        units[out++] = 0;  // the NUL that ended the part
        ++in;
    }
    units[out] = 0;
    text.length = out;
}

// Writes a decoded text and tells about surrogates that UTF-8 cannot hold.
bool WriteText(const LoadedText& text, const std::string& name, ByteSink& sink)
{
    SurrogateReport report;
    const bool written = WriteUnits(text.units.data(), text.length, text.format, sink, report);
    if (written && report.count > 0) {
        const bool one = report.count == 1;
        Report(name, std::to_string(report.count) + (one ? " lone surrogate" : " lone surrogates") +
                         " cannot be written in UTF-8 and became U+FFFD; the first is at byte offset " +
                         std::to_string(report.firstOffset) + " of the output");
    }
    return written;
}

int RunToStandardOutput(const Options& options, Kernel kernel)
{
    StreamSink out(stdout);
    int status = ExitSuccess;
    for (const std::string& file : options.files) {
        LoadedText text;
        std::string error;
        if (!LoadText(file, options.encoding, text, error)) {
            Report(DisplayName(file), error);
            status = ExitFailure;
            continue;
        }
        DecodeParts(text, options.mode, kernel);
        if (!WriteText(text, DisplayName(file), out))
            break;
    }
    if (!out.Flush()) {
        Report("standard output", "cannot write: " + out.error());
        return ExitFailure;
    }
    return status;
}

// All inputs one after another into one file, or nothing at all.
int RunToFile(const Options& options, Kernel kernel)
{
    ReplacementFile out;
    std::string error;
    if (!out.Prepare(options.outputPath, error) || !out.Open(error)) {
        Report(options.outputPath, error);
        return ExitFailure;
    }
    bool inputFailed = false;
    for (const std::string& file : options.files) {
        LoadedText text;
        if (!LoadText(file, options.encoding, text, error)) {
            Report(DisplayName(file), error);
            inputFailed = true;
            continue;
        }
        if (inputFailed)
            continue;  // nothing will be written; the rest is only checked
        DecodeParts(text, options.mode, kernel);
        if (!WriteText(text, DisplayName(file), out)) {
            Report(options.outputPath, "cannot write: " + out.error());
            return ExitFailure;
        }
    }
    if (inputFailed) {
        Report(options.outputPath, "not written, since an input could not be decoded");
        return ExitFailure;
    }
    if (!out.Commit(error)) {
        Report(options.outputPath, error);
        return ExitFailure;
    }
    return ExitSuccess;
}

// Rewrites one file with its decoded text; a file with nothing to decode stays as it is.
bool RewriteFile(const std::string& file, const Options& options, Kernel kernel)
{
    ReplacementFile out;
    LoadedText text;
    std::string error;
    if (!out.Prepare(file, error) || !LoadText(out.resolvedPath(), options.encoding, text, error)) {
        Report(file, error);
        return false;
    }
    const std::size_t originalLength = text.length;
    DecodeParts(text, options.mode, kernel);
    if (text.length == originalLength)
        return true;  // every replacement shortens the text: nothing was decoded
    if (!out.Open(error)) {
        Report(file, error);
        return false;
    }
    if (!WriteText(text, file, out)) {
        Report(file, "cannot write: " + out.error());
        return false;
    }
    if (!out.Commit(error)) {
        Report(file, error);
        return false;
    }
    return true;
}

int RunInPlace(const Options& options, Kernel kernel)
{
    int status = ExitSuccess;
    for (const std::string& file : options.files) {
        if (!RewriteFile(file, options, kernel))
            status = ExitFailure;
    }
    return status;
}

bool PrintText(const char* text)
{
    return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0;
}

}  // namespace

int RunDecodeEscapes(const std::vector<std::string>& args)
{
    const ParseResult parsed = ParseOptions(args);
    switch (parsed.outcome) {
    case ParseOutcome::Error:
        std::fprintf(stderr, "decode-escapes: %s\nTry 'decode-escapes --help' for more information.\n",
                     parsed.error.c_str());
        return ExitFailure;
    case ParseOutcome::ShowHelp:
        return PrintText(HelpText()) ? ExitSuccess : ExitFailure;
    case ParseOutcome::ShowVersion:
    case ParseOutcome::Run:
        break;
    }
    Kernel kernel;
    std::string error;
    if (!ChooseKernel(kernel, error)) {
        std::fprintf(stderr, "decode-escapes: %s\n", error.c_str());
        return ExitFailure;
    }
    if (parsed.outcome == ParseOutcome::ShowVersion) {
        const std::string kernelLine = std::string("kernel: ") + KernelName(kernel) + "\n";
        return PrintText(VersionText()) && PrintText(kernelLine.c_str()) ? ExitSuccess : ExitFailure;
    }
    switch (parsed.options.target) {
    case OutputTarget::StandardOutput:
        return RunToStandardOutput(parsed.options, kernel);
    case OutputTarget::File:
        return RunToFile(parsed.options, kernel);
    case OutputTarget::InPlace:
        return RunInPlace(parsed.options, kernel);
    }
    return ExitFailure;
}
