#include "option_parser.h"

namespace {

struct Definitions {
    const OptionDefinition* begin;
    std::size_t count;
};

// The option that `name` stands for: its exact long name, or else the one
// long name that begins with it. Several candidates are an error naming them.
const OptionDefinition* FindLong(const std::string& name, Definitions table, std::string& error)
{
    std::vector<const OptionDefinition*> candidates;
    for (std::size_t i = 0; i < table.count && !name.empty(); ++i) {
        const OptionDefinition& definition = table.begin[i];
        if (name == definition.longName)
            return &definition;
        if (std::string(definition.longName).compare(0, name.size(), name) == 0)
            candidates.push_back(&definition);
    }
    if (candidates.size() == 1)
        return candidates[0];
    if (candidates.empty()) {
        error = "unknown option '--" + name + "'";
        return nullptr;
    }
    error = "ambiguous option '--" + name + "' (could be";
    for (std::size_t i = 0; i < candidates.size(); ++i)
        error += std::string(i == 0                       ? " "
                             : i + 1 == candidates.size() ? " or "
                                                          : ", ") +
                 "--" + candidates[i]->longName;
    error += ")";
    return nullptr;
}

const OptionDefinition* FindShort(char name, Definitions table, std::string& error)
{
    for (std::size_t i = 0; i < table.count; ++i) {
        if (table.begin[i].shortName != 0 && name == table.begin[i].shortName)
            return &table.begin[i];
    }
    error = std::string("unknown option '-") + name + "'";
    return nullptr;
}

// A required value not attached to its option is the next argument.
bool TakeNextArgument(const std::vector<std::string>& args, std::size_t& i, ParsedOption& option, std::string& error)
{
    if (i + 1 == args.size()) {
        error = option.shownName + " needs a value";
        return false;
    }
    option.value = args[++i];
    option.hasValue = true;
    return true;
}

// "--name", "--name=value" or "--name value"; advances `i` past a value taken.
bool ReadLongOption(const std::vector<std::string>& args, std::size_t& i, Definitions table, ParsedCommandLine& parsed)
{
    const std::string& arg = args[i];
    const std::size_t equals = arg.find('=');
    const OptionDefinition* definition = FindLong(arg.substr(2, equals - 2), table, parsed.error);
    if (definition == nullptr)
        return false;
    ParsedOption option;
    option.id = definition->id;
    option.shownName = std::string("--") + definition->longName;
    if (equals != std::string::npos) {
        if (definition->value == OptionValue::None) {
            parsed.error = option.shownName + " takes no value";
            return false;
        }
        option.value = arg.substr(equals + 1);
        option.hasValue = true;
    } else if (definition->value == OptionValue::Required && !TakeNextArgument(args, i, option, parsed.error)) {
        return false;
    }
    parsed.options.push_back(option);
    return true;
}

// "-a", "-abc" (three options), "-mvalue", "-m value"; advances `i` past a
// value taken.
bool ReadShortOptions(const std::vector<std::string>& args, std::size_t& i, Definitions table,
                      ParsedCommandLine& parsed)
{
    const std::string& arg = args[i];
    for (std::size_t at = 1; at < arg.size(); ++at) {
        const OptionDefinition* definition = FindShort(arg[at], table, parsed.error);
        if (definition == nullptr)
            return false;
        ParsedOption option;
        option.id = definition->id;
        option.shownName = std::string("-") + arg[at];
        const std::string rest = arg.substr(at + 1);
        if (definition->value != OptionValue::None) {
            if (!rest.empty()) {
                option.value = rest;
                option.hasValue = true;
            } else if (definition->value == OptionValue::Required && !TakeNextArgument(args, i, option, parsed.error)) {
                return false;
            }
            parsed.options.push_back(option);
            return true;
        }
        parsed.options.push_back(option);
    }
    return true;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, const OptionDefinition* definitions,
                                   std::size_t count)
{
    const Definitions table{definitions, count};
    ParsedCommandLine parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg[1] == '-' ? !ReadLongOption(args, i, table, parsed)
                                 : !ReadShortOptions(args, i, table, parsed)) {
            return parsed;
        }
    }
    return parsed;
}
