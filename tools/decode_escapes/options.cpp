#include "options.h"

#include "kernel_list.h"
#include "option_parser.h"
#include "version.h"

#include <cctype>
#include <cstddef>

namespace {

enum OptionId { Mode, Encoding, Output, InPlace, Help, Version };

const OptionDefinition KnownOptions[] = {
    {"mode", 'm', true, Mode},
    {"encoding", 'e', true, Encoding},
    {"output", 'o', true, Output},
    {"in-place", 'i', false, InPlace},
    {"help", 'h', false, Help},
    {"version", 0, false, Version},
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

// The one place where the text of --mode becomes a mode: a name, or the
// number under which the plug-in stores the mode.
bool ParseMode(const std::string& value, DecodeMode& mode)
{
    struct Name {
        const char* folded;
        DecodeMode mode;
    };
    static const Name names[] = {
        {"0", DecodeMode::CharRef},
        {"charref", DecodeMode::CharRef},
        {"1", DecodeMode::Ucn},
        {"ucn", DecodeMode::Ucn},
        {"html", DecodeMode::Html},
        {"json", DecodeMode::Json},
    };
    const std::string folded = FoldName(value);
    for (const Name& name : names) {
        if (folded == name.folded) {
            mode = name.mode;
            return true;
        }
    }
    return false;
}

bool ParseEncoding(const std::string& value, EncodingChoice& encoding)
{
    struct Name {
        const char* folded;
        EncodingChoice choice;
    };
    static const Name names[] = {
        {"auto", EncodingChoice::Auto},
        {"utf8", EncodingChoice::Utf8},
        {"utf16le", EncodingChoice::Utf16Le},
        {"utf16be", EncodingChoice::Utf16Be},
    };
    const std::string folded = FoldName(value);
    for (const Name& name : names) {
        if (folded == name.folded) {
            encoding = name.choice;
            return true;
        }
    }
    return false;
}

// Applies one option; returns false with `result.error` set when its value is bad.
bool ApplyOption(const ParsedOption& option, ParseResult& result)
{
    Options& options = result.options;
    switch (option.id) {
    case Mode:
        if (ParseMode(option.value, options.mode))
            return true;
        result.error = "unknown mode '" + option.value + "' for " + option.shownName + " (use html, json, 0, 1, charref or ucn)";
        return false;
    case Encoding:
        if (ParseEncoding(option.value, options.encoding))
            return true;
        result.error = "unknown encoding '" + option.value + "' for " + option.shownName +
                       " (use auto, utf-8, utf-16le or utf-16be)";
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

ParseResult Fail(ParseResult result, const std::string& error)
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
        return Fail(result, "--in-place needs at least one FILE");
    for (const std::string& file : options.files) {
        if (file == "-")
            return Fail(result, "--in-place cannot rewrite standard input");
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
            return Fail(result, result.error);
        if (result.outcome != ParseOutcome::Run)
            return result;
    }
    if (!line.error.empty())
        return Fail(result, line.error);
    result.options.files = line.operands;
    return Finish(result);
}

const char* VersionText()
{
    return "decode-escapes " PRODUCT_VERSION "\n";
}

const char* HelpText()
{
    return "Usage: decode-escapes [OPTION]... [FILE]...\n"
           "Replaces the escapes of one kind in the text of each FILE by the characters\n"
           "that they name. With no FILE, or when FILE is -, reads standard input.\n"
           "\n"
           "  -m, --mode MODE       the kind of escape to decode:\n"
           "                          0 or charref  character references, \"&#26085;\" (default)\n"
           "                          1 or ucn      universal character names, \"\\u65e5\"\n"
           "                          html          every character reference of HTML, as\n"
           "                                        a browser reads it: \"&eacute;\", \"&#x41;\"\n"
           "                          json          \"\\u65e5\" in JSON, which stays valid\n"
           "  -e, --encoding ENC    how the input is read: auto (default), utf-8, utf-16le\n"
           "                        or utf-16be. auto goes by the byte order mark and\n"
           "                        reads UTF-8 when there is none.\n"
           "  -o, --output OUT      write to OUT instead of standard output\n"
           "  -i, --in-place        rewrite each FILE with its own result\n"
           "  -h, --help            show this help and exit\n"
           "      --version         show the version and exit\n"
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
           "string, and a surrogate pair \"\\uD83D\\uDE00\" as one character. What stays\n"
           "escaped: \\u0022 (\"), \\u005C (\\), the controls \\u0000 to \\u001F, U+2028 and\n"
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
           "each FILE is rewritten on its own, and a FILE named twice, or by two paths, is\n"
           "decoded once. A FILE whose text has nothing to decode is left as it is by -i.\n"
           "\n"
           "Bad input (invalid UTF-8, an odd number of bytes in UTF-16, a read error) is\n"
           "reported with the file name and byte offset. Standard output then stops before\n"
           "the bad bytes (the text before them is decoded as if it ended there), and no\n"
           "further FILE is read. With -o nothing at all is written and OUT stays as it was;\n"
           "with -i that FILE stays as it was. A FILE that cannot be opened is reported and\n"
           "skipped.\n"
           "\n"
           "-o and -i write a temporary file beside the target and put it in the target's\n"
           "place at the end, keeping its permissions, so that a failure never leaves a\n"
           "half-written file. A symbolic link is written through: the file that it names\n"
           "gets the result, and the link stays. -i rewrites a read-only file too, which\n"
           "stays read-only. Two runs of -i on one file take turns. OUT is a regular file or\n"
           "a new one (- is standard output): for a device or a pipe, use standard output.\n"
           "\n"
           "The environment variable DECODE_ESCAPES_KERNEL picks the decoder's kernel,\n"
           KERNEL_NAMES_TEXT ", for UTF-8 and UTF-16 alike (by default the fastest\n"
           "this processor runs); an unknown kernel, or one this processor cannot run, is\n"
           "an error. --version names it.\n"
           "\n"
           "Exit status: 0 when every FILE was decoded and written, 2 otherwise.\n";
}
