#include "options.h"

#include "option_help.h"
#include "option_parser.h"
#include "text_kernels/kernel_list.h"
#include "version.h"

#include <cctype>
#include <cstddef>

namespace {

enum OptionId { Mode, Encoding, Output, InPlace, Help, Version };

// The values of --mode and --encoding; their names are matched in either
// case, '-' and '_' left out (FoldName).
const OptionChoice ModeChoices[] = {
    {"0 charref", "character references, \"&#26085;\" (default)", static_cast<int>(DecodeMode::CharRef)},
    {"1 ucn", "universal character names, \"\\u65e5\"", static_cast<int>(DecodeMode::Ucn)},
    {"html", "every character reference of HTML, as a browser reads it: \"&eacute;\", \"&#x41;\"",
     static_cast<int>(DecodeMode::Html)},
    {"json", "\"\\u65e5\" in JSON, which stays valid", static_cast<int>(DecodeMode::Json)},
    {nullptr, nullptr, 0},
};

const OptionChoice EncodingChoices[] = {
    {"auto", "by the byte order mark, else UTF-8 (default)", static_cast<int>(EncodingChoice::Auto)},
    {"utf-8", "UTF-8", static_cast<int>(EncodingChoice::Utf8)},
    {"utf-16le", "UTF-16, little-endian", static_cast<int>(EncodingChoice::Utf16Le)},
    {"utf-16be", "UTF-16, big-endian", static_cast<int>(EncodingChoice::Utf16Be)},
    {nullptr, nullptr, 0},
};

// The options, and what --help, the manual page and the shell completions
// say of them.
const OptionDefinition KnownOptions[] = {
    {"mode", 'm', OptionValue::Required, Mode, "MODE", "the kind of escape to decode", nullptr, ModeChoices},
    {"encoding", 'e', OptionValue::Required, Encoding, "ENC", "how the input is read", nullptr, EncodingChoices},
    {"output", 'o', OptionValue::Required, Output, "OUT", "write to OUT instead of standard output", nullptr, nullptr,
     true},
    {"in-place", 'i', OptionValue::Optional, InPlace, "SUFFIX", "rewrite each FILE with its own result",
     "With SUFFIX, keep each original as FILE followed by SUFFIX; a * in SUFFIX stands for FILE's name "
     "(-i'old/*' keeps it in the folder old)."},
    {"help", 'h', OptionValue::None, Help, nullptr, "show this help and exit"},
    {"version", 0, OptionValue::None, Version, nullptr, "show the version and exit"},
};

// Lower case, without '-' and '_': "UTF-16LE", "utf16le" and "utf_16le" match.
std::string FoldName(const std::string& name)
{
    std::string folded;
    for (char c : name) {
        if (c != '-' && c != '_')
            folded.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return folded;
}

// Applies one option; returns false with `result.error` set when its value is bad.
bool ApplyOption(const ParsedOption& option, ParseResult& result)
{
    Options& options = result.options;
    int value = 0;
    switch (option.id) {
    case Mode:
        if (FindChoice(ModeChoices, option.value, FoldName, value)) {
            options.mode = static_cast<DecodeMode>(value);
            return true;
        }
        result.error =
            "unknown mode '" + option.value + "' for " + option.shownName + " (use " + ChoiceNames(ModeChoices) + ")";
        return false;
    case Encoding:
        if (FindChoice(EncodingChoices, option.value, FoldName, value)) {
            options.encoding = static_cast<EncodingChoice>(value);
            return true;
        }
        result.error = "unknown encoding '" + option.value + "' for " + option.shownName + " (use " +
                       ChoiceNames(EncodingChoices) + ")";
        return false;
    case Output:
        if (option.value.empty()) {
            result.error = option.shownName + " needs a file name";
            return false;
        }
        options.outputPath = option.value;
        if (options.target == OutputTarget::InPlace) {
            result.error = "--output and --in-place cannot be used together";
            return false;
        }
        options.target = OutputTarget::File;
        return true;
    case InPlace:
        if (options.target == OutputTarget::File) {
            result.error = "--output and --in-place cannot be used together";
            return false;
        }
        options.target = OutputTarget::InPlace;
        options.backupSuffix = option.value;
        return true;
    case Help:
        result.outcome = ParseOutcome::ShowHelp;
        return true;
    case Version:
        result.outcome = ParseOutcome::ShowVersion;
        return true;
    }
    return true;
}

ParseResult Refuse(ParseResult result, const std::string& error)
{
    result.outcome = ParseOutcome::Error;
    result.error = error;
    return result;
}

// Checks what only the whole command line can tell.
ParseResult Finish(ParseResult result)
{
    Options& options = result.options;
    if (options.target != OutputTarget::InPlace) {
        if (options.files.empty())
            options.files.push_back("-");
        return result;
    }
    if (options.files.empty())
        return Refuse(result, "--in-place needs at least one FILE");
    for (const std::string& file : options.files) {
        if (file == "-")
            return Refuse(result, "--in-place cannot rewrite standard input");
    }
    return result;
}

}  // namespace

// Options apply in order: --help or --version before a mistake still answers.
ParseResult ParseOptions(const std::vector<std::string>& args)
{
    const ParsedCommandLine line = ParseCommandLine(args, KnownOptions);
    ParseResult result;
    for (const ParsedOption& option : line.options) {
        if (!ApplyOption(option, result))
            return Refuse(result, result.error);
        if (result.outcome != ParseOutcome::Run)
            return result;
    }
    if (!line.error.empty())
        return Refuse(result, line.error);
    result.options.files = line.operands;
    return Finish(result);
}

const char* VersionText()
{
    return "decode-escapes " PRODUCT_VERSION "\n";
}

OptionTable DecodeEscapesOptions()
{
    return {KnownOptions, sizeof KnownOptions / sizeof KnownOptions[0]};
}

std::string HelpText()
{
    return "Usage: decode-escapes [OPTION]... [FILE]...\n"
           "Replaces the escapes of one kind in the text of each FILE by the characters\n"
           "that they name. With no FILE, or when FILE is -, reads standard input.\n"
           "\n" +
           OptionHelp(DecodeEscapesOptions()) +
           "\n"
           "Short options may be grouped; one that takes a value takes the rest of the\n"
           "group, as -i takes its SUFFIX: -im1 keeps a backup with the suffix m1, while\n"
           "-m1 -i decodes mode 1 in place. A long option may be cut to any start that\n"
           "names it alone (--enc=utf-8). -- ends the options.\n"
           "\n"
           "Modes 0 and 1 decode exactly what the editor plug-in's command decodes: a\n"
           "field of up to 5 decimal or 4 hexadecimal units, cut to one UTF-16 code unit.\n"
           "\n"
           "html reads references as HTML's tokenizer does in text: the 2,231 names of\n"
           "the standard (the longest name wins, and the legacy names need no \";\", so\n"
           "\"&notit;\" gives U+00AC and \"it;\"), \"&#\" with decimal digits and \"&#x\"\n"
           "with hexadecimal ones, with or without \";\". 0, a surrogate and a number beyond\n"
           "10FFFF give U+FFFD; 80 to 9F give the characters of windows-1252 (\"&#128;\" is\n"
           "the euro sign). An \"&\" that starts no reference stays as it is.\n"
           "\n"
           "json decodes \"\\uXXXX\" where its character may stand unescaped in a JSON\n"
           "string or a JavaScript string literal, and a surrogate pair \"\\uD83D\\uDE00\"\n"
           "as one character. What stays escaped: \\u0022 (\") and \\u0027 (') which end\n"
           "a quoted string, \\u005C (\\), the controls \\u0000 to \\u001F, U+2028 and\n"
           "U+2029 (which end a line in older JavaScript), and a lone surrogate. \"\\\\\"\n"
           "is read as a pair, so \"\\\\u0041\" stays; every other byte is copied.\n"
           "\n"
           "Output: each result is written in the encoding of its input, with the byte\n"
           "order mark if the input had one. The text is read, decoded and written in\n"
           "blocks as it comes, so a file of any size takes the same little memory. A NUL\n"
           "in the input is kept; in modes 0 and 1 it ends a part of the text, and each\n"
           "part is decoded on its own. There, escapes may name single surrogates: UTF-16\n"
           "output keeps them as they are, UTF-8 output cannot hold them and writes U+FFFD\n"
           "for each, with a note on standard error; a surrogate pair is written as the\n"
           "one character that it forms.\n"
           "\n"
           "Several FILEs: without -o or -i, the results are written to standard output one\n"
           "after another; with -o, they are written one after another into OUT; with -i,\n"
           "each FILE is rewritten on its own. A FILE named twice, or by two paths, is\n"
           "decoded once. A FILE whose text has nothing to decode is left as it is by -i.\n"
           "\n"
           "Bad input (invalid UTF-8, an odd number of bytes in UTF-16, a read error) is\n"
           "reported with the file name and byte offset. Standard output then stops before\n"
           "the bad bytes (the text before them is decoded as if it ended there), and no\n"
           "further FILE is read. With -o nothing at all is written and OUT stays as it was;\n"
           "with -i that FILE stays as it was. A FILE that cannot be opened is reported and\n"
           "skipped, with -o too: the other FILEs are written, and the exit status is 2. So\n"
           "is a FILE that is the file standard output writes to (\"input file is output\n"
           "file\"), before anything of it is written.\n"
           "\n"
           "-o and -i write a temporary file beside the target and put it in the target's\n"
           "place at the end, keeping its permissions, owner (where allowed), access control\n"
           "list and extended attributes, so that a failure never leaves a half-written\n"
           "file. A symbolic link is followed by the system, with its rules: the file that\n"
           "it names gets the result, and the link stays; a link that the system does not\n"
           "follow (one planted by another user in a shared folder) is reported, and\n"
           "nothing is written. A file with several names (hard links) gets the new text\n"
           "under the name given; its other names keep the old text, unless they are given\n"
           "too. -i rewrites a read-only file too, which stays read-only. Two runs of -i on\n"
           "one file take turns. A killed run leaves at most a hidden temporary file\n"
           "(.NAME.decode-escapes-XXXXXXXX.tmp), which the next run on that target removes.\n"
           "An OUT that is no regular file (a device, a pipe, /dev/stdout) is written as a\n"
           "stream, as standard output is; - is standard output.\n"
           "\n"
           "The environment variable DECODE_ESCAPES_KERNEL picks the decoder's kernel,\n" KERNEL_NAMES_TEXT
           ", for UTF-8 and UTF-16 alike (by default the fastest\n"
           "this processor runs); an unknown kernel, or one this processor cannot run, is\n"
           "an error. --version names it.\n"
           "\n"
           "Exit status: 0 when every FILE was decoded and written, 2 otherwise.\n";
}
