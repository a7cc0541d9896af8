// A Windows program receives its command line as one string and splits it
// itself. Split here by the rules of the C runtime, keeping what the runtime
// forgets: whether an argument was quoted, which decides whether its '*' and
// '?' are a pattern for file names.
#ifndef TOOLS_COMMAND_LINE_WINDOWS_COMMAND_LINE_H
#define TOOLS_COMMAND_LINE_WINDOWS_COMMAND_LINE_H

#include <string>
#include <vector>

struct CommandLineWord {
    std::u16string text;
    bool quoted = false;  // a double quote of the syntax took part in it
};

// The arguments after the program's name. Spaces and tabs outside quotes
// separate them; 2n backslashes before a double quote stand for n and the
// quote opens or closes a quoted part, 2n + 1 stand for n and a quote; inside
// a quoted part "" is one quote; other backslashes stand for themselves.
std::vector<CommandLineWord> SplitWindowsCommandLine(const std::u16string& line);

// Whether a Windows program expands the word into the names of the files it
// matches: unquoted, with '*' or '?'.
bool IsFileNamePattern(const CommandLineWord& word);

#endif
