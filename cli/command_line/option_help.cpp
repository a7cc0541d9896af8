#include "option_help.h"

#include <algorithm>
#include <vector>

namespace {

const std::size_t HelpColumn = 24;
const std::size_t HelpWidth = 79;

// The words of `text`, split at spaces. (No string stream: the program's
// size would treble with the C++ library's locale code linked in.)
std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    std::size_t start = text.find_first_not_of(' ');
    while (start != std::string::npos) {
        const std::size_t end = text.find(' ', start);
        words.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? end : text.find_first_not_of(' ', end);
    }
    return words;
}

// `text` in lines of at most HelpWidth columns, each indented by `indent`;
// the first line goes on after `start`, which is padded to `indent` (or, when
// longer, gets a line of its own).
std::string Wrapped(std::string start, const std::string& text, std::size_t indent)
{
    if (start.size() + 2 > indent) {
        start += "\n";
        start.append(indent, ' ');
    } else {
        start.resize(indent, ' ');
    }
    std::string out = start;
    std::size_t column = indent;
    bool lineEmpty = true;
    for (const std::string& word : Words(text)) {
        if (!lineEmpty && column + 1 + word.size() > HelpWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    return out + "\n";
}

// "-m, --mode=MODE", "    --version", "-i, --in-place[=SUFFIX]".
std::string Synopsis(const OptionDefinition& option)
{
    std::string shown = option.shortName != 0 ? std::string("-") + option.shortName + ", " : "    ";
    shown += std::string("--") + option.longName;
    if (option.value == OptionValue::Required)
        shown += std::string("=") + option.valueName;
    else if (option.value == OptionValue::Optional)
        shown += std::string("[=") + option.valueName + "]";
    return shown;
}

std::string Summary(const OptionDefinition& option, const char* endWithoutChoices)
{
    return std::string(option.summary) + (option.choices != nullptr ? ":" : endWithoutChoices);
}

// "1 ucn" as "1 or ucn", or as "1, ucn" with `separator` ", ".
std::string ShownNames(const OptionChoice& choice, const std::string& separator)
{
    std::string shown;
    for (const std::string& name : Words(choice.names))
        shown += (shown.empty() ? "" : separator) + name;
    return shown;
}

std::vector<std::string> AllChoiceNames(const OptionChoice* choices)
{
    std::vector<std::string> names;
    for (const OptionChoice* choice = choices; choice != nullptr && choice->names != nullptr; ++choice) {
        for (const std::string& name : Words(choice->names))
            names.push_back(name);
    }
    return names;
}

std::string Joined(const std::vector<std::string>& words)
{
    std::string joined;
    for (const std::string& word : words)
        joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

// Text for roff, in lines of at most 72 columns: backslashes escaped, and
// no line taken for a request.
std::string Roff(const std::string& text)
{
    std::string out;
    std::size_t lineStart = 0;
    for (const std::string& word : Words(text)) {
        if (out.size() > lineStart && out.size() - lineStart + 1 + word.size() > 72) {
            out += '\n';
            lineStart = out.size();
        } else if (out.size() > lineStart) {
            out += ' ';
        }
        if (out.size() == lineStart && (word[0] == '.' || word[0] == '\''))
            out += "\\&";
        for (char c : word)
            out += c == '\\' ? std::string("\\e") : std::string(1, c);
    }
    return out;
}

// An option name in roff: bold, with real minus signs.
std::string RoffName(const std::string& name)
{
    std::string out = "\\fB";
    for (char c : name)
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out + "\\fR";
}

std::string RoffSynopsis(const OptionDefinition& option)
{
    std::string shown;
    if (option.shortName != 0) {
        shown += RoffName(std::string("-") + option.shortName);
        if (option.value == OptionValue::Optional)
            shown += std::string("[\\fI") + option.valueName + "\\fR]";
        shown += ", ";
    }
    shown += RoffName(std::string("--") + option.longName);
    if (option.value == OptionValue::Required)
        shown += std::string("=\\fI") + option.valueName + "\\fR";
    else if (option.value == OptionValue::Optional)
        shown += std::string("[=\\fI") + option.valueName + "\\fR]";
    return shown;
}

// Single-quoted for a shell.
std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// A description inside zsh's "[...]" of _arguments.
std::string ZshDescription(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '[' || c == ']' || c == ':' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

bool FindChoice(const OptionChoice* choices, const std::string& text, std::string (*fold)(const std::string&),
                int& value)
{
    const std::string folded = fold(text);
    for (const OptionChoice* choice = choices; choice->names != nullptr; ++choice) {
        for (const std::string& name : Words(choice->names)) {
            if (fold(name) == folded) {
                value = choice->value;
                return true;
            }
        }
    }
    return false;
}

std::string ChoiceNames(const OptionChoice* choices)
{
    const std::vector<std::string> names = AllChoiceNames(choices);
    std::string shown;
    for (std::size_t i = 0; i < names.size(); ++i)
        shown += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return shown;
}

std::string OptionHelp(OptionTable options)
{
    std::string help;
    for (const OptionDefinition& option : options) {
        const std::string details = option.details != nullptr ? std::string(" ") + option.details : "";
        help += Wrapped("  " + Synopsis(option), Summary(option, details.empty() ? "" : ".") + details, HelpColumn);
        std::size_t width = 0;
        for (const OptionChoice* choice = option.choices; choice != nullptr && choice->names != nullptr; ++choice)
            width = std::max(width, ShownNames(*choice, " or ").size());
        for (const OptionChoice* choice = option.choices; choice != nullptr && choice->names != nullptr; ++choice)
            help += Wrapped(std::string(HelpColumn + 2, ' ') + ShownNames(*choice, " or "), choice->help,
                            HelpColumn + 4 + width);
    }
    return help;
}

std::string OptionManual(OptionTable options)
{
    std::string roff;
    for (const OptionDefinition& option : options) {
        roff += ".TP\n" + RoffSynopsis(option) + "\n" + Roff(Summary(option, ".")) + "\n";
        if (option.choices != nullptr) {
            roff += ".RS\n";
            for (const OptionChoice* choice = option.choices; choice->names != nullptr; ++choice) {
                std::string names;
                for (const std::string& name : Words(choice->names))
                    names += (names.empty() ? "" : ", ") + RoffName(name);
                roff += ".TP\n" + names + "\n" + Roff(choice->help) + "\n";
            }
            roff += ".RE\n";
        }
        if (option.details != nullptr)
            roff += ".IP\n" + Roff(option.details) + "\n";
    }
    return roff;
}

std::string BashCompletion(const std::string& program, OptionTable options)
{
    std::string function = "_";
    for (char c : program)
        function += (c == '-' || c == '.') ? '_' : c;
    std::vector<std::string> names;
    std::string valueCases;
    for (const OptionDefinition& option : options) {
        std::string pattern = std::string("--") + option.longName;
        names.push_back(pattern);
        if (option.shortName != 0) {
            names.push_back(std::string("-") + option.shortName);
            pattern = std::string("-") + option.shortName + "|" + pattern;
        }
        if (option.value != OptionValue::Required)
            continue;
        valueCases += "    " + pattern + ")\n        ";
        if (option.choices != nullptr)
            valueCases +=
                "COMPREPLY=($(compgen -W " + Quoted(Joined(AllChoiceNames(option.choices))) + " -- \"$cur\"))";
        else if (option.valueIsFile)
            valueCases += "COMPREPLY=($(compgen -f -- \"$cur\"))";
        else
            valueCases += "COMPREPLY=()";
        valueCases += "\n        return ;;\n";
    }
    return "# bash completion for " + program + "\n" + function +
           "()\n"
           "{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    # \"--mode=u\" comes as \"--mode\" \"=\" \"u\" where '=' breaks words.\n"
           "    if [[ $cur == = ]]; then\n"
           "        cur=\n"
           "    elif [[ $prev == = ]] && ((COMP_CWORD >= 2)); then\n"
           "        prev=${COMP_WORDS[COMP_CWORD-2]}\n"
           "    elif [[ $cur == --*=* ]]; then\n"
           "        prev=${cur%%=*}\n"
           "        cur=${cur#*=}\n"
           "    fi\n"
           "    case $prev in\n" +
           valueCases +
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W " +
           Quoted(Joined(names)) +
           " -- \"$cur\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -o filenames -F " +
           function + " " + program + "\n";
}

std::string ZshCompletion(const std::string& program, OptionTable options)
{
    std::string script = "#compdef " + program + "\n\n_arguments -s -S \\\n";
    for (const OptionDefinition& option : options) {
        // Options that end the run, or that exclude each other, are not offered again.
        std::string line = "  ";
        const std::string longName = std::string("--") + option.longName;
        const std::string shortName = option.shortName != 0 ? std::string("-") + option.shortName : "";
        std::string longSpec = longName;
        std::string shortSpec = shortName;
        if (option.value == OptionValue::Required) {
            longSpec += "=";
            shortSpec += "+";
        } else if (option.value == OptionValue::Optional) {
            longSpec += "=-";
            shortSpec += "-";
        }
        const std::string description = "[" + ZshDescription(option.summary) + "]";
        std::string action;
        if (option.value != OptionValue::None) {
            action = std::string(option.value == OptionValue::Optional ? "::" : ":") +
                     ZshDescription(option.valueName) + ":";
            if (option.choices != nullptr)
                action += "(" + Joined(AllChoiceNames(option.choices)) + ")";
            else if (option.valueIsFile)
                action += "_files";
            else
                action += " ";
        }
        const std::string exclusion = "(" + (shortName.empty() ? "" : shortName + " ") + longName + ")";
        if (shortName.empty())
            line += Quoted(exclusion + longSpec + description + action);
        else
            line += Quoted(exclusion) + "{" + Quoted(shortSpec) + "," + Quoted(longSpec) + "}" +
                    Quoted(description + action);
        script += line + " \\\n";
    }
    return script + "  '*:file:_files'\n";
}

std::string FishCompletion(const std::string& program, OptionTable options)
{
    std::string script = "# fish completion for " + program + "\n";
    for (const OptionDefinition& option : options) {
        std::string line = "complete -c " + program;
        if (option.shortName != 0)
            line += std::string(" -s ") + option.shortName;
        line += std::string(" -l ") + option.longName;
        if (option.value == OptionValue::Required) {
            if (option.choices != nullptr)
                line += " -x -a " + Quoted(Joined(AllChoiceNames(option.choices)));
            else
                line += option.valueIsFile ? " -r -F" : " -x";
        }
        line += " -d " + Quoted(option.summary);
        script += line + "\n";
    }
    return script;
}
