#include "run.h"

#include "display_name.h"
#include "file_io.h"
#include "kernel_choice.h"
#include "options.h"
#include "stream_decoding.h"

#include <set>
#include <string>
#include <vector>

namespace {

void Report(const std::string& name, const std::string& message)
{
    WriteStandardError("decode-escapes: " + name + ": " + message + "\n");
}

// Tells about surrogates that UTF-8 output could not hold.
void ReportSurrogates(const std::string& file, const SurrogateReport& report)
{
    if (report.count > 0)
        Report(DisplayName(file), DescribeLoneSurrogates(report));
}

// Where a decoded text goes that must not be written: it is only checked.
class CheckOnly : public ByteSink {
public:
    bool Write(const unsigned char*, std::size_t) override { return true; }
};

bool OpenInput(const std::string& file, InputFile& input)
{
    std::string error;
    if (input.Open(file, error))
        return true;
    Report(DisplayName(file), "cannot open: " + error);
    return false;
}

// True, with a report, when `input` is the regular file that `out` writes:
// reading it would read what is being added to it, without end.
bool IsTheOutputFile(const std::string& file, const InputFile& input, const DescriptorSink& out)
{
    FileIdentity output;
    FileIdentity read;
    if (!out.RegularFileIdentity(output) || !input.RegularFileIdentity(read) || !output.IsSameFile(read))
        return false;
    Report(DisplayName(file), "input file is output file");
    return true;
}

// Bad input cuts the output short, so nothing more is written after it; an
// input that cannot be opened, or that is the output file, has written
// nothing and is only skipped.
int RunToStream(const Options& options, Kernel kernel, DescriptorSink& out, const std::string& outName)
{
    int status = ExitSuccess;
    for (const std::string& file : options.files) {
        InputFile input;
        if (!OpenInput(file, input) || IsTheOutputFile(file, input, out)) {
            status = ExitFailure;
            continue;
        }
        const StreamOutcome outcome = DecodeStream(input, options.encoding, options.mode, kernel, out);
        ReportSurrogates(file, outcome.surrogates);
        if (outcome.failure == StreamOutcome::Failure::Output) {
            Report(outName, "cannot write: " + out.error());
            return ExitFailure;
        }
        if (outcome.failure == StreamOutcome::Failure::Input) {
            Report(DisplayName(file), outcome.error);
            return ExitFailure;
        }
    }
    return status;
}

int RunToStandardOutput(const Options& options, Kernel kernel)
{
    StandardOutput out;
    return RunToStream(options, kernel, out, "standard output");
}

// All inputs one after another into one file, or nothing at all. After a bad
// input the others are still read, to report what else is wrong; an input
// that cannot be opened is skipped. A target that is no regular file is
// written as a stream, as standard output is.
int RunToFile(const Options& options, Kernel kernel)
{
    const std::string target = DisplayName(options.outputPath);
    ReplacementFile out;
    CheckOnly checkOnly;
    std::string error;
    if (!out.Prepare(options.outputPath, error) || !out.Open(error)) {
        Report(target, error);
        return ExitFailure;
    }
    if (out.IsStream()) {
        const int status = RunToStream(options, kernel, out, target);
        return out.Commit(error) ? status : ExitFailure;
    }
    bool inputFailed = false;
    bool inputSkipped = false;
    for (const std::string& file : options.files) {
        InputFile input;
        if (!OpenInput(file, input)) {
            inputSkipped = true;
            continue;
        }
        ByteSink& sink = inputFailed ? static_cast<ByteSink&>(checkOnly) : out;
        const StreamOutcome outcome = DecodeStream(input, options.encoding, options.mode, kernel, sink);
        if (outcome.failure == StreamOutcome::Failure::Output) {
            Report(target, "cannot write: " + out.error());
            return ExitFailure;
        }
        if (outcome.failure == StreamOutcome::Failure::Input) {
            Report(DisplayName(file), outcome.error);
            inputFailed = true;
        } else if (!inputFailed) {
            ReportSurrogates(file, outcome.surrogates);
        }
    }
    if (inputFailed) {
        Report(target, "not written, since an input could not be decoded");
        return ExitFailure;
    }
    if (!out.Commit(error)) {
        Report(target, error);
        return ExitFailure;
    }
    return inputSkipped ? ExitFailure : ExitSuccess;
}

// Where -i keeps the original of `path`: the path followed by the suffix,
// or, when the suffix holds a '*', the suffix with each '*' replaced by the
// file's name, in the file's folder unless it is an absolute path.
std::string BackupPath(const std::string& path, const std::string& suffix)
{
    if (suffix.find('*') == std::string::npos)
        return path + suffix;
#if defined(_WIN32)
    const char* const separators = "/\\:";
    const bool absolute = suffix.find_first_of(separators) == 0 || suffix.find(':') == 1;
#else
    const char* const separators = "/";
    const bool absolute = suffix[0] == '/';
#endif
    const std::size_t split = path.find_last_of(separators);
    const std::string folder = split == std::string::npos ? std::string() : path.substr(0, split + 1);
    std::string backup = absolute ? std::string() : folder;
    for (char c : suffix)
        backup += c == '*' ? path.substr(folder.size()) : std::string(1, c);
    return backup;
}

// The files that this run has written, or left as they were: a file named
// twice, or by two paths, is decoded once. A file that was replaced is no
// longer among them, since a name that still holds it (a hard link) names
// text that was not decoded yet.
using FilesDone = std::set<FileIdentity>;

// Rewrites one file with its decoded text; a file with nothing to decode
// stays as it is. Other runs that rewrite the same file wait for this one.
bool RewriteFile(const std::string& file, const Options& options, Kernel kernel, FilesDone& done)
{
    const std::string name = DisplayName(file);
    ReplacementFile out;
    FileLock lock;
    FileIdentity identity;
    FileIdentity replacement;
    InputFile input;
    std::string error;
    if (!IdentifyFile(file, identity, error)) {
        Report(name, "cannot open: " + error);  // a link to no file is not followed to make one
        return false;
    }
    if (out.Prepare(file, error) && out.IsStream())
        error = "not a regular file";
    if (!error.empty() || !lock.Acquire(out.resolvedPath(), identity, error)) {
        Report(name, error);
        return false;
    }
    if (!done.insert(identity).second)
        return true;
    if (!OpenInput(out.resolvedPath(), input))
        return false;
    if (!out.Open(error) || !out.TemporaryIdentity(replacement)) {
        Report(name, error.empty() ? "cannot create a temporary file beside it" : error);
        return false;
    }
    const StreamOutcome outcome = DecodeStream(input, options.encoding, options.mode, kernel, out);
    input.Close();  // Windows replaces no file that is open
    if (outcome.failure != StreamOutcome::Failure::None) {
        Report(name, outcome.failure == StreamOutcome::Failure::Input ? outcome.error : "cannot write: " + out.error());
        return false;
    }
    if (!outcome.decodedAny)
        return true;  // the temporary file goes, the file stays as it is
    const std::string& path = out.resolvedPath();
    if (!options.backupSuffix.empty() && !KeepBackup(path, BackupPath(path, options.backupSuffix), error)) {
        Report(name, error);
        return false;
    }
    if (!out.Commit(error)) {
        Report(name, error);
        return false;
    }
    ReportSurrogates(file, outcome.surrogates);
    done.erase(identity);
    done.insert(replacement);
    return true;
}

int RunInPlace(const Options& options, Kernel kernel)
{
    FilesDone done;
    int status = ExitSuccess;
    for (const std::string& file : options.files) {
        if (!RewriteFile(file, options, kernel, done))
            status = ExitFailure;
    }
    return status;
}

bool PrintText(const std::string& text)
{
    StandardOutput out;
    return out.Write(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

}  // namespace

int RunDecodeEscapes(const std::vector<std::string>& args)
{
    const ParseResult parsed = ParseOptions(args);
    switch (parsed.outcome) {
    case ParseOutcome::Error:
        WriteStandardError("decode-escapes: " + parsed.error + "\nTry 'decode-escapes --help' for more information.\n");
        return ExitFailure;
    case ParseOutcome::ShowHelp:
        return PrintText(HelpText().c_str()) ? ExitSuccess : ExitFailure;
    case ParseOutcome::ShowVersion:
    case ParseOutcome::Run:
        break;
    }
    Kernel kernel;
    std::string error;
    if (!ChooseKernel(kernel, error)) {
        WriteStandardError("decode-escapes: " + error + "\n");
        return ExitFailure;
    }
    if (parsed.outcome == ParseOutcome::ShowVersion) {
        const std::string kernelLine = std::string("kernel: ") + KernelName(kernel) + "\n";
        return PrintText(VersionText()) && PrintText(kernelLine) ? ExitSuccess : ExitFailure;
    }
    switch (parsed.options.target) {
    case OutputTarget::StandardOutput:
        return RunToStandardOutput(parsed.options, kernel);
    case OutputTarget::File:
        if (parsed.options.outputPath == "-")
            return RunToStandardOutput(parsed.options, kernel);
        return RunToFile(parsed.options, kernel);
    case OutputTarget::InPlace:
        return RunInPlace(parsed.options, kernel);
    }
    return ExitFailure;
}
