// decode-escapes as a user runs it: tables of inputs, arguments and what must
// come out, on standard output, in files and on standard error.
#include "text_kernels/cpu_kernels.h"
#include "tool_runner.h"
#include "version.h"

#include <acl/libacl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

const std::string Utf8Bom = "\xEF\xBB\xBF";
const std::string LeBom = "\xFF\xFE";
const std::string BeBom = "\xFE\xFF";

std::string Utf16(const std::u16string& text, bool bigEndian)
{
    std::string bytes;
    for (char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

std::string Le(const std::u16string& text)
{
    return Utf16(text, false);
}

std::string Be(const std::u16string& text)
{
    return Utf16(text, true);
}

// Bytes as text for failure messages: printable ASCII as is, the rest in hex.
std::string Shown(const std::string& bytes)
{
    std::string shown;
    for (unsigned char byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F) {
            shown.push_back(static_cast<char>(byte));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02X>", byte);
            shown += hex;
        }
    }
    return shown;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

unsigned FileMode(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The files in `directory` that process `pid` holds open, other than `except`:
// what /proc shows for its descriptors, a name ending in " (deleted)" for one
// that has no name.
std::vector<std::string> OutputFilesOf(pid_t pid, const std::string& except)
{
    std::vector<std::string> files;
    std::error_code error;
    const std::string folder = fs::path(except).parent_path().string() + "/";
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (!error && target.rfind(folder, 0) == 0 && target != except && target.find("/io.") == std::string::npos)
            files.push_back(target);
    }
    return files;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        unsetenv("DECODE_ESCAPES_KERNEL");  // the tool's own choice, whatever the caller's shell says
        std::string pattern = (fs::temp_directory_path() / "decode-escapes-test.XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir_ = pattern;
    }

    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    ToolRun Run(const std::vector<std::string>& args, const std::string& input = "",
                const ToolSetup& setup = ToolSetup()) const
    {
        return RunTool(dir_, args, input, setup);
    }

    // The directory's files other than the standard streams' files.
    std::set<std::string> Files() const
    {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("io.", 0) != 0)
                names.insert(name);
        }
        return names;
    }

    std::string dir_;
};

struct DecodeRow {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    std::string output;
    std::vector<std::string> environment = {};  // "NAME=value" for the tool
};

ToolSetup RowSetup(const DecodeRow& row, ToolSetup setup = ToolSetup())
{
    setup.environment = row.environment;
    return setup;
}

std::string Repeated(const std::string& piece, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += piece;
    return text;
}

// clang-format off
const DecodeRow DecodeRows[] = {
    {"mode 0 by default", {}, "&#26085;&#26412; \\u65e5\n", "\xE6\x97\xA5\xE6\x9C\xAC \\u65e5\n"},
    {"--mode 1", {"--mode", "1"}, "&#26085;&#26412; \\u65e5\n", "&#26085;&#26412; \xE6\x97\xA5\n"},
    {"--mode ucn", {"--mode", "ucn"}, "\\u0041&#66;", "A&#66;"},
    {"--mode=charref", {"--mode=charref"}, "\\u0041&#66;", "\\u0041B"},
    {"-m UCN", {"-m", "UCN"}, "\\u0041", "A"},
    {"- is standard input", {"-"}, "&#65;", "A"},
    {"- after -- is standard input", {"--", "-"}, "&#65;", "A"},
    {"long option cut short", {"--mod=1"}, "\\u0041&#66;", "A&#66;"},
    {"long option cut short, value apart", {"--enc", "utf-16le"}, Le(u"&#65;"), Le(u"A")},
    {"empty input", {}, "", ""},
    {"line ends kept", {}, "&#65;\r\n&#66;\n", "A\r\nB\n"},
    {"UTF-8 byte order mark kept", {}, Utf8Bom + "&#65;", Utf8Bom + "A"},
    {"only a byte order mark", {}, Utf8Bom, Utf8Bom},
    {"UTF-16LE byte order mark kept", {}, LeBom + Le(u"&#65;\\u0042"), LeBom + Le(u"A\\u0042")},
    {"UTF-16BE byte order mark kept", {"-m1"}, BeBom + Be(u"&#65;\\u0042"), BeBom + Be(u"&#65;B")},
    {"UTF-16LE named, no mark", {"--encoding", "utf-16le"}, Le(u"x&#26085;"), Le(u"x\u65E5")},
    {"UTF-16BE named, no mark", {"-e", "UTF16BE"}, Be(u"x&#26085;"), Be(u"x\u65E5")},
    {"UTF-16 keeps a decoded lone surrogate", {}, LeBom + Le(u"&#55357;"), LeBom + "\x3D\xD8"},
    {"UTF-16 keeps an input lone surrogate", {}, BeBom + "\xDC\x00"s + Be(u"&#65;"), BeBom + "\xDC\x00"s + "\x00\x41"s},
    {"UTF-8 pair of references", {}, "&#55357;&#56832;", "\xF0\x9F\x98\x80"},
    {"UTF-8 pair of names", {"-m", "1"}, "\\uD83D\\uDE00", "\xF0\x9F\x98\x80"},
    {"UTF-8 four-byte input kept", {}, "\xF0\x9F\x98\x80&#65;", "\xF0\x9F\x98\x80" "A"},
    {"NUL ends a part", {}, "&#65;\0&#66;"s, "A\0B"s},
    {"field stops at NUL", {}, "&#65\0;x"s, "&#65\0;x"s},
    {"prefix cut by NUL", {}, "&\0#65;"s, "&\0#65;"s},
    {"short name before NUL", {"-m", "1"}, "\\u4\0" "1"s, "\x04\0" "1"s},
    {"NUL at both ends", {}, "\0&#65;\0"s, "\0A\0"s},
    {"UTF-16 NUL ends a part", {}, LeBom + Le(u"&#65\0;&#66;"s), LeBom + Le(u"&#65\0;B"s)},
    {"sequence across a read block", {}, std::string((1 << 20) - 1, 'a') + "\xE6\x97\xA5&#65;",
     std::string((1 << 20) - 1, 'a') + "\xE6\x97\xA5" "A"},
    {"portable kernel named", {}, Repeated("&#26085;", 20) + "\\u65e5", Repeated("\xE6\x97\xA5", 20) + "\\u65e5",
     {"DECODE_ESCAPES_KERNEL=portable"}},
    {"empty kernel variable", {"-m", "1"}, Repeated("\\u65e5", 20), Repeated("\xE6\x97\xA5", 20), {"DECODE_ESCAPES_KERNEL="}},
    {"--mode html", {"--mode", "html"}, "&#128512; &eacute;&amp;&#x41; &notit;", "\xF0\x9F\x98\x80 \xC3\xA9&A \xC2\xACit;"},
    {"--mode json", {"--mode", "json"}, "{\"a\":\"\\u65e5\\ud83d\\ude00\\\\u0041\\u0022\"}",
     "{\"a\":\"\xE6\x97\xA5\xF0\x9F\x98\x80\\\\u0041\\u0022\"}"},
    {"html grows across read blocks", {"-m", "HTML"}, Repeated("&nGt;", 300000), Repeated("\xE2\x89\xAB\xE2\x83\x92", 300000)},
    {"html in UTF-16BE, beyond the BMP", {"-m", "html"}, BeBom + Be(u"&#x1F600;&#128;"), BeBom + Be(u"\U0001F600\u20AC")},
    {"json in UTF-16LE keeps NULs", {"-mjson"}, LeBom + Le(u"\\u00e9\0\\u0000"s), LeBom + Le(u"\u00E9\0\\u0000"s)},
};
// clang-format on

// Every row with every kernel that can run here, for UTF-8 and UTF-16 alike.
TEST_F(CliTest, DecodesStandardInput)
{
    for (Kernel kernel : RunnableKernels()) {
        SCOPED_TRACE(KernelName(kernel));
        for (const DecodeRow& row : DecodeRows) {
            SCOPED_TRACE(row.name);
            ToolSetup setup = RowSetup(row);
            if (setup.environment.empty())
                setup.environment = {std::string("DECODE_ESCAPES_KERNEL=") + KernelName(kernel)};
            const ToolRun run = Run(row.args, row.input, setup);
            EXPECT_EQ(run.exitStatus, 0) << run.err;
            EXPECT_EQ(Shown(run.out), Shown(row.output));
            EXPECT_EQ(run.err, "");
        }
    }
}

// A pipe does not tell its size: the text grows as it comes.
TEST_F(CliTest, DecodesAPipeLikeAFile)
{
    ToolSetup pipe;
    pipe.inputFromPipe = true;
    for (const DecodeRow& row : DecodeRows) {
        SCOPED_TRACE(row.name);
        const ToolRun run = Run(row.args, row.input, RowSetup(row, pipe));
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(Shown(run.out), Shown(row.output));
    }
    const std::string large = std::string(5 << 20, 'x') + "&#65;";
    EXPECT_EQ(Run({}, large, pipe).out, std::string(5 << 20, 'x') + "A");
}

TEST_F(CliTest, ReportsAFullStandardOutput)
{
    ToolSetup full;
    full.outputPath = "/dev/full";
    const ToolRun run = Run({}, "&#65;", full);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_TRUE(Contains(run.err, "decode-escapes: standard output: cannot write: No space left on device")) << run.err;
}

TEST_F(CliTest, DecodesFilesLikeStandardInput)
{
    for (const DecodeRow& row : DecodeRows) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(Path("in.txt"), row.input);
        std::vector<std::string> args = row.args;
        args.push_back("in.txt");
        EXPECT_EQ(Shown(Run(args, "", RowSetup(row)).out), Shown(row.output));
        args.insert(args.begin(), {"-o", "out.txt"});
        EXPECT_EQ(Run(args, "", RowSetup(row)).exitStatus, 0);
        EXPECT_EQ(Shown(ReadFileBytes(Path("out.txt"))), Shown(row.output));
    }
}

struct SurrogateRow {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    std::string output;
    const char* note;
};

// clang-format off
const SurrogateRow SurrogateRows[] = {
    {"high alone", {}, "a&#55357;b", "a\xEF\xBF\xBD" "b", "1 lone surrogate cannot be written in UTF-8 and became U+FFFD; the first is at byte offset 1 of the output"},
    {"low before high", {}, "&#56832;&#55357;", "\xEF\xBF\xBD\xEF\xBF\xBD", "2 lone surrogates cannot be written in UTF-8 and became U+FFFD; the first is at byte offset 0"},
    {"offset counts the mark", {}, Utf8Bom + "\xC3\xA9&#55357;", Utf8Bom + "\xC3\xA9\xEF\xBF\xBD", "the first is at byte offset 5"},
    {"high before a pair", {"-m", "1"}, "\\uD83D\\uD83D\\uDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80", "1 lone surrogate"},
    {"high before NUL and low", {"-m", "1"}, "\\uD83D\0\\uDE00"s, "\xEF\xBF\xBD\0\xEF\xBF\xBD"s, "2 lone surrogates"},
};
// clang-format on

TEST_F(CliTest, WritesLoneSurrogatesInUtf8AsReplacementCharacters)
{
    for (const SurrogateRow& row : SurrogateRows) {
        SCOPED_TRACE(row.name);
        const ToolRun run = Run(row.args, row.input);
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_EQ(Shown(run.out), Shown(row.output));
        EXPECT_TRUE(Contains(run.err, "standard input: ") && Contains(run.err, row.note)) << run.err;
    }
}

struct BadInputRow {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    const char* error;   // after "decode-escapes: bad.txt: "
    std::string before;  // standard output: the text before the bad bytes, decoded as if it ended there
};

// clang-format off
const BadInputRow BadInputRows[] = {
    {"stray continuation byte", {}, "ab\x80", "invalid UTF-8 at byte offset 2", "ab"},
    {"overlong NUL", {}, "\xC0\x80", "invalid UTF-8 at byte offset 0", ""},
    {"overlong three bytes", {}, "x\xE0\x80\xAF", "invalid UTF-8 at byte offset 1", "x"},
    {"encoded surrogate", {}, "x\xED\xA0\x80", "invalid UTF-8 at byte offset 1", "x"},
    {"above U+10FFFF", {}, "\xF4\x90\x80\x80", "invalid UTF-8 at byte offset 0", ""},
    {"lead byte F5", {}, "&#65;\xF5", "invalid UTF-8 at byte offset 5", "A"},
    {"missing continuation", {}, "\xE6\x97" "A", "invalid UTF-8 at byte offset 0", ""},
    {"cut at the end", {}, "abc\xE6\x97", "incomplete UTF-8 sequence at byte offset 3", "abc"},
    {"after the mark", {}, Utf8Bom + "\x80", "invalid UTF-8 at byte offset 3", Utf8Bom},
    {"escape cut by the bad byte", {"-m", "1"}, "x\\u41\xFFy", "invalid UTF-8 at byte offset 5", "xA"},
    {"field cut by the bad byte", {}, "&#65\xFF;", "invalid UTF-8 at byte offset 4", "&#65"},
    {"high surrogate before the bad byte", {}, "&#55357;\xFF", "invalid UTF-8 at byte offset 8", "\xEF\xBF\xBD"},
    {"in the second read block", {}, std::string(1 << 20, 'a') + "&#65;\xFF", "invalid UTF-8 at byte offset 1048581",
     std::string(1 << 20, 'a') + "A"},
    {"odd UTF-16LE", {}, LeBom + "A\0A"s, "odd number of bytes in UTF-16: half a code unit at byte offset 4",
     LeBom + "A\0"s},
    {"odd UTF-16BE named", {"-e", "utf-16be"}, "\0A\0"s, "odd number of bytes in UTF-16: half a code unit at byte offset 2",
     "\0A"s},
    {"odd UTF-16 after an escape", {}, LeBom + Le(u"&#65;") + "x", "odd number of bytes in UTF-16: half a code unit at byte offset 12", LeBom + Le(u"A")},
    {"html reference cut by the bad byte", {"-m", "html"}, "&#x41\xFF;&amp;", "invalid UTF-8 at byte offset 5", "A"},
    {"html name cut by the bad byte", {"-m", "html"}, "x&amp\xFF;", "invalid UTF-8 at byte offset 5", "x&"},
    {"json pair cut by the bad byte", {"-m", "json"}, "\\uD83D\\uDE\xFF", "invalid UTF-8 at byte offset 10",
     "\\uD83D\\uDE"},
    {"odd UTF-16 after an html reference", {"-m", "html"}, LeBom + Le(u"&lt") + "x", "odd number of bytes in UTF-16: half a code unit at byte offset 8", LeBom + Le(u"<")},
    {"mark contradicts UTF-16LE", {"-e", "utf-16le"}, BeBom + Be(u"A"), "the byte order mark at byte offset 0 is utf-16be, not the utf-16le", ""},
    {"UTF-16 mark under UTF-8", {"-e", "utf-8"}, LeBom + Le(u"A"), "the byte order mark at byte offset 0 is utf-16le", ""},
};
// clang-format on

// Each bad input, whichever way it is written: an error that names the file
// and the offset, and exit status 2. Standard output stops before the bad
// bytes; a file that -o or -i would write is not written at all.
TEST_F(CliTest, BadInputCutsStandardOutputAndWritesNoFile)
{
    const std::string kept = "kept as it was";
    for (const BadInputRow& row : BadInputRows) {
        SCOPED_TRACE(row.name);
        const std::string message = "decode-escapes: bad.txt: "s + row.error;
        WriteFileBytes(Path("bad.txt"), row.input);
        WriteFileBytes(Path("existing.txt"), kept);
        std::remove(Path("new.txt").c_str());

        std::vector<std::vector<std::string>> ways = {{}, {"-o", "new.txt"}, {"-o", "existing.txt"}, {"--in-place"}};
        for (std::vector<std::string>& args : ways) {
            const bool toStandardOutput = args.empty();
            args.insert(args.end(), row.args.begin(), row.args.end());
            args.push_back("bad.txt");
            SCOPED_TRACE(args[0]);
            const ToolRun run = Run(args);
            EXPECT_EQ(run.exitStatus, 2);
            EXPECT_TRUE(Contains(run.err, message)) << run.err;
            EXPECT_EQ(Shown(run.out), Shown(toStandardOutput ? row.before : ""));
        }
        EXPECT_FALSE(fs::exists(Path("new.txt")));
        EXPECT_EQ(ReadFileBytes(Path("existing.txt")), kept);
        EXPECT_EQ(Shown(ReadFileBytes(Path("bad.txt"))), Shown(row.input));
        EXPECT_EQ(Files(), (std::set<std::string>{"bad.txt", "existing.txt"})) << "a file was left";

        ToolSetup pipe;
        pipe.inputFromPipe = true;
        const ToolRun piped = Run(row.args, row.input, pipe);
        EXPECT_EQ(piped.exitStatus, 2);
        EXPECT_TRUE(Contains(piped.err, "decode-escapes: standard input: "s + row.error)) << piped.err;
        EXPECT_EQ(Shown(piped.out), Shown(row.before));
    }
}

struct UsageRow {
    const char* name;
    std::vector<std::string> args;
    const char* error;
    std::vector<std::string> environment = {};  // "NAME=value" for the tool
};

// clang-format off
const UsageRow UsageRows[] = {
    {"unknown long option", {"--bogus", "in.txt"}, "unknown option '--bogus'"},
    {"unknown short option", {"-x"}, "unknown option '-x'"},
    {"mode 2", {"--mode", "2"}, "unknown mode '2' for --mode (use 0, charref, 1, ucn, html or json)"},
    {"mode xml", {"-m", "xml"}, "unknown mode 'xml' for -m"},
    {"mode without value", {"--mode"}, "--mode needs a value"},
    {"unknown encoding", {"-e", "latin1"}, "unknown encoding 'latin1' for -e"},
    {"output and in place", {"-o", "out.txt", "-i", "in.txt"}, "--output and --in-place cannot be used together"},
    {"in place without file", {"--in-place"}, "--in-place needs at least one FILE"},
    {"in place on standard input", {"-i", "in.txt", "-"}, "--in-place cannot rewrite standard input"},
    {"value for a flag", {"--version=yes", "in.txt"}, "--version takes no value"},
    {"value for a flag cut short", {"--vers=yes"}, "--version takes no value"},
    {"unknown option in a group", {"-xi", "in.txt"}, "unknown option '-x'"},
    {"a value takes the rest of the group", {"-em1"}, "unknown encoding 'm1' for -e"},
    {"short option without its value", {"-m"}, "-m needs a value"},
    {"bad value of a long option cut short", {"--m=2"}, "unknown mode '2' for --mode"},
    {"empty output name", {"-o", ""}, "-o needs a file name"},
    {"unknown kernel", {}, "unknown kernel 'avx3' in DECODE_ESCAPES_KERNEL; this processor runs portable",
     {"DECODE_ESCAPES_KERNEL=avx3"}},
    {"kernel names are lower case", {"--version"}, "unknown kernel 'SSE2' in DECODE_ESCAPES_KERNEL",
     {"DECODE_ESCAPES_KERNEL=SSE2"}},
};
// clang-format on

TEST_F(CliTest, RejectsBadArguments)
{
    WriteFileBytes(Path("in.txt"), "&#65;");
    for (const UsageRow& row : UsageRows) {
        SCOPED_TRACE(row.name);
        ToolSetup setup;
        setup.environment = row.environment;
        const ToolRun run = Run(row.args, "&#65;", setup);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_TRUE(Contains(run.err, "decode-escapes: "s + row.error)) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(ReadFileBytes(Path("in.txt")), "&#65;");
        EXPECT_EQ(Files(), std::set<std::string>{"in.txt"});
    }
}

TEST_F(CliTest, HelpAndVersion)
{
    struct Row {
        const char* arg;
        std::string text;
        std::vector<std::string> environment;
    };
    std::vector<Row> rows = {
        {"--help", "Usage: decode-escapes [OPTION]... [FILE]...\n", {}},
        {"-h", "Exit status: 0 when every FILE was decoded and written, 2 otherwise.\n", {}},
        {"--help", "-i rewrites a read-only file too", {}},
        {"--help", "its other names keep the old text, unless they are given\ntoo", {}},
        {"--help", "skipped, with -o too: the other FILEs are written, and the exit status is 2", {}},
        {"--help", "Standard output then stops before\nthe bad bytes", {}},
        {"--version", "decode-escapes " PRODUCT_VERSION "\n", {}},
        {"--version", std::string("kernel: ") + KernelName(BestKernel()) + "\n", {}},
        {"--help", "Usage:", {"DECODE_ESCAPES_KERNEL=none"}},
    };
    for (Kernel kernel : RunnableKernels()) {
        const std::string name = KernelName(kernel);
        rows.push_back({"--version", "kernel: " + name + "\n", {"DECODE_ESCAPES_KERNEL=" + name}});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.arg << ", " << row.text);
        ToolSetup setup;
        setup.environment = row.environment;
        const ToolRun run = Run({row.arg, "no-such-file"}, "", setup);
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_TRUE(Contains(run.out, row.text)) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(CliTest, ReportsUnreadableInputs)
{
    fs::create_directory(Path("folder"));
    const struct {
        const char* path;
        const char* error;
        // clang-format off
    } rows[] = {
        {"missing.txt", "decode-escapes: missing.txt: cannot open: No such file or directory"},
        {"folder", "decode-escapes: folder: read error at byte offset 0: Is a directory"},
        // A name with a control character is quoted, so it cannot forge a line.
        {"a\ndecode-escapes: b.txt", "decode-escapes: 'a\\ndecode-escapes: b.txt': cannot open"},
        {"tab\there\x1b[31m", "decode-escapes: 'tab\\there\\x1b[31m': cannot open"},
        {"it's\r", "decode-escapes: 'it\\'s\\r': cannot open"},
        // Format characters would turn the name round or hide part of it.
        {"gnp.\u202Etxt", "decode-escapes: 'gnp.\\xe2\\x80\\xaetxt': cannot open"},
        {"\u2066a\u2069\u200E", "decode-escapes: '\\xe2\\x81\\xa6a\\xe2\\x81\\xa9\\xe2\\x80\\x8e': cannot open"},
        {"\uFEFFbom\u00AD", "decode-escapes: '\\xef\\xbb\\xbfbom\\xc2\\xad': cannot open"},
        {"tag\U000E0041", "decode-escapes: 'tag\\xf3\\xa0\\x81\\x81': cannot open"},
        {"\u65E5\u00E9.txt", "decode-escapes: \u65E5\u00E9.txt: cannot open"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const ToolRun run = Run({row.path});
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_TRUE(Contains(run.err, row.error)) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

TEST_F(CliTest, SeveralFiles)
{
    WriteFileBytes(Path("a.txt"), "&#65;");
    WriteFileBytes(Path("b.txt"), LeBom + Le(u"&#66;"));
    WriteFileBytes(Path("bad.txt"), "\xFF");
    const std::string decoded = "A" + LeBom + Le(u"B");

    // Standard output: one after another; a bad file ends the output, a
    // missing one, of which nothing was written, is skipped.
    ToolRun run = Run({"a.txt", "b.txt"});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(Shown(run.out), Shown(decoded));
    run = Run({"a.txt", "bad.txt", "b.txt"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(Shown(run.out), "A");
    EXPECT_TRUE(Contains(run.err, "bad.txt: invalid UTF-8 at byte offset 0")) << run.err;
    run = Run({"a.txt", "missing.txt", "b.txt"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(Shown(run.out), Shown(decoded));

    // -o: one after another into the file, or nothing at all.
    EXPECT_EQ(Run({"-o", "out.txt", "a.txt", "b.txt"}).exitStatus, 0);
    EXPECT_EQ(Shown(ReadFileBytes(Path("out.txt"))), Shown(decoded));
    run = Run({"a.txt", "-o", "out.txt", "b.txt", "bad.txt"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_TRUE(Contains(run.err, "out.txt: not written, since an input could not be decoded")) << run.err;
    EXPECT_EQ(Shown(ReadFileBytes(Path("out.txt"))), Shown(decoded));
    // -o: an input that cannot be opened is skipped, as everywhere.
    run = Run({"-o", "out2.txt", "a.txt", "missing.txt", "b.txt"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_TRUE(Contains(run.err, "missing.txt: cannot open: No such file or directory")) << run.err;
    EXPECT_EQ(Shown(ReadFileBytes(Path("out2.txt"))), Shown(decoded));
    fs::remove(Path("out2.txt"));

    // -i: each good file rewritten, the bad one left alone.
    run = Run({"-i", "a.txt", "bad.txt", "b.txt"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(ReadFileBytes(Path("a.txt")), "A");
    EXPECT_EQ(ReadFileBytes(Path("bad.txt")), "\xFF");
    EXPECT_EQ(Shown(ReadFileBytes(Path("b.txt"))), Shown(LeBom + Le(u"B")));
    EXPECT_EQ(Files(), (std::set<std::string>{"a.txt", "b.txt", "bad.txt", "out.txt"}));
}

TEST_F(CliTest, InPlaceKeepsPermissions)
{
    for (unsigned mode : {0600u, 0640u, 0755u, 0444u, 02750u}) {
        SCOPED_TRACE(testing::Message() << std::oct << mode);
        WriteFileBytes(Path("f.txt"), "&#65;");
        ASSERT_EQ(chmod(Path("f.txt").c_str(), mode), 0);
        const ToolRun run = Run({"--in-place", "f.txt"});
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(ReadFileBytes(Path("f.txt")), "A");
        EXPECT_EQ(FileMode(Path("f.txt")), mode);
        std::remove(Path("f.txt").c_str());
    }
}

TEST_F(CliTest, OutputFileKeepsPermissionsOrGetsNewFileOnes)
{
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(Run({"-o", "new.txt"}, "&#65;").exitStatus, 0);
    EXPECT_EQ(FileMode(Path("new.txt")), 0666u & ~mask);
    WriteFileBytes(Path("old.txt"), "old");
    chmod(Path("old.txt").c_str(), 0604);
    EXPECT_EQ(Run({"-o", "old.txt"}, "&#65;").exitStatus, 0);
    EXPECT_EQ(ReadFileBytes(Path("old.txt")), "A");
    EXPECT_EQ(FileMode(Path("old.txt")), 0604u);
}

// -i and -o write through a symbolic link to the file it names, which they
// create when it does not exist yet; the link stays.
TEST_F(CliTest, WritesThroughSymbolicLinks)
{
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links;  // link, what it names
        std::vector<std::string> args;
        const char* written;
        const char* content;
        // clang-format off
    } rows[] = {
        {"-i", {{"link.txt", "target.txt"}}, {"-i", "link.txt"}, "target.txt", "A"},
        {"-o", {{"link.txt", "target.txt"}}, {"-o", "link.txt"}, "target.txt", "B"},
        {"-o, dangling link", {{"link.txt", "new.txt"}}, {"-o", "link.txt"}, "new.txt", "B"},
        {"-o, link in a folder", {{"sub/link.txt", "../target.txt"}}, {"-o", "sub/link.txt"}, "target.txt", "B"},
        {"-o, dangling chain", {{"link.txt", "sub/link2.txt"}, {"sub/link2.txt", "new.txt"}}, {"-o", "link.txt"},
         "sub/new.txt", "B"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(Path("sub"));
        fs::remove(Path("link.txt"));
        fs::remove(Path("new.txt"));
        fs::create_directory(Path("sub"));
        WriteFileBytes(Path("target.txt"), "&#65;");
        for (const auto& link : row.links)
            fs::create_symlink(link.second, Path(link.first));
        const ToolRun run = Run(row.args, "&#66;");
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(ReadFileBytes(Path(row.written)), row.content);
        for (const auto& link : row.links)
            EXPECT_TRUE(fs::is_symlink(Path(link.first))) << link.first;
    }
}

// A file named twice, or by two paths, is rewritten once: decoding its
// result again would decode what the first pass wrote. Each hard link named
// gets the text decoded once; one not named keeps the old text.
TEST_F(CliTest, InPlaceRewritesAFileNamedTwiceOnce)
{
    fs::create_symlink("f.txt", Path("link.txt"));
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> decoded;  // the names that show the text decoded once
        std::vector<std::string> old;      // the names that keep the old text
        // clang-format off
    } rows[] = {
        {{"-i", "f.txt", "f.txt"}, {"f.txt"}, {}},
        {{"-i", "f.txt", "./f.txt"}, {"f.txt"}, {}},
        {{"-i", "link.txt", "f.txt"}, {"f.txt"}, {}},
        {{"-i", "f.txt", "hard.txt"}, {"f.txt", "hard.txt"}, {}},
        {{"-i", "hard.txt", "link.txt", "f.txt", "hard.txt"}, {"f.txt", "hard.txt"}, {}},
        {{"-i", "f.txt"}, {"f.txt"}, {"hard.txt"}},
    };
    // clang-format on
    for (const auto& row : rows) {
        const std::string shown = row.args[1] + " " + row.args.back();
        SCOPED_TRACE(shown);
        fs::remove(Path("hard.txt"));
        WriteFileBytes(Path("f.txt"), "a&#38;#65;b");
        fs::create_hard_link(Path("f.txt"), Path("hard.txt"));
        const ToolRun run = Run(row.args);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        for (const std::string& name : row.decoded)
            EXPECT_EQ(ReadFileBytes(Path(name)), "a&#65;b") << name;
        for (const std::string& name : row.old)
            EXPECT_EQ(ReadFileBytes(Path(name)), "a&#38;#65;b") << name;
    }
}

// -i with a suffix keeps the original of each rewritten file, as sed does:
// the old file itself under the new name, replacing an older backup.
TEST_F(CliTest, InPlaceKeepsABackupWithTheSuffix)
{
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* backup;  // nullptr: none
        int exitStatus;
        std::string decoded;  // f.txt afterwards
        std::string original = "&#65;\\u0042";
        // clang-format off
    } rows[] = {
        {"-i.bak", {"-i.bak", "f.txt"}, "f.txt.bak", 0, "A\\u0042"},
        {"--in-place=~", {"--in-place=~", "f.txt"}, "f.txt~", 0, "A\\u0042"},
        {"long option cut short", {"--in=.orig", "-m1", "f.txt"}, "f.txt.orig", 0, "&#65;B"},
        {"-i then the mode apart", {"-m", "1", "-i.bak", "f.txt"}, "f.txt.bak", 0, "&#65;B"},
        {"the rest of a group is the suffix", {"-im1", "f.txt"}, "f.txtm1", 0, "A\\u0042"},
        {"* is the file's name", {"-iold/*", "f.txt"}, "old/f.txt", 0, "A\\u0042"},
        {"* within a name", {"--in-place=old/*.orig", "f.txt"}, "old/f.txt.orig", 0, "A\\u0042"},
        {"an older backup is replaced", {"-i.old", "f.txt"}, "f.txt.old", 0, "A\\u0042"},
        {"no backup without a suffix", {"--in-place=", "f.txt"}, nullptr, 0, "A\\u0042"},
        {"nothing to decode, no backup", {"-i.bak", "f.txt"}, nullptr, 0, "plain", "plain"},
        {"backup folder missing", {"-inew/*", "f.txt"}, nullptr, 2, "&#65;\\u0042"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(Path("old"));
        for (const std::string& name : Files())
            fs::remove(Path(name));
        fs::create_directory(Path("old"));
        WriteFileBytes(Path("f.txt"), row.original);
        WriteFileBytes(Path("f.txt.old"), "an older backup");
        struct stat before;
        ASSERT_EQ(stat(Path("f.txt").c_str(), &before), 0);
        const ToolRun run = Run(row.args);
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        if (row.exitStatus != 0) {
            EXPECT_TRUE(Contains(run.err, "f.txt: cannot keep a backup: No such file or directory")) << run.err;
        }
        EXPECT_EQ(ReadFileBytes(Path("f.txt")), row.decoded);
        std::set<std::string> expected = {"f.txt", "f.txt.old", "old"};
        if (row.backup != nullptr) {
            struct stat backup;
            ASSERT_EQ(stat(Path(row.backup).c_str(), &backup), 0);
            EXPECT_EQ(backup.st_ino, before.st_ino) << "not the original file";
            EXPECT_EQ(ReadFileBytes(Path(row.backup)), row.original);
            expected.insert(fs::path(row.backup).begin()->string());
        }
        EXPECT_EQ(Files(), expected);
        EXPECT_EQ(fs::is_empty(Path("old")), row.backup == nullptr || row.backup[0] != 'o');
    }
}

TEST_F(CliTest, DashAsOutputIsStandardOutput)
{
    const ToolRun run = Run({"-o", "-"}, "&#65;");
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "A");
    EXPECT_TRUE(Files().empty());
}

// A standard stream that the tool starts without must not become one of the
// files it opens: a note meant for standard error would land in that file.
TEST_F(CliTest, StartsWithoutStandardStreams)
{
    const std::string original = "a&#55357;b";  // a lone surrogate: a note on standard error
    const std::string decoded = "a\xEF\xBF\xBD"
                                "b";
    const struct {
        const char* name;
        std::vector<int> closed;
        std::vector<std::string> args;
        int exitStatus;
        const char* error;
        std::string file;  // f.txt afterwards
        // clang-format off
    } rows[] = {
        {"-i, no standard error", {2}, {"-i", "f.txt"}, 0, "", decoded},
        {"-o, no standard error", {2}, {"-o", "f.txt", "g.txt"}, 0, "", decoded},
        {"-i, none of the three", {0, 1, 2}, {"-i", "f.txt"}, 0, "", decoded},
        {"no standard output", {1}, {"g.txt"}, 2, "standard output: cannot write: Bad file descriptor", original},
        {"no standard input", {0}, {"-o", "f.txt"}, 2, "standard input: read error at byte offset 0: Bad file descriptor",
         original},
    };
    // clang-format on
    WriteFileBytes(Path("g.txt"), original);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(Path("f.txt"), original);
        ToolSetup setup;
        setup.closedDescriptors = row.closed;
        const ToolRun run = Run(row.args, "", setup);
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        EXPECT_TRUE(Contains(run.err, row.error)) << run.err;
        EXPECT_EQ(Shown(ReadFileBytes(Path("f.txt"))), Shown(row.file));
        EXPECT_EQ(Files(), (std::set<std::string>{"f.txt", "g.txt"}));
    }
}

// Whatever becomes of a run of -i, no file of its own is left: the new
// content has no name until it is complete.
TEST_F(CliTest, KilledInPlaceRunLeavesNoFileBehind)
{
    std::string original;
    for (int i = 0; i < (4 << 20); ++i)
        original += "&#65;x&#66;";
    WriteFileBytes(Path("f.txt"), original);
    const ToolProcess tool = StartTool(dir_, {"-i", "f.txt"});
    // Wait until the tool holds its output open, then stop it dead.
    bool writing = false;
    for (int i = 0; i < 20000 && !writing && ToolRunning(tool); ++i) {
        writing = !OutputFilesOf(tool.pid, Path("f.txt")).empty();
        if (!writing)
            usleep(500);
    }
    ASSERT_TRUE(writing) << "the tool ended before it could be stopped";
    kill(tool.pid, SIGKILL);
    EXPECT_EQ(FinishTool(tool).signal, SIGKILL);
    EXPECT_EQ(Files(), std::set<std::string>{"f.txt"});
    EXPECT_TRUE(ReadFileBytes(Path("f.txt")) == original);
}

// Two runs of -i on one file take turns: the second decodes what the first
// wrote, even when the first replaced the file while the second waited.
TEST_F(CliTest, InPlaceWaitsForAnotherRunOnTheSameFile)
{
    WriteFileBytes(Path("f.txt"), "&#65;");
    const int held = open(Path("f.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const ToolProcess tool = StartTool(dir_, {"-i", "f.txt"});
    usleep(300000);
    EXPECT_TRUE(ToolRunning(tool)) << "the tool did not wait for the lock";
    EXPECT_EQ(ReadFileBytes(Path("f.txt")), "&#65;");
    // What the other run would do: replace the file, then let go.
    WriteFileBytes(Path("new.txt"), "&#38;#66;");
    ASSERT_EQ(std::rename(Path("new.txt").c_str(), Path("f.txt").c_str()), 0);
    close(held);
    const ToolRun run = FinishTool(tool);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Path("f.txt")), "&#66;");
}

TEST_F(CliTest, InPlaceLeavesAFileWithNothingToDecode)
{
    WriteFileBytes(Path("plain.txt"), Utf8Bom + "&#x41; no reference\n");
    const fs::file_time_type before = fs::last_write_time(Path("plain.txt"));
    struct stat info;
    ASSERT_EQ(stat(Path("plain.txt").c_str(), &info), 0);
    EXPECT_EQ(Run({"-i", "plain.txt"}).exitStatus, 0);
    struct stat after;
    ASSERT_EQ(stat(Path("plain.txt").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, info.st_ino);
    EXPECT_EQ(fs::last_write_time(Path("plain.txt")), before);
}

// A write that fails (the file size limit holds for root too) or a kill in the
// middle of writing leaves the original whole and no temporary file behind.
TEST_F(CliTest, FailedWriteLeavesTheOriginal)
{
    const std::string original = "&#65;" + std::string(200000, 'x');
    const struct {
        const char* name;
        std::vector<std::string> args;
        bool ignoreSignal;
        // clang-format off
    } rows[] = {
        {"in place, write fails", {"-i", "f.txt"}, true},
        {"in place, killed by SIGXFSZ", {"-i", "f.txt"}, false},
        {"-o, write fails", {"-o", "f.txt", "g.txt"}, true},
        {"-o, killed by SIGXFSZ", {"-o", "f.txt", "g.txt"}, false},
    };
    // clang-format on
    WriteFileBytes(Path("g.txt"), original);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(Path("f.txt"), original);
        ToolSetup setup;
        setup.fileSizeLimit = 4096;
        setup.ignoreFileSizeSignal = row.ignoreSignal;
        const ToolRun run = Run(row.args, "", setup);
        if (row.ignoreSignal) {
            EXPECT_EQ(run.exitStatus, 2);
            EXPECT_TRUE(Contains(run.err, "decode-escapes: f.txt: cannot write: File too large")) << run.err;
        } else {
            EXPECT_EQ(run.signal, SIGXFSZ);
        }
        EXPECT_EQ(ReadFileBytes(Path("f.txt")), original);
        EXPECT_EQ(Files(), (std::set<std::string>{"f.txt", "g.txt"}));
    }
}

TEST_F(CliTest, OutputTargetThatCannotBeReplaced)
{
    fs::create_directory(Path("folder"));
    const struct {
        const char* target;
        const char* error;
        // clang-format off
    } rows[] = {
        {"folder", "decode-escapes: folder: not a regular file"},
        {"missing/out.txt", "decode-escapes: missing/out.txt: cannot create a temporary file beside it: No such file or directory"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.target);
        const ToolRun run = Run({"-o", row.target}, "&#65;");
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_TRUE(Contains(run.err, row.error)) << run.err;
    }
    EXPECT_TRUE(fs::is_directory(Path("folder")));
    EXPECT_TRUE(fs::is_empty(Path("folder")));
}

// An input that is the file standard output goes to would be read while it
// grows: it is refused before anything of it is written, the others are
// decoded. The file size limit stops a tool that would grow it without end.
TEST_F(CliTest, RefusesAnInputThatIsTheOutputFile)
{
    const struct {
        const char* name;
        std::vector<std::string> args;
        bool inputIsOutput;  // standard input open on the output file
        const char* error;
        std::string after;  // out.txt afterwards
        // clang-format off
    } rows[] = {
        {"named", {"b.txt", "out.txt", "b.txt"}, false, "decode-escapes: out.txt: input file is output file", "old;BB"},
        {"standard input", {"-", "b.txt"}, true, "decode-escapes: standard input: input file is output file", "old;B"},
        {"through a link", {"link.txt", "b.txt"}, false, "decode-escapes: link.txt: input file is output file", "old;B"},
        {"-o /dev/stdout", {"-o", "/dev/stdout", "out.txt", "b.txt"}, false, "decode-escapes: out.txt: input file is output file", "old;B"},
    };
    // clang-format on
    WriteFileBytes(Path("b.txt"), "&#66;");
    fs::create_symlink("out.txt", Path("link.txt"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(Path("out.txt"), "old;");
        ToolSetup setup;
        setup.outputPath = Path("out.txt");
        setup.appendOutput = true;
        setup.fileSizeLimit = 1 << 16;
        setup.ignoreFileSizeSignal = true;
        if (row.inputIsOutput)
            setup.inputPath = Path("out.txt");
        const ToolRun run = Run(row.args, "", setup);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_TRUE(Contains(run.err, row.error)) << run.err;
        EXPECT_EQ(Shown(ReadFileBytes(Path("out.txt"))), Shown(row.after));
    }
}

// What is not a regular file is written as it stands, as a stream: standard
// output named by a path keeps what was written before, and a device or a
// pipe stays what it is.
TEST_F(CliTest, WritesATargetThatIsNoRegularFileAsAStream)
{
    ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
    const int pipeEnd =
        open(Path("pipe").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);  // a reader, so writing does not wait
    ASSERT_GE(pipeEnd, 0);
    const struct {
        const char* target;
        std::string out;   // the file of standard output afterwards
        std::string pipe;  // what the pipe holds afterwards
        // clang-format off
    } rows[] = {
        {"/dev/stdout", "before;A", ""},
        {"/proc/self/fd/1", "before;A", ""},
        {"/dev/fd/1", "before;A", ""},
        {"/dev/null", "before;", ""},
        {"pipe", "before;", "A"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.target);
        WriteFileBytes(Path("out.txt"), "before;");
        struct stat before;
        ASSERT_EQ(stat(Path("out.txt").c_str(), &before), 0);
        ToolSetup setup;
        setup.outputPath = Path("out.txt");
        setup.appendOutput = true;
        const ToolRun run = Run({"-o", row.target}, "&#65;", setup);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(ReadFileBytes(Path("out.txt")), row.out);
        struct stat after;
        EXPECT_TRUE(stat(Path("out.txt").c_str(), &after) == 0 && after.st_ino == before.st_ino);
        char buffer[64];
        const ssize_t got = read(pipeEnd, buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), row.pipe);
    }
    close(pipeEnd);
    struct stat info;
    EXPECT_TRUE(stat("/dev/null", &info) == 0 && S_ISCHR(info.st_mode));
    EXPECT_TRUE(lstat(Path("pipe").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
    EXPECT_EQ(Files(), (std::set<std::string>{"out.txt", "pipe"}));
}

// Switches the system's protection of links in sticky world-writable
// folders on for a test, and back as it was afterwards.
class LinkProtection {
public:
    LinkProtection() : was_(ReadFileBytes(Setting)) { on_ = Write("1\n") && ReadFileBytes(Setting) == "1\n"; }
    ~LinkProtection()
    {
        if (!was_.empty())
            Write(was_);
    }
    bool on() const { return on_; }

private:
    static bool Write(const std::string& value)
    {
        const int file = open(Setting, O_WRONLY | O_CLOEXEC);
        const bool written = file >= 0 && write(file, value.data(), value.size()) == static_cast<ssize_t>(value.size());
        if (file >= 0)
            close(file);
        return written;
    }
    static constexpr const char* Setting = "/proc/sys/fs/protected_symlinks";
    std::string was_;
    bool on_ = false;
};

// Plants a symbolic link as the user nobody, as another user of a shared
// folder would.
bool PlantLinkAsNobody(const std::string& folder, const std::string& name, const std::string& target)
{
    const int folderFd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const pid_t child = fork();
    if (child == 0)
        _exit(setgid(65534) == 0 && setuid(65534) == 0 && symlinkat(target.c_str(), folderFd, name.c_str()) == 0 ? 0
                                                                                                                 : 1);
    int status = 1;
    waitpid(child, &status, 0);
    close(folderFd);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Links are followed by the system, so its rules hold: in a sticky folder
// that everyone may write, a link that another user planted is not followed
// by the tool run as root, and the file it names stays as it was.
TEST_F(CliTest, LeavesALinkPlantedByAnotherUserAlone)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to plant a link as another user";
    LinkProtection protection;
    if (!protection.on())
        GTEST_SKIP() << "the protection of links in sticky folders cannot be switched on here";
    fs::create_directory(Path("tmp"));
    ASSERT_EQ(chmod(Path("tmp").c_str(), 01777), 0);
    ASSERT_TRUE(PlantLinkAsNobody(Path("tmp"), "report.txt", "../private.txt"));
    fs::create_symlink("../own.txt", Path("tmp/own-link.txt"));
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitStatus;
        const char* error;
        std::string privateText;  // private.txt afterwards
        std::string ownText;      // own.txt afterwards
        // clang-format off
    } rows[] = {
        {"-o, planted", {"-o", "tmp/report.txt"}, 2, "decode-escapes: tmp/report.txt: cannot open: Permission denied", "secret &#65;", "&#66;"},
        {"-i, planted", {"-i", "tmp/report.txt"}, 2, "decode-escapes: tmp/report.txt: cannot open: Permission denied", "secret &#65;", "&#66;"},
        {"-o, own link", {"-o", "tmp/own-link.txt", "own.txt"}, 0, "", "secret &#65;", "B"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(Path("private.txt"), "secret &#65;");
        ASSERT_EQ(chmod(Path("private.txt").c_str(), 0600), 0);
        WriteFileBytes(Path("own.txt"), "&#66;");
        const ToolRun run = Run(row.args, "&#67;");
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        EXPECT_TRUE(Contains(run.err, row.error)) << run.err;
        EXPECT_EQ(ReadFileBytes(Path("private.txt")), row.privateText);
        EXPECT_EQ(ReadFileBytes(Path("own.txt")), row.ownText);
        EXPECT_TRUE(fs::is_symlink(Path("tmp/report.txt")));
        EXPECT_EQ(std::distance(fs::directory_iterator(Path("tmp")), fs::directory_iterator()), 2);
    }
}

// The access control list, the extended attributes, the mode and, for root,
// the owner of the file that -i or -o replaces stay as they were.
TEST_F(CliTest, KeepsAccessControlListAndExtendedAttributes)
{
    const char* const aclText = "user::rw-\nuser:nobody:rw-\ngroup::r--\nmask::rw-\nother::---\n";
    const std::vector<std::string> rows[] = {{"-i", "f.txt"}, {"-o", "f.txt", "g.txt"}};
    WriteFileBytes(Path("g.txt"), "&#65;");
    for (const std::vector<std::string>& args : rows) {
        SCOPED_TRACE(args[0]);
        WriteFileBytes(Path("f.txt"), "&#65;");
        if (setxattr(Path("f.txt").c_str(), "user.origin", "test", 4, 0) != 0) {
            GTEST_SKIP() << "this file system keeps no extended attributes: " << std::strerror(errno);
        }
        const acl_t acl = acl_from_text(aclText);
        ASSERT_EQ(acl_set_file(Path("f.txt").c_str(), ACL_TYPE_ACCESS, acl), 0) << std::strerror(errno);
        acl_free(acl);
        const bool root = geteuid() == 0;
        if (root) {
            ASSERT_EQ(chown(Path("f.txt").c_str(), 65534, 65534), 0);
        }

        const ToolRun run = Run(args);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(ReadFileBytes(Path("f.txt")), "A");
        char value[16] = {};
        EXPECT_EQ(getxattr(Path("f.txt").c_str(), "user.origin", value, sizeof value), 4);
        EXPECT_STREQ(value, "test");
        const acl_t kept = acl_get_file(Path("f.txt").c_str(), ACL_TYPE_ACCESS);
        char* const keptText = kept != nullptr ? acl_to_any_text(kept, nullptr, '\n', 0) : nullptr;
        EXPECT_EQ(std::string(keptText != nullptr ? keptText : "") + "\n", aclText);
        acl_free(keptText);
        acl_free(kept);
        EXPECT_EQ(FileMode(Path("f.txt")), 0660u);
        struct stat info;
        EXPECT_TRUE(!root || (stat(Path("f.txt").c_str(), &info) == 0 && info.st_uid == 65534 && info.st_gid == 65534));
        fs::remove(Path("f.txt"));
    }
}

// A run stopped before it put its temporary file in place may leave it; the
// next run on the same target removes it, and nothing else: only a regular
// file of exactly that naming, with one name, of the same owner, that no
// run holds.
TEST_F(CliTest, NextRunRemovesAStaleTemporaryFile)
{
    const std::string stale = ".f.txt.decode-escapes-0a1b2c3d.tmp";
    const std::string held = ".f.txt.decode-escapes-held0000.tmp";
    const std::set<std::string> kept = {
        "f.txt",
        "g.txt",
        "keep.txt",
        held,
        ".f.txt.decode-escapes-link0000.tmp",  // a symbolic link
        ".f.txt.decode-escapes-0a1b2c3.tmp",   // a letter short
        ".f.txt.decode-escapes-0A1B2C3D.tmp",  // not of its naming
        ".g.txt.decode-escapes-0a1b2c3d.tmp",  // another target's
        ".f.txt.decode-escapes-twolinks.tmp",  // a second name of keep.txt
        ".f.txt.decode-escapes-folder00.tmp",  // a folder
        ".f.txt.0a1b2c3d.tmp",                 // an ordinary hidden file
    };
    const std::vector<std::string> rows[] = {{"-i", "f.txt"}, {"-o", "f.txt", "g.txt"}};
    for (const std::vector<std::string>& args : rows) {
        SCOPED_TRACE(args[0]);
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        for (const std::string& name :
             {std::string("f.txt"), std::string("g.txt"), stale, held, std::string(".f.txt.0a1b2c3d.tmp")})
            WriteFileBytes(Path(name), "&#65;");
        for (const char* name : {".f.txt.decode-escapes-0a1b2c3.tmp", ".f.txt.decode-escapes-0A1B2C3D.tmp",
                                 ".g.txt.decode-escapes-0a1b2c3d.tmp", "keep.txt"})
            WriteFileBytes(Path(name), "");
        fs::create_symlink("keep.txt", Path(".f.txt.decode-escapes-link0000.tmp"));
        fs::create_hard_link(Path("keep.txt"), Path(".f.txt.decode-escapes-twolinks.tmp"));
        fs::create_directory(Path(".f.txt.decode-escapes-folder00.tmp"));
        const int holder = open(Path(held).c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(flock(holder, LOCK_EX), 0);
        std::set<std::string> expected = kept;
        if (geteuid() == 0) {
            const std::string foreign = ".f.txt.decode-escapes-nobody00.tmp";  // another user's
            WriteFileBytes(Path(foreign), "");
            ASSERT_EQ(chown(Path(foreign).c_str(), 65534, 65534), 0);
            expected.insert(foreign);
        }

        const ToolRun run = Run(args);
        close(holder);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(ReadFileBytes(Path("f.txt")), "A");
        EXPECT_EQ(Files(), expected);
    }
}

}  // namespace
