// The editor's side of the plug-in interface: a window whose procedure
// answers the plug-in's messages as a script says and logs each of them. The
// Windows test host and the host simulator both play the editor with it.
#ifndef TOOLS_HOST_SIDE_SCRIPTED_HOST_H
#define TOOLS_HOST_SIDE_SCRIPTED_HOST_H

#include <windows.h>

#include <string>
#include <vector>

// How the host answers. The defaults are those of a well-behaved editor
// with `selection` selected.
struct HostScript {
    std::u16string selection;        // the selected text, without terminator
    DWORD statusFlag = 0;            // written at HostMsgQueryStatus; non-zero disables
    bool writesStatusFlag = true;    // false: a host that leaves the flag alone
    LRESULT selectionType = 1;       // the answer to HostMsgGetSelType
    bool announcesOwnCount = false;  // true: announce `announcedUnits` instead of the text's size
    LRESULT announcedUnits = 0;      // as wide as the host's answer: 64 bits in a 64-bit host
    bool writesTerminator = true;    // false: fill the buffer with text only, no zero unit
    bool writesOnePastSize = false;  // true: fill one unit more than the size it is given
};

struct HostMessageRecord {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD statusFlagBefore;  // HostMsgQueryStatus: the flag's value as the plug-in passed it
};

// What the host's window is: a visible top-level window, which dialogs can
// be owned by, or a message-only window, which needs no display.
enum class HostWindowKind { Visible, MessageOnly };

class ScriptedHost {
public:
    explicit ScriptedHost(HostWindowKind kind = HostWindowKind::Visible);
    ~ScriptedHost();
    ScriptedHost(const ScriptedHost&) = delete;
    ScriptedHost& operator=(const ScriptedHost&) = delete;

    // Null when no window could be made; windowError() then says why.
    HWND Window() const { return window_; }
    DWORD windowError() const { return windowError_; }

    HostScript script;
    std::vector<HostMessageRecord> log;    // the plug-in's messages, in order
    std::vector<std::u16string> inserted;  // each text handed back with HostMsgInsertText

    // Forgets the log and the inserted texts.
    void ClearLog();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Answer(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT FillSelection(WPARAM units, LPARAM buffer);

    HWND window_ = nullptr;
    DWORD windowError_ = 0;
};

#endif
