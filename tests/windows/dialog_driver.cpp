#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

const UINT WatchdogMilliseconds = 8000;

HWND openWindow = nullptr;
bool watchdogFired = false;

void CALLBACK CancelForgottenWindow(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (openWindow != nullptr && IsWindow(openWindow)) {
        watchdogFired = true;
        PostMessageA(openWindow, WM_COMMAND, IDCANCEL, 0);
        PostMessageA(openWindow, WM_COMMAND, IDNO, 0);
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
    bool seen = false;
    openWindow = nullptr;
    watchdogFired = false;
    host.onDialogIdle = [&](HWND window) {
        if (seen)
            return;
        seen = true;
        openWindow = window;
        act(window);
    };
    const UINT_PTR watchdog = SetTimer(nullptr, 0, WatchdogMilliseconds, CancelForgottenWindow);
    open();
    KillTimer(nullptr, watchdog);
    host.onDialogIdle = nullptr;
    openWindow = nullptr;
    EXPECT_FALSE(watchdogFired) << "the window stayed open and was cancelled";
    return seen;
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

std::u16string MessageText(HWND box)
{
    std::vector<HWND> children;
    EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
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
    UpdateWindow(window);
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
