// Command lines in the usual form, read by a table of the options that a
// program knows: "--name", "--name=value", "-n", "-nvalue", "-n value", and
// "--" before operands that begin with '-'. "-" is an operand.
#ifndef CLI_COMMAND_LINE_OPTION_PARSER_H
#define CLI_COMMAND_LINE_OPTION_PARSER_H

#include <cstddef>
#include <string>
#include <vector>

struct OptionDefinition {
    const char* longName;  // "mode" for --mode
    char shortName;        // 'm' for -m; 0: none
    bool takesValue;
    int id;                // the program's own name for the option
};

struct ParsedOption {
    int id;
    std::string shownName;  // as written: "--mode" or "-m"
    std::string value;
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
