// The Windows command line split as the C runtime splits it, with the quoting
// that decides whether '*' and '?' are a file name pattern.
#include "windows_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One word as "text" for an unquoted word and "[text]" for a quoted one.
std::string Shown(const std::vector<CommandLineWord>& words)
{
    std::string shown;
    for (const CommandLineWord& word : words) {
        const std::string text(word.text.begin(), word.text.end());  // ASCII rows only
        shown += (shown.empty() ? "" : " ") + (word.quoted ? "[" + text + "]" : text);
    }
    return shown;
}

TEST(WindowsCommandLine, SplitsAsTheRuntimeDoes)
{
    const struct {
        const char16_t* line;
        const char* words;
        // clang-format off
    } rows[] = {
        {u"decode-escapes -i *.html", "-i *.html"},
        {u"\"C:\\Program Files\\decode-escapes.exe\" a", "a"},
        {u"prog   a\tb  ", "a b"},
        {u"prog \"a b\" c", "[a b] c"},
        {u"prog \"*.html\" x\"*\"y", "[*.html] [x*y]"},
        {u"prog \"\"", "[]"},
        {u"prog a\\\\b\\c", "a\\\\b\\c"},          // backslashes alone stay
        {u"prog a\\\"b", "a\"b"},                   // \" is a quote
        {u"prog a\\\\\"b c\"", "[a\\b c]"},         // \\" is \ and an opening quote
        {u"prog a\\\\\\\"b", "a\\\"b"},             // \\\" is \ and a quote
        {u"prog \"a\"\"b\" c", "[a\"b] c"},         // "" inside quotes is a quote
        {u"prog \"unclosed quote", "[unclosed quote]"},
        {u"prog", ""},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.words));
        EXPECT_EQ(row.words, Shown(SplitWindowsCommandLine(row.line)));
    }
}

TEST(WindowsCommandLine, PatternsAreUnquotedWordsWithWildcards)
{
    const struct {
        const char16_t* line;
        bool pattern;
        // clang-format off
    } rows[] = {
        {u"p *.html", true}, {u"p a?.txt", true}, {u"p \"*.html\"", false},
        {u"p dir\\\"*.txt\"", false}, {u"p a.txt", false}, {u"p \\\"*", true},
    };
    // clang-format on
    for (const auto& row : rows) {
        const std::u16string line(row.line);
        SCOPED_TRACE(std::string(line.begin(), line.end()));
        const std::vector<CommandLineWord> words = SplitWindowsCommandLine(row.line);
        ASSERT_EQ(1u, words.size());
        EXPECT_EQ(row.pattern, IsFileNamePattern(words[0]));
    }
}

}  // namespace
