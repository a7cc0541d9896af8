// Driving the plug-in's modal windows as a person would: wait until the
// dialog or message box is open and idle, read what it shows, click.
#ifndef TESTS_WINDOWS_DIALOG_DRIVER_H
#define TESTS_WINDOWS_DIALOG_DRIVER_H

#include "scripted_host.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Runs `open` (which opens a modal window owned by the host window) and
// calls `act` once with that window as soon as it shows; `act` must close
// it, directly or by posting input. A window left open is cancelled after
// some seconds and the test fails. Returns false when no window was seen.
bool DriveModalWindow(ScriptedHost& host, const std::function<void()>& open, const std::function<void(HWND)>& act);

// A click on a button of the window, as the mouse gives it.
void ClickButton(HWND window, int id);

// A key press posted to the window's focused control.
void PressKey(HWND window, WPARAM key);

// The title bar's close box.
void ClickCloseBox(HWND window);

bool IsChecked(HWND window, int id);
std::u16string WindowText(HWND window);

// The text of the first child control whose text is not empty and that is
// neither a button nor an icon: the message of a message box.
std::u16string MessageText(HWND box);

// The texts of the window's child controls, in the order they were made.
std::vector<std::u16string> ChildTexts(HWND window);

// The user-interface language of the running process, and its two-letter
// name ("de", "ja", "zh"), which names the pictures of a session.
LANGID UiLanguage();
std::string UiLanguageTag();

// Saves a picture of the window, title bar included, as a 24-bit BMP file.
// Does nothing unless the environment names a folder in SCREENSHOT_DIR.
void SaveScreenshot(HWND window, const std::string& name);

#endif
