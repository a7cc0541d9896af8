#include "scripted_host.h"

#include "host_interface.h"

namespace {

const char WindowClassName[] = "ScriptedEditorHost";

}  // namespace

ScriptedHost::ScriptedHost(HostWindowKind kind)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = WindowClassName;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    const bool visible = kind == HostWindowKind::Visible;
    window_ = CreateWindowExA(0, WindowClassName, "Editor", visible ? WS_OVERLAPPEDWINDOW : 0, 40, 40, 480, 320,
                              visible ? nullptr : HWND_MESSAGE, nullptr, windowClass.hInstance, this);
    if (window_ == nullptr)
        windowError_ = GetLastError();
}

ScriptedHost::~ScriptedHost()
{
    if (window_ != nullptr)
        DestroyWindow(window_);
}

void ScriptedHost::ClearLog()
{
    log.clear();
    inserted.clear();
}

LRESULT CALLBACK ScriptedHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    ScriptedHost* host = reinterpret_cast<ScriptedHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (host != nullptr && message >= WM_USER && message < WM_APP)
        return host->Answer(message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT ScriptedHost::Answer(UINT message, WPARAM wParam, LPARAM lParam)
{
    HostMessageRecord record = {message, wParam, lParam, 0};
    switch (message) {
    case HostMsgQueryStatus: {
        DWORD* flag = reinterpret_cast<DWORD*>(lParam);
        if (flag != nullptr) {
            record.statusFlagBefore = *flag;
            if (script.writesStatusFlag)
                *flag = script.statusFlag;
        }
        log.push_back(record);
        return 0;
    }
    case HostMsgGetSelType:
        log.push_back(record);
        return script.selectionType;
    case HostMsgGetSelText:
        log.push_back(record);
        return FillSelection(wParam, lParam);
    case HostMsgInsertText: {
        log.push_back(record);
        const char16_t* text = reinterpret_cast<const char16_t*>(lParam);
        inserted.push_back(text != nullptr ? std::u16string(text) : std::u16string());
        return 0;
    }
    default:
        log.push_back(record);
        return 0;
    }
}

// Without a buffer: the units the text needs, its terminator included. With
// one: as much of the text as `units` allows (one more for a host that
// writes past the size it is given), then the terminator.
LRESULT ScriptedHost::FillSelection(WPARAM units, LPARAM buffer)
{
    const std::u16string& text = script.selection;
    if (buffer == 0)
        return script.announcesOwnCount ? script.announcedUnits : static_cast<LRESULT>(text.size() + 1);
    char16_t* out = reinterpret_cast<char16_t*>(buffer);
    std::size_t room = script.writesOnePastSize ? units + 1 : units;
    if (room == 0)
        return 0;
    if (!script.writesTerminator) {
        const std::size_t count = text.size() < room ? text.size() : room;
        text.copy(out, count);
        return 0;
    }
    const std::size_t count = text.size() < room - 1 ? text.size() : room - 1;
    text.copy(out, count);
    out[count] = 0;
    return 0;
}
