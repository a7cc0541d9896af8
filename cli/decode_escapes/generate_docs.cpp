// Writes what the option table of decode-escapes tells, at build time: the
// manual page from its template, and the completions for bash, zsh and fish.
//   generate-docs manual TEMPLATE OUT   the template's @OPTIONS@ line and
//                                       @VERSION@ filled in
//   generate-docs bash|zsh|fish OUT
#include "option_help.h"
#include "options.h"
#include "version.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

const char* const Program = "decode-escapes";

bool ReadFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return static_cast<bool>(in) || in.eof();
}

bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

void Replace(std::string& text, const std::string& placeholder, const std::string& content)
{
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + content.size()))
        text.replace(at, placeholder.size(), content);
}

bool Manual(const std::string& templatePath, std::string& page)
{
    if (!ReadFile(templatePath, page) || page.find("@OPTIONS@\n") == std::string::npos)
        return false;
    Replace(page, "@OPTIONS@\n", OptionManual(DecodeEscapesOptions()));
    Replace(page, "@VERSION@", PRODUCT_VERSION);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string kind = argc > 1 ? argv[1] : "";
    std::string text;
    bool made = true;
    if (kind == "manual" && argc == 4)
        made = Manual(argv[2], text);
    else if (kind == "bash" && argc == 3)
        text = BashCompletion(Program, DecodeEscapesOptions());
    else if (kind == "zsh" && argc == 3)
        text = ZshCompletion(Program, DecodeEscapesOptions());
    else if (kind == "fish" && argc == 3)
        text = FishCompletion(Program, DecodeEscapesOptions());
    else
        made = false;
    if (!made || !WriteFile(argv[argc - 1], text)) {
        std::fprintf(stderr, "usage: generate-docs manual TEMPLATE OUT | bash|zsh|fish OUT\n");
        return 2;
    }
    return 0;
}
