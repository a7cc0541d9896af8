// The command line of decode-escapes: what to decode, from where, to where.
#ifndef DECODE_ESCAPES_OPTIONS_H
#define DECODE_ESCAPES_OPTIONS_H

#include "decoder/decode_mode.h"
#include "option_help.h"
#include "text_encoding.h"

#include <string>
#include <vector>

enum class OutputTarget {
    StandardOutput,  // every result, one after another
    File,            // every result, one after another, into one file
    InPlace,         // each file rewritten with its own result
};

struct Options {
    DecodeMode mode = DecodeMode::CharRef;  // the plug-in's default too
    EncodingChoice encoding = EncodingChoice::Auto;
    OutputTarget target = OutputTarget::StandardOutput;
    std::string outputPath;          // for OutputTarget::File
    std::string backupSuffix;        // for OutputTarget::InPlace: keeps the original as FILE + suffix; empty: none
    std::vector<std::string> files;  // "-" is standard input; none means "-"
};

enum class ParseOutcome { Run, ShowHelp, ShowVersion, Error };

struct ParseResult {
    ParseOutcome outcome = ParseOutcome::Run;
    Options options;
    std::string error;  // for ParseOutcome::Error, without the program name
};

// Parses the arguments after the program name.
ParseResult ParseOptions(const std::vector<std::string>& args);

// The options, for --help and for the manual page and completions.
OptionTable DecodeEscapesOptions();

// The texts that --help and --version print.
std::string HelpText();
const char* VersionText();

#endif
