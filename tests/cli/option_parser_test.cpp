// The option parser on a table of its own: what getopt_long users expect of
// grouped short options, long names cut short, optional values and "--".
#include "option_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum { Alpha, Alphabet, Beta, Backup };

// clang-format off
const OptionDefinition Definitions[] = {
    {"alpha", 'a', OptionValue::None, Alpha},
    {"alphabet", 0, OptionValue::None, Alphabet},
    {"beta", 'b', OptionValue::Required, Beta},
    {"backup", 'k', OptionValue::Optional, Backup},
};
// clang-format on

// The parsed line in one string: options as "name" or "name=value", then
// the operands in brackets, or the error.
std::string Shown(const ParsedCommandLine& line)
{
    if (!line.error.empty())
        return "error: " + line.error;
    std::string shown;
    for (const ParsedOption& option : line.options)
        shown += option.shownName + (option.hasValue ? "=" + option.value : "") + " ";
    for (const std::string& operand : line.operands)
        shown += "[" + operand + "] ";
    return shown;
}

struct ParseRow {
    const char* name;
    std::vector<std::string> args;
    const char* parsed;
};

// clang-format off
const ParseRow ParseRows[] = {
    {"grouped flags and a value", {"-ab1"}, "-a -b=1 "},
    {"grouped, value apart", {"-ab", "1", "f"}, "-a -b=1 [f] "},
    {"optional value takes the rest", {"-kab"}, "-k=ab "},
    {"optional value not given", {"-k", "x"}, "-k [x] "},
    {"exact name before a longer one", {"--alpha"}, "--alpha "},
    {"prefix of one name", {"--alphab"}, "--alphabet "},
    {"ambiguous prefix", {"--al"}, "error: ambiguous option '--al' (could be --alpha or --alphabet)"},
    {"one-letter prefix", {"--a", "x"}, "error: ambiguous option '--a' (could be --alpha or --alphabet)"},
    {"prefix with a value", {"--be=2"}, "--beta=2 "},
    {"prefix, value apart", {"--bet", "2"}, "--beta=2 "},
    {"ambiguous prefix with a value", {"--b=2"}, "error: ambiguous option '--b' (could be --beta or --backup)"},
    {"optional long value", {"--backup=.b"}, "--backup=.b "},
    {"optional long value empty", {"--backup="}, "--backup= "},
    {"optional long value not apart", {"--backup", ".b"}, "--backup [.b] "},
    {"value for a flag", {"--alpha=1"}, "error: --alpha takes no value"},
    {"value missing at the end", {"-b"}, "error: -b needs a value"},
    {"long value missing at the end", {"--beta"}, "error: --beta needs a value"},
    {"-- ends the options", {"--", "-a", "--beta"}, "[-a] [--beta] "},
    {"- is an operand", {"-", "-a"}, "-a [-] "},
    {"operands between options", {"f", "-a", "g"}, "-a [f] [g] "},
    {"unknown in a group", {"-ax"}, "error: unknown option '-x'"},
    {"unknown long", {"--gamma"}, "error: unknown option '--gamma'"},
    {"no name", {"--=1"}, "error: unknown option '--'"},
};
// clang-format on

TEST(OptionParser, ReadsTheUsualForms)
{
    for (const ParseRow& row : ParseRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Shown(ParseCommandLine(row.args, Definitions)), row.parsed);
    }
}

}  // namespace
