#include "option_parser.h"

namespace {

const OptionSpec* FindLong(const std::string& name, const OptionSpec* specs, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (name == specs[i].longName)
            return &specs[i];
    }
    return nullptr;
}

const OptionSpec* FindShort(char name, const OptionSpec* specs, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (specs[i].shortName != 0 && name == specs[i].shortName)
            return &specs[i];
    }
    return nullptr;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, const OptionSpec* specs, std::size_t count)
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
        const OptionSpec* spec;
        ParsedOption option;
        bool hasValue = false;
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            option.shownName = arg.substr(0, equals);
            spec = FindLong(option.shownName.substr(2), specs, count);
            if (equals != std::string::npos) {
                option.value = arg.substr(equals + 1);
                hasValue = true;
            }
        } else {
            option.shownName = arg.substr(0, 2);
            spec = FindShort(arg[1], specs, count);
            if (arg.size() > 2) {
                option.value = arg.substr(2);
                hasValue = true;
            }
        }
        if (spec == nullptr) {
            parsed.error = "unknown option '" + option.shownName + "'";
            return parsed;
        }
        if (spec->takesValue && !hasValue) {
            if (i + 1 == args.size()) {
                parsed.error = option.shownName + " needs a value";
                return parsed;
            }
            option.value = args[++i];
        } else if (!spec->takesValue && hasValue) {
            parsed.error = option.shownName + " takes no value";
            return parsed;
        }
        option.id = spec->id;
        parsed.options.push_back(option);
    }
    return parsed;
}
