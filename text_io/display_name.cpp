#include "display_name.h"

#include "utf8.h"

#include <cstdint>
#include <cstdio>

namespace {

// The characters that change how a line is shown without showing
// themselves: the invisible format characters (soft hyphen, Arabic and
// Syriac marks, zero-width spaces and joiners, the marks and embeddings
// that set the direction of text, the byte order mark, interlinear
// annotation, Egyptian and shorthand format controls, musical beams, tags)
// and the line and paragraph separators. First and last of each run.
const struct {
    std::uint32_t first;
    std::uint32_t last;
} InvisibleRuns[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
    {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

// The character that a well-formed sequence of `length` bytes stands for.
std::uint32_t CodePoint(const unsigned char* p, std::size_t length)
{
    static const unsigned char leadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    std::uint32_t code = p[0] & leadBits[length];
    for (std::size_t k = 1; k < length; ++k)
        code = (code << 6) | (p[k] & 0x3Fu);
    return code;
}

// True for the C0 and C1 control characters, DEL, and the invisible
// characters above.
bool IsControl(const unsigned char* p, std::size_t length)
{
    const std::uint32_t code = CodePoint(p, length);
    if (code < 0x20 || (code >= 0x7F && code < 0xA0))
        return true;
    for (const auto& run : InvisibleRuns) {
        if (code >= run.first && code <= run.last)
            return true;
    }
    return false;
}

void AppendEscaped(unsigned char byte, std::string& out)
{
    switch (byte) {
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    case '\'':
        out += "\\'";
        return;
    case '\\':
        out += "\\\\";
        return;
    default:
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", byte);
        out += hex;
    }
}

}  // namespace

std::string DisplayName(const std::string& path)
{
    if (path == "-")
        return "standard input";
    const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(path.data());
    std::string quoted = "'";
    bool needsQuotes = false;
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t rest = path.size() - i;
        const Utf8Check check = CheckUtf8(bytes + i, rest < 4 ? rest : 4, true);
        const std::size_t length = check.valid > 0 ? Utf8SequenceLength(bytes[i]) : 1;
        const bool escaped = check.valid == 0 || IsControl(bytes + i, length);
        needsQuotes = needsQuotes || escaped;
        for (std::size_t k = 0; k < length; ++k) {
            if (escaped || bytes[i + k] == '\'' || bytes[i + k] == '\\')
                AppendEscaped(bytes[i + k], quoted);
            else
                quoted.push_back(path[i + k]);
        }
        i += length;
    }
    return needsQuotes ? quoted + "'" : path;
}
