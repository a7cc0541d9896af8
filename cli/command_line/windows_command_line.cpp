#include "windows_command_line.h"

namespace {

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// The program's name ends at the first blank, or is quoted as a whole; it
// knows no backslash rule.
std::size_t SkipProgramName(const std::u16string& line)
{
    std::size_t i = 0;
    if (!line.empty() && line[0] == u'"') {
        const std::size_t close = line.find(u'"', 1);
        return close == std::u16string::npos ? line.size() : close + 1;
    }
    while (i < line.size() && !IsBlank(line[i]))
        ++i;
    return i;
}

// Reads one word from `i`, which is at its first character.
CommandLineWord ReadWord(const std::u16string& line, std::size_t& i)
{
    CommandLineWord word;
    bool inQuotes = false;
    while (i < line.size() && (inQuotes || !IsBlank(line[i]))) {
        const char16_t c = line[i];
        if (c == u'\\') {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            const bool beforeQuote = i < line.size() && line[i] == u'"';
            word.text.append(beforeQuote ? backslashes / 2 : backslashes, u'\\');
            if (beforeQuote && backslashes % 2 == 1) {
                word.text.push_back(u'"');
                ++i;
            }
        } else if (c == u'"') {
            word.quoted = true;
            if (inQuotes && i + 1 < line.size() && line[i + 1] == u'"') {
                word.text.push_back(u'"');
                i += 2;
            } else {
                inQuotes = !inQuotes;
                ++i;
            }
        } else {
            word.text.push_back(c);
            ++i;
        }
    }
    return word;
}

}  // namespace

std::vector<CommandLineWord> SplitWindowsCommandLine(const std::u16string& line)
{
    std::vector<CommandLineWord> words;
    std::size_t i = SkipProgramName(line);
    for (;;) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        words.push_back(ReadWord(line, i));
    }
    return words;
}

bool IsFileNamePattern(const CommandLineWord& word)
{
    return !word.quoted && word.text.find_first_of(u"*?") != std::u16string::npos;
}
