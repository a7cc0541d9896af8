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
const int WindowTextUnits = 80;  // the message box's texts, in UTF-16 units

struct ToolbarImage {
    UINT id;
    int size;  // pixels
    int bits;  // per pixel
    ButtonState state;
};

#define TOOLBAR_IMAGE(name, id, file, size, bits, state) {id, size, bits, ButtonState::state},
const ToolbarImage ToolbarImages[] = {TOOLBAR_BITMAPS(TOOLBAR_IMAGE)};
#undef TOOLBAR_IMAGE

void LoadAnsiText(UINT id, char* buffer)
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
    LoadAnsiText(id, text);
    const int size = CopySize(bufferBytes);
    if (buffer != 0 && size > 0)
        lstrcpynA(reinterpret_cast<LPSTR>(buffer), text, size);
    return lstrlenA(text) + 1;
}

// The plug-in's own windows take their texts in UTF-16, as the resources
// hold them: the ANSI forms would turn every character that the system's
// code page lacks into a question mark. What the host reads stays ANSI.
void LoadWindowText(UINT id, WCHAR* buffer)
{
    if (LoadStringW(ModuleInstance, id, buffer, WindowTextUnits) == 0)
        buffer[0] = 0;
}

LRESULT ShowProperties(HWND host)
{
    DialogBoxParamW(ModuleInstance, MAKEINTRESOURCEW(IDD_PROPERTIES), host, PropertiesDlgProc, 0);
    return 1;
}

// 1 when the user agrees; the settings key is then deleted, whether or not
// it existed.
LRESULT Uninstall(HWND host)
{
    WCHAR text[WindowTextUnits];
    WCHAR caption[WindowTextUnits];
    LoadWindowText(IDS_CONFIRM_UNINSTALL, text);
    LoadWindowText(IDS_MENU_TEXT, caption);
    if (MessageBoxW(host, text, caption, MB_YESNO | MB_ICONWARNING) != IDYES)
        return 0;
    DeleteSettingsKey(ModuleInstance);
    return 1;
}

// Size first, then depth (true colour over 256 colours), then state
// (disabled over hot); the 16-colour images serve every state.
UINT ChooseBitmap(WPARAM flags)
{
    const int size = (flags & ImageFlagLarge) ? 24 : 16;
    const int bits = (flags & ImageFlagTrueColor) ? 32 : (flags & ImageFlag256Colors) ? 8 : 4;
    const ButtonState state = (flags & ImageFlagDisabled) ? ButtonState::Disabled
                              : (flags & ImageFlagHot)    ? ButtonState::Hot
                                                          : ButtonState::Normal;
    for (const ToolbarImage& image : ToolbarImages) {
        if (image.size == size && image.bits == bits && (image.state == state || image.state == ButtonState::AnyState))
            return image.id;
    }
    return IDB_SMALL_16COLOR;  // not reached: every size and depth has its images
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
    case PlugInMsgAcknowledge900:
    case PlugInMsgAcknowledge906:
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
        return 0;  // 0x903, 0x905 and every message outside the range
    }
}
