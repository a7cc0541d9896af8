// host-simulator: plays the editor for a plug-in of this host interface.
// It loads the DLL, reports what the plug-in answers, runs its command on the
// text of a file, and opens its properties dialog and uninstall confirmation.
#include "display_name.h"
#include "exit_status.h"
#include "file_io.h"
#include "host_interface.h"
#include "option_parser.h"
#include "plugin_module.h"
#include "plugin_settings.h"
#include "scripted_host.h"
#include "text_file.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char Usage[] = "Usage: host-simulator PLUGIN COMMAND [OPTIONS]\n"
                     "Plays the editor for the plug-in DLL named PLUGIN.\n"
                     "\n"
                     "Commands:\n"
                     "  info                 the exports and ordinals, name, version, string and bitmap ids,\n"
                     "                       and the bitmap id and mask colour for every image flag combination\n"
                     "  run [--mode 0|1] FILE [-o OUT]\n"
                     "                       stores the mode in the plug-in's settings, selects the text of FILE\n"
                     "                       (UTF-8 or UTF-16 with a byte order mark), runs the command and writes\n"
                     "                       the text it hands back to OUT or standard output, in FILE's encoding\n"
                     "  properties           opens the properties dialog (needs a display)\n"
                     "  uninstall            asks the plug-in to uninstall itself (needs a display)\n";

void Complain(const std::string& message)
{
    std::fprintf(stderr, "host-simulator: %s\n", message.c_str());
}

// Text from the plug-in's resources arrives in the ANSI code page; the
// console gets UTF-8.
std::string AnsiToUtf8(const std::string& ansi)
{
    const int units = 256;  // more than any of the plug-in's texts
    WCHAR wide[units] = {};
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, units);
    char utf8[3 * units] = {};  // a unit takes at most 3 bytes of UTF-8
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

std::string AskString(const PlugInModule& plugin, HWND host, UINT message, LRESULT& answer)
{
    answer = plugin.exports().PlugInProc(host, message, 0, 0);
    std::vector<char> buffer(answer > 0 ? static_cast<std::size_t>(answer) : 1, 0);
    plugin.exports().PlugInProc(host, message, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data());
}

int ShowInfo(const PlugInModule& plugin)
{
    ScriptedHost host(HostWindowKind::MessageOnly);
    const PlugInExports& call = plugin.exports();
    std::printf("plug-in: %s\nexports:\n", plugin.path().c_str());
    for (int ordinal = 1; ordinal <= PlugInExportCount; ++ordinal)
        std::printf("  %d  %s\n", ordinal, PlugInExportNames[ordinal - 1]);
    LRESULT nameBytes = 0;
    LRESULT versionBytes = 0;
    const std::string name = AskString(plugin, host.Window(), PlugInMsgGetName, nameBytes);
    const std::string version = AskString(plugin, host.Window(), PlugInMsgGetVersion, versionBytes);
    std::printf("name (0x902): %s  [%ld bytes with terminator, code page %u]\n", AnsiToUtf8(name).c_str(),
                static_cast<long>(nameBytes), GetACP());
    std::printf("version (0x904): %s  [%ld bytes]\n", AnsiToUtf8(version).c_str(), static_cast<long>(versionBytes));
    std::printf("menu text id: %u, status message id: %u, bitmap id: %u\n", call.GetMenuTextID(),
                call.GetStatusMessageID(), call.GetBitmapID());
    std::printf("images: flags -> bitmap id (0x908), mask colour (0x909)\n");
    static const WPARAM bits[] = {ImageFlagLarge, ImageFlag256Colors, ImageFlagTrueColor, ImageFlagDisabled,
                                  ImageFlagHot};
    const unsigned bitCount = sizeof bits / sizeof bits[0];
    for (unsigned combination = 0; combination < (1u << bitCount); ++combination) {
        WPARAM flags = 0;
        for (unsigned i = 0; i < bitCount; ++i)
            flags |= (combination & (1u << i)) ? bits[i] : 0;
        const LRESULT bitmap = call.PlugInProc(host.Window(), PlugInMsgGetBitmapId, flags, 0);
        const LRESULT mask = call.PlugInProc(host.Window(), PlugInMsgGetMaskColor, flags, 0);
        std::printf("  0x%03X -> %3ld  0x%08lX\n", static_cast<unsigned>(flags), static_cast<long>(bitmap),
                    static_cast<unsigned long>(mask));
    }
    return ExitSuccess;
}

struct RunOptions {
    std::int32_t mode = 0;
    std::string file;
    std::string output;
};

enum RunOptionId { RunMode, RunOutput };

const OptionDefinition RunOptionDefinitions[] = {
    {"mode", 'm', OptionValue::Required, RunMode},
    {"output", 'o', OptionValue::Required, RunOutput},
};

bool ParseRunOptions(const std::vector<std::string>& args, RunOptions& options, std::string& error)
{
    const ParsedCommandLine line = ParseCommandLine(args, RunOptionDefinitions);
    for (const ParsedOption& option : line.options) {
        if (option.id == RunOutput) {
            options.output = option.value;
        } else if (option.value == "0" || option.value == "1") {
            options.mode = option.value == "1" ? 1 : 0;
        } else {
            error = option.shownName + " takes 0 or 1, not '" + option.value + "'";
            return false;
        }
    }
    error = line.error;
    if (error.empty() && line.operands.size() != 1)
        error = line.operands.empty() ? "run needs a file" : "run takes one file";
    if (!error.empty())
        return false;
    options.file = line.operands[0];
    return true;
}

bool WriteResult(const std::u16string& text, const TextFormat& format, const std::string& output, std::string& error)
{
    SurrogateReport report;
    if (output.empty()) {
        StandardOutput out;
        if (!WriteUnits(text.data(), text.size(), format, out, report)) {
            error = "cannot write standard output: " + out.error();
            return false;
        }
    } else {
        ReplacementFile out;
        if (!out.Prepare(output, error) || !out.Open(error))
            return false;
        if (!WriteUnits(text.data(), text.size(), format, out, report)) {
            error = "cannot write " + output + ": " + out.error();
            return false;
        }
        if (!out.Commit(error))
            return false;
    }
    if (report.count > 0)
        Complain(DescribeLoneSurrogates(report));
    return true;
}

int RunCommand(const PlugInModule& plugin, const std::vector<std::string>& args)
{
    RunOptions options;
    std::string error;
    if (!ParseRunOptions(args, options, error)) {
        Complain(error);
        return ExitFailure;
    }
    LoadedText text;
    if (!LoadText(options.file, EncodingChoice::Auto, text, error)) {
        Complain(DisplayName(options.file) + ": " + error);
        return ExitFailure;
    }
    const std::u16string selection(text.units.data(), text.length);
    if (selection.find(u'\0') != std::u16string::npos) {
        Complain(DisplayName(options.file) + ": the text holds a NUL unit, which no editor selection can hold");
        return ExitFailure;
    }
    // The mode goes where the plug-in's dialog would store it.
    if (!StorePlugInMode(PlugInStem(plugin.path()), static_cast<DWORD>(options.mode))) {
        Complain("cannot store the mode under " + PlugInSettingsKey(PlugInStem(plugin.path())));
        return ExitFailure;
    }

    ScriptedHost host(HostWindowKind::MessageOnly);
    if (host.Window() == nullptr) {
        Complain("cannot make the host's window, so the command cannot run: " + WindowsErrorText(host.windowError()));
        return ExitFailure;
    }
    host.script.selection = selection;
    DWORD flag = 0;
    if (!plugin.exports().QueryStatus(host.Window(), &flag)) {
        Complain("the plug-in reports its command as disabled for this selection");
        return ExitFailure;
    }
    plugin.exports().OnCommand(host.Window());
    if (host.inserted.size() != 1) {
        Complain("the plug-in handed back " + std::to_string(host.inserted.size()) + " texts instead of one");
        return ExitFailure;
    }
    if (!WriteResult(host.inserted[0], text.format, options.output, error)) {
        Complain(error);
        return ExitFailure;
    }
    return ExitSuccess;
}

int ShowProperties(const PlugInModule& plugin)
{
    ScriptedHost host;
    plugin.exports().PlugInProc(host.Window(), PlugInMsgProperties, 0, 0);
    std::printf("the properties dialog was closed\n");
    return ExitSuccess;
}

int AskUninstall(const PlugInModule& plugin)
{
    ScriptedHost host;
    const LRESULT answer = plugin.exports().PlugInProc(host.Window(), PlugInMsgUninstall, 0, 0);
    std::printf(answer == 1 ? "uninstall confirmed: the plug-in removed its settings\n"
                            : "uninstall declined: nothing was removed\n");
    return ExitSuccess;
}

int Run(const std::vector<std::string>& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(Usage, stdout);
        return ExitSuccess;
    }
    if (args.size() < 2) {
        std::fputs(Usage, stderr);
        return ExitFailure;
    }
    const std::string& command = args[1];
    if (command != "info" && command != "run" && command != "properties" && command != "uninstall") {
        Complain("unknown command '" + command + "'");
        std::fputs(Usage, stderr);
        return ExitFailure;
    }
    PlugInModule plugin;
    std::string error;
    if (!plugin.Load(args[0], error)) {
        Complain(args[0] + ": " + error);
        return ExitFailure;
    }
    const std::vector<std::string> rest(args.begin() + 2, args.end());
    if (command == "info")
        return ShowInfo(plugin);
    if (command == "run")
        return RunCommand(plugin, rest);
    if (!rest.empty()) {
        Complain(command + " takes no options");
        return ExitFailure;
    }
    return command == "properties" ? ShowProperties(plugin) : AskUninstall(plugin);
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareProcess();
    return Run(std::vector<std::string>(argv + 1, argv + argc));
}
