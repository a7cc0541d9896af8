#include "run.h"

#include "display_name.h"
#include "escape_decoder.h"
#include "file_io.h"
#include "options.h"
#include "text_encoding.h"
#include "text_file.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

void Report(const std::string& name, const std::string& message)
{
    std::fprintf(stderr, "decode-escapes: %s: %s\n", name.c_str(), message.c_str());
}

// Decodes each NUL-separated part on its own, as the editor would see it, and
// keeps the NULs. The parts only shrink; they are moved down to close up.
void DecodeParts(LoadedText& text, std::int32_t mode)
{
    char16_t* const units = text.units.data();
    std::size_t in = 0;
    std::size_t out = 0;
    for (;;) {
        const std::size_t partLength = std::char_traits<char16_t>::length(units + in);
        DecodeText(units + in, mode);
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

int RunToStandardOutput(const Options& options)
{
    StandardOutput out;
    int status = ExitSuccess;
    for (const std::string& file : options.files) {
        LoadedText text;
        std::string error;
        if (!LoadText(file, options.encoding, text, error)) {
            Report(DisplayName(file), error);
            status = ExitFailure;
            continue;
        }
        DecodeParts(text, options.mode);
        if (!WriteText(text, DisplayName(file), out))
            break;
    }
    if (!out.error().empty()) {
        Report("standard output", "cannot write: " + out.error());
        return ExitFailure;
    }
    return status;
}

// All inputs one after another into one file, or nothing at all.
int RunToFile(const Options& options)
{
    ReplacementFile out;
    std::string error;
    if (!out.Prepare(options.outputPath, error) || !out.Open(error)) {
        Report(DisplayName(options.outputPath), error);
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
        DecodeParts(text, options.mode);
        if (!WriteText(text, DisplayName(file), out)) {
            Report(DisplayName(options.outputPath), "cannot write: " + out.error());
            return ExitFailure;
        }
    }
    if (inputFailed) {
        Report(DisplayName(options.outputPath), "not written, since an input could not be decoded");
        return ExitFailure;
    }
    if (!out.Commit(error)) {
        Report(DisplayName(options.outputPath), error);
        return ExitFailure;
    }
    return ExitSuccess;
}

// The files that this run has rewritten or left as they were, before and
// after: a file named twice, or by two paths, is decoded once.
using FilesDone = std::set<FileIdentity>;

// Rewrites one file with its decoded text; a file with nothing to decode stays
// as it is. Other runs that rewrite the same file wait for this one.
bool RewriteFile(const std::string& file, const Options& options, FilesDone& done)
{
    ReplacementFile out;
    FileLock lock;
    FileIdentity identity;
    LoadedText text;
    std::string error;
    if (!out.Prepare(file, error) || !lock.Acquire(out.resolvedPath(), identity, error)) {
        Report(DisplayName(file), error);
        return false;
    }
    if (!done.insert(identity).second)
        return true;
    if (!LoadText(out.resolvedPath(), options.encoding, text, error)) {
        Report(DisplayName(file), error);
        return false;
    }
    const std::size_t originalLength = text.length;
    DecodeParts(text, options.mode);
    if (text.length == originalLength)
        return true;  // every replacement shortens the text: nothing was decoded
    FileIdentity replacement;
    if (!out.Open(error) || !out.TemporaryIdentity(replacement)) {
        Report(DisplayName(file), error);
        return false;
    }
    if (!WriteText(text, DisplayName(file), out)) {
        Report(DisplayName(file), "cannot write: " + out.error());
        return false;
    }
    if (!out.Commit(error)) {
        Report(DisplayName(file), error);
        return false;
    }
    done.insert(replacement);
    return true;
}

int RunInPlace(const Options& options)
{
    FilesDone done;
    int status = ExitSuccess;
    for (const std::string& file : options.files) {
        if (!RewriteFile(file, options, done))
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
        return PrintText(VersionText()) ? ExitSuccess : ExitFailure;
    case ParseOutcome::Run:
        break;
    }
    switch (parsed.options.target) {
    case OutputTarget::StandardOutput:
        return RunToStandardOutput(parsed.options);
    case OutputTarget::File:
        if (parsed.options.outputPath == "-")
            return RunToStandardOutput(parsed.options);
        return RunToFile(parsed.options);
    case OutputTarget::InPlace:
        return RunInPlace(parsed.options);
    }
    return ExitFailure;
}
