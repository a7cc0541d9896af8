// PlugInProc: the host's housekeeping questions (name, version, properties,
// uninstallation, toolbar bitmaps and mask colours).
#include "host_interface.h"
#include "module_state.h"
#include "plugin_exports.h"
#include "properties_dialog.h"
#include "resource.h"
#include "settings_store.h"

namespace {

const int StringBufferBytes = 80;

struct ImageSet {
    UINT normal;
    UINT disabled;
    UINT hot;
};

const ImageSet Small256Colors = {IDB_SMALL_256COLOR, IDB_SMALL_256COLOR_DISABLED, IDB_SMALL_256COLOR_HOT};
const ImageSet Large256Colors = {IDB_LARGE_256COLOR, IDB_LARGE_256COLOR_DISABLED, IDB_LARGE_256COLOR_HOT};
const ImageSet SmallTrueColor = {IDB_SMALL_TRUECOLOR, IDB_SMALL_TRUECOLOR_DISABLED, IDB_SMALL_TRUECOLOR_HOT};
const ImageSet LargeTrueColor = {IDB_LARGE_TRUECOLOR, IDB_LARGE_TRUECOLOR_DISABLED, IDB_LARGE_TRUECOLOR_HOT};

void LoadText(UINT id, char* buffer)
{
    if (LoadStringA(ModuleInstance, id, buffer, StringBufferBytes) == 0)
        buffer[0] = 0;
}

// The host's buffer size as the copy takes it. The size is signed, as a
// 32-bit host has always given it: 0 or less writes nothing. A size larger
// than the string's own buffer copies the same as that buffer's size, so the
// whole WPARAM is looked at before anything becomes an int.
int CopySize(WPARAM bufferBytes)
{
    const INT_PTR size = static_cast<INT_PTR>(bufferBytes);
    if (size <= 0)
        return 0;
    return size < StringBufferBytes ? static_cast<int>(size) : StringBufferBytes;
}

// Answers with the string's length in bytes plus 1 and copies as much of it
// as fits into the host's buffer, zero-terminated. The host learns the size
// it needs by passing no buffer.
LRESULT AnswerString(UINT id, WPARAM bufferBytes, LPARAM buffer)
{
    char text[StringBufferBytes];
    LoadText(id, text);
    const int size = CopySize(bufferBytes);
    if (buffer != 0 && size > 0)
        lstrcpynA(reinterpret_cast<LPSTR>(buffer), text, size);
    return lstrlenA(text) + 1;
}

LRESULT ShowProperties(HWND host)
{
    DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_PROPERTIES), host, PropertiesDlgProc, 0);
    return 1;
}

// 1 when the user agrees; the settings key is then deleted, whether or not
// it existed.
LRESULT Uninstall(HWND host)
{
    char text[StringBufferBytes];
    char caption[StringBufferBytes];
    LoadText(IDS_CONFIRM_UNINSTALL, text);
    LoadText(IDS_MENU_TEXT, caption);
    if (MessageBoxA(host, text, caption, MB_YESNO | MB_ICONWARNING) != IDYES)
        return 0;
    DeleteSettingsKey();
    return 1;
}

UINT ChooseState(const ImageSet& set, WPARAM flags)
{
    if (flags & ImageFlagDisabled)
        return set.disabled;
    return (flags & ImageFlagHot) ? set.hot : set.normal;
}

// Size first, then depth (true colour over 256 colours), then state; the
// 16-colour images serve every state.
UINT ChooseBitmap(WPARAM flags)
{
    const bool large = (flags & ImageFlagLarge) != 0;
    if (flags & ImageFlagTrueColor)
        return ChooseState(large ? LargeTrueColor : SmallTrueColor, flags);
    if (flags & ImageFlag256Colors)
        return ChooseState(large ? Large256Colors : Small256Colors, flags);
    return large ? IDB_LARGE_16COLOR : IDB_SMALL_16COLOR;
}

// The 32-bit images carry their transparency in alpha, the 256-colour ones
// have magenta corners, the 16-colour ones have none. A colour is a 32-bit
// COLORREF: a 64-bit host gets it zero-extended, 0x00000000FFFFFFFF and not
// -1, the same number as a 32-bit host.
LRESULT ChooseMaskColor(WPARAM flags)
{
    if (flags & ImageFlagTrueColor)
        return static_cast<LRESULT>(0xFFFFFFFFu);
    if (flags & ImageFlag256Colors)
        return RGB(255, 0, 255);
    return 0;
}

}  // namespace

LRESULT WINAPI PlugInProc(HWND host, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case 0x900:  // answered 1, as the host expects; nothing to do
    case 0x906:
        return 1;
    case PlugInMsgProperties:
        return ShowProperties(host);
    case PlugInMsgGetName:
        return AnswerString(IDS_MENU_TEXT, wParam, lParam);
    case PlugInMsgGetVersion:
        return AnswerString(IDS_VERSION, wParam, lParam);
    case PlugInMsgUninstall:
        return Uninstall(host);
    case PlugInMsgGetBitmapId:
        return ChooseBitmap(wParam);
    case PlugInMsgGetMaskColor:
        return ChooseMaskColor(wParam);
    default:
        return 0;  // 0x903, 0x905 and every message outside 0x900-0x909
    }
}
