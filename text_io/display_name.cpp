#include "display_name.h"

#include "utf8.h"

#include <cstdio>

namespace {

// True for the C0 and C1 control characters and DEL.
bool IsControl(const unsigned char* p, std::size_t length)
{
    if (length == 1)
        return p[0] < 0x20 || p[0] == 0x7F;
    return length == 2 && p[0] == 0xC2 && p[1] < 0xA0;
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
