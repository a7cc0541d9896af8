// What a program tells about its options, made from its option table: the
// option list of --help, the OPTIONS section of its manual page, and its
// completions for bash, zsh and fish.
#ifndef TOOLS_COMMAND_LINE_OPTION_HELP_H
#define TOOLS_COMMAND_LINE_OPTION_HELP_H

#include "option_parser.h"

#include <cstddef>
#include <string>

struct OptionTable {
    const OptionDefinition* first;
    std::size_t count;
    const OptionDefinition* begin() const { return first; }
    const OptionDefinition* end() const { return first + count; }
};

// The value of the choice that `text` names, where names are compared as
// `fold` makes them; false when none is.
bool FindChoice(const OptionChoice* choices, const std::string& text, std::string (*fold)(const std::string&),
                int& value);
// The names of the choices for a message: "0, charref, 1 or ucn".
std::string ChoiceNames(const OptionChoice* choices);

// The option list of --help, wrapped to 79 columns.
std::string OptionHelp(OptionTable options);

// The options as the body of a manual page's OPTIONS section (roff).
std::string OptionManual(OptionTable options);

// Completion scripts for `program`: file operands, options and their values.
std::string BashCompletion(const std::string& program, OptionTable options);
std::string ZshCompletion(const std::string& program, OptionTable options);
std::string FishCompletion(const std::string& program, OptionTable options);

#endif
