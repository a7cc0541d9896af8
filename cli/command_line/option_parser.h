// Command lines in the usual form, read by a table of the options that a
// program knows, as getopt_long reads them: "--name", "--name=value",
// "--name value", a long name cut to any prefix that names one option alone,
// "-n", "-nvalue", "-n value", short options grouped ("-ab" is "-a -b"; an
// option that takes a value takes the rest of the group), and "--" before
// operands that begin with '-'. "-" is an operand.
//
// The table is also what a program tells about its options: --help, the
// manual page and the shell completions are made from it.
#ifndef CLI_COMMAND_LINE_OPTION_PARSER_H
#define CLI_COMMAND_LINE_OPTION_PARSER_H

#include <cstddef>
#include <string>
#include <vector>

enum class OptionValue {
    None,      // "--help"
    Required,  // "--mode=1", "--mode 1", "-m1", "-m 1"
    Optional,  // only attached: "--in-place=.bak", "-i.bak"; "--in-place .bak" is the option and an operand
};

// One value that an option takes, with the names that the command line,
// help and completion know it by.
struct OptionChoice {
    const char* names;  // the names of the value, separated by spaces: "1 ucn"
    const char* help;   // what it means, may be empty
    int value;          // the program's own number for it
};

struct OptionDefinition {
    const char* longName;  // "mode" for --mode
    char shortName;        // 'm' for -m; 0: none
    OptionValue value;
    int id;  // the program's own name for the option
    // What help, manual and completion tell about the option.
    const char* valueName = nullptr;        // "MODE"
    const char* summary = nullptr;          // a line: "the kind of escape to decode"
    const char* details = nullptr;          // more sentences, or nullptr
    const OptionChoice* choices = nullptr;  // the values it takes, up to one with null names
    bool valueIsFile = false;               // the value is a file name (completion offers files)
};

struct ParsedOption {
    int id;
    std::string shownName;  // the option's own name for messages: "--mode" or "-m"
    std::string value;
    bool hasValue = false;  // false for an optional value not given
};

struct ParsedCommandLine {
    std::vector<ParsedOption> options;  // in the order given, up to an error
    std::vector<std::string> operands;
    std::string error;  // empty when the whole line was read, e.g. "unknown option '-x'"
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, const OptionDefinition* definitions,
                                   std::size_t count);

template <std::size_t N>
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, const OptionDefinition (&definitions)[N])
{
    return ParseCommandLine(args, definitions, N);
}

#endif
