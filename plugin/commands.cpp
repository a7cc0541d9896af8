// The decode command and what the host asks about it.
#include "decoder/escape_decoder.h"
#include "host_interface.h"
#include "module_state.h"
#include "plugin_exports.h"
#include "resource.h"
#include "settings_store.h"

namespace {

// The largest count of units whose buffer, with the plug-in's own terminator
// after it, still has a byte size that the process can express.
const LRESULT LargestTextUnits = static_cast<LRESULT>(static_cast<SIZE_T>(-1) / sizeof(char16_t) - 1);

// A zeroed buffer for `units` code units and one more, which stays 0 so that
// the text ends within the buffer whatever the host writes. Null when the
// host announced nothing, a negative count, or more than can be held.
char16_t* AllocateText(LRESULT units)
{
    if (units <= 0 || units > LargestTextUnits)
        return nullptr;
    const SIZE_T bytes = (static_cast<SIZE_T>(units) + 1) * sizeof(char16_t);
    return static_cast<char16_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
}

void FreeText(char16_t* text)
{
    HeapFree(GetProcessHeap(), 0, text);
}

}  // namespace

void WINAPI OnCommand(HWND host)
{
    LoadSettings(ModuleInstance, &DecodeMode);
    // The stored number is the editor's mode only when it is 0 or 1.
    const std::int32_t stored = DecodeMode;
    const bool editorMode = stored == static_cast<std::int32_t>(DecodeMode::CharRef) ||
                            stored == static_cast<std::int32_t>(DecodeMode::Ucn);
    if (!editorMode)
        return;
    const auto mode = static_cast<enum DecodeMode>(stored);

    // The host announces the size of the selected text, its terminator
    // included, as a whole LRESULT: a 64-bit host may announce more than
    // 32 bits hold.
    const LRESULT units = SendMessageA(host, HostMsgGetSelText, 0, 0);
    char16_t* text = AllocateText(units);
    if (text == nullptr)
        return;  // the host's text stays as it is
    SendMessageA(host, HostMsgGetSelText, static_cast<WPARAM>(units), reinterpret_cast<LPARAM>(text));
    // A host that writes one unit more than it was told overwrites the
    // terminator after the buffer; the decoder must not read past it.
    text[units] = 0;
    DecodeText(text, mode);
    SendMessageA(host, HostMsgInsertText, 0, reinterpret_cast<LPARAM>(text));
    FreeText(text);
}

BOOL WINAPI QueryStatus(HWND host, LPDWORD enabledFlag)
{
    if (enabledFlag != nullptr)
        *enabledFlag = 0;
    // A host that leaves the status unwritten keeps the command disabled.
    DWORD status = 1;
    SendMessageA(host, HostMsgQueryStatus, HostCommandPlugIn, reinterpret_cast<LPARAM>(&status));
    if (status != 0)
        return FALSE;
    const LRESULT selection = SendMessageA(host, HostMsgGetSelType, 0, 0);
    const LRESULT kind = selection & SelectionKindBits;
    return kind >= SelectionKindDecodableFirst && kind <= SelectionKindDecodableLast;
}

void WINAPI OnEvents(HWND host, DWORD events, DWORD value)
{
    if (events & EventSetItemId)
        ItemId = value;
    if (events & EventRefresh)
        SendMessageA(host, HostMsgUpdateItem, ItemId, 0);
}

UINT WINAPI GetMenuTextID(void)
{
    return IDS_MENU_TEXT;
}

UINT WINAPI GetStatusMessageID(void)
{
    return IDS_STATUS_MESSAGE;
}

UINT WINAPI GetBitmapID(void)
{
    return IDB_SMALL_16COLOR;
}
