#include "dialog_driver.h"

#include "plugin_harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

const UINT PollMilliseconds = 20;
const int PollsBeforeGivingUp = 400;  // 8 seconds

// The one drive in progress: the timer procedure finds it here.
struct Drive {
    HWND owner;
    const std::function<void(HWND)>* act;
    HWND window;
    int polls;
    bool cancelled;
};
Drive* currentDrive = nullptr;

struct Search {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM search)
{
    Search* s = reinterpret_cast<Search*>(search);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == s->owner && lstrcmpA(className, "#32770") == 0) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

// Runs inside the modal window's own message loop: once the window shows,
// `act` handles it; a window that is still open long after is cancelled.
void CALLBACK PollForWindow(HWND, UINT, UINT_PTR, DWORD)
{
    Drive* drive = currentDrive;
    if (drive == nullptr)
        return;
    ++drive->polls;
    if (drive->window == nullptr) {
        Search search = {drive->owner, nullptr};
        EnumThreadWindows(GetCurrentThreadId(), FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            drive->window = search.found;
            (*drive->act)(search.found);
        }
        return;
    }
    if (drive->polls > PollsBeforeGivingUp && IsWindow(drive->window) && !drive->cancelled) {
        drive->cancelled = true;
        PostMessageA(drive->window, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(drive->window, WM_COMMAND, IDNO, 0);
    }
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

}  // namespace

bool DriveModalWindow(ScriptedHost& host, const std::function<void()>& open, const std::function<void(HWND)>& act)
{
    Drive drive = {host.Window(), &act, nullptr, 0, false};
    currentDrive = &drive;
    const UINT_PTR timer = SetTimer(nullptr, 0, PollMilliseconds, PollForWindow);
    open();
    KillTimer(nullptr, timer);
    currentDrive = nullptr;
    EXPECT_FALSE(drive.cancelled) << "the window stayed open and was cancelled";
    return drive.window != nullptr;
}

void ClickButton(HWND window, int id)
{
    HWND button = GetDlgItem(window, id);
    ASSERT_NE(nullptr, button) << "no control " << id;
    SendMessageA(button, BM_CLICK, 0, 0);
}

void PressKey(HWND window, WPARAM key)
{
    HWND focus = GetFocus();
    HWND target = focus != nullptr && (focus == window || IsChild(window, focus)) ? focus : window;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

void ClickCloseBox(HWND window)
{
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool IsChecked(HWND window, int id)
{
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
}

std::u16string WindowText(HWND window)
{
    WCHAR text[256] = {};
    GetWindowTextW(window, text, 256);
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

namespace {

std::vector<HWND> Children(HWND window)
{
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

}  // namespace

std::vector<std::u16string> ChildTexts(HWND window)
{
    std::vector<std::u16string> texts;
    for (HWND child : Children(window))
        texts.push_back(WindowText(child));
    return texts;
}

std::u16string MessageText(HWND box)
{
    for (HWND child : Children(box)) {
        char className[32] = {};
        GetClassNameA(child, className, sizeof className);
        const std::u16string text = WindowText(child);
        if (lstrcmpiA(className, "Static") == 0 && !text.empty())
            return text;
    }
    return std::u16string();
}

LANGID UiLanguage()
{
    return GetUserDefaultUILanguage();
}

std::string UiLanguageTag()
{
    char tag[16] = {};
    GetLocaleInfoA(MAKELCID(UiLanguage(), SORT_DEFAULT), LOCALE_SISO639LANGNAME, tag, sizeof tag);
    return tag;
}

namespace {

void WriteBmp(const std::string& path, int width, int height, const std::vector<BYTE>& rows)
{
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(rows.size());
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(rows.data(), 1, rows.size(), out);
    std::fclose(out);
}

}  // namespace

void SaveScreenshot(HWND window, const std::string& name)
{
    char folder[MAX_PATH] = {};
    if (GetEnvironmentVariableA("SCREENSHOT_DIR", folder, MAX_PATH) == 0)
        return;
    // Let every control paint and the desktop show it before the picture.
    const DWORD until = GetTickCount() + 400;
    while (GetTickCount() < until) {
        PumpMessages();
        Sleep(20);
    }
    RECT rect;
    GetWindowRect(window, &rect);
    const int margin = 6;  // a little of the desktop around the frame
    const int width = rect.right - rect.left + 2 * margin;
    const int height = rect.bottom - rect.top + 2 * margin;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, rect.left - margin, rect.top - margin, SRCCOPY);
    GdiFlush();
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
    const BYTE* start = static_cast<const BYTE*>(bits);
    WriteBmp(std::string(folder) + "\\" + name + ".bmp", width, height,
             std::vector<BYTE>(start, start + stride * height));
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}
