#include "option_parser.h"

namespace {

const OptionDefinition* FindLong(const std::string& name, const OptionDefinition* definitions, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (name == definitions[i].longName)
            return &definitions[i];
    }
    return nullptr;
}

const OptionDefinition* FindShort(char name, const OptionDefinition* definitions, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (definitions[i].shortName != 0 && name == definitions[i].shortName)
            return &definitions[i];
    }
    return nullptr;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, const OptionDefinition* definitions,
                                   std::size_t count)
{
    ParsedCommandLine parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionDefinition* definition;
        ParsedOption option;
        bool hasValue = false;
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            option.shownName = arg.substr(0, equals);
            definition = FindLong(option.shownName.substr(2), definitions, count);
            if (equals != std::string::npos) {
                option.value = arg.substr(equals + 1);
                hasValue = true;
            }
        } else {
            option.shownName = arg.substr(0, 2);
            definition = FindShort(arg[1], definitions, count);
            if (arg.size() > 2) {
                option.value = arg.substr(2);
                hasValue = true;
            }
        }
        if (definition == nullptr) {
            parsed.error = "unknown option '" + option.shownName + "'";
            return parsed;
        }
        if (definition->takesValue && !hasValue) {
            if (i + 1 == args.size()) {
                parsed.error = option.shownName + " needs a value";
                return parsed;
            }
            option.value = args[++i];
        } else if (!definition->takesValue && hasValue) {
            parsed.error = option.shownName + " takes no value";
            return parsed;
        }
        option.id = definition->id;
        parsed.options.push_back(option);
    }
    return parsed;
}
