// The properties dialog and the uninstall confirmation, opened through
// PlugInProc and handled as a person would, with what lands in the registry
// and in the next command.
#include "dialog_driver.h"
#include "host_interface.h"
#include "plugin_harness.h"
#include "resource.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct LanguageTexts {
    LANGID language;
    const char16_t* dialogTitle;
    const char16_t* confirmText;
    const char16_t* confirmCaption;
};

const LanguageTexts Languages[] = {
    {0x0804, u"\u89E3\u7801 Unicode \u5C5E\u6027", u"\u4F60\u786E\u5B9E\u60F3\u8981\u5378\u8F7D\u8FD9\u4E2A\u63D2\u4EF6\u5417?",
     u"\u89E3\u7801 Unicode"},
    {0x0411, u"Unicode\u3092\u30C7\u30B3\u30FC\u30C9 \u30D7\u30ED\u30D1\u30C6\u30A3",
     u"\u30A2\u30F3\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB\u3092\u5B9F\u884C\u3057\u307E\u3059\u3002\u3088\u308D\u3057\u3044\u3067\u3059\u304B?",
     u"Unicode\u3092\u30C7\u30B3\u30FC\u30C9"},
};

const LanguageTexts* TextsOfThisRun()
{
    for (const LanguageTexts& texts : Languages) {
        if (texts.language == UiLanguage())
            return &texts;
    }
    return nullptr;
}

class ModalTest : public PluginCopyTest {
protected:
    // Opens the properties dialog, lets `act` handle it, and checks the
    // answer of PlugInProc.
    void RunProperties(const std::function<void(HWND)>& act)
    {
        LRESULT answer = -5;
        const bool seen = DriveModalWindow(
            host, [&] { answer = plugin->PlugInProc(host.Window(), PlugInMsgProperties, 0, 0); }, act);
        EXPECT_TRUE(seen) << "the properties dialog did not open";
        EXPECT_EQ(1, answer);
    }
    LRESULT RunUninstall(const std::function<void(HWND)>& act)
    {
        LRESULT answer = -5;
        const bool seen = DriveModalWindow(
            host, [&] { answer = plugin->PlugInProc(host.Window(), PlugInMsgUninstall, 0, 0); }, act);
        EXPECT_TRUE(seen) << "the confirmation did not open";
        return answer;
    }
    // The stored mode, or NoKey when there is no value.
    DWORD StoredMode()
    {
        DWORD type = 0;
        std::vector<BYTE> data;
        if (!ReadModeValue(stem, type, data) || data.size() != 4 || type != REG_DWORD)
            return NoStoredMode;
        return data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24;
    }
    // What the next command makes of a text with an escape of each kind.
    std::u16string NextCommandResult()
    {
        host.script.selection = u"&#65;\\u0042";
        host.ClearLog();
        plugin->OnCommand(host.Window());
        return host.inserted.empty() ? u"(nothing)" : host.inserted[0];
    }

};

const DWORD NoKey = PluginCopyTest::NoStoredMode;

enum class Close { Ok, Cancel, Escape, CloseBox, Enter };

void CloseDialog(HWND dialog, Close how)
{
    switch (how) {
    case Close::Ok:
        ClickButton(dialog, IDOK);
        break;
    case Close::Cancel:
        ClickButton(dialog, IDCANCEL);
        break;
    case Close::Escape:
        PressKey(dialog, VK_ESCAPE);
        break;
    case Close::CloseBox:
        ClickCloseBox(dialog);
        break;
    case Close::Enter:
        PressKey(dialog, VK_RETURN);
        break;
    }
}

struct PropertiesRow {
    const char* name;
    DWORD storedBefore;
    bool charRefShown;  // the buttons as the dialog opens
    bool ucnShown;
    int click;          // 0, IDC_CHAR_REF or IDC_UCN
    Close close;
    DWORD storedAfter;  // NoKey: no "Mode" value
    const char16_t* nextCommand;
};

TEST_F(ModalTest, PropertiesDialogShowsAndStoresTheMode)
{
    static const PropertiesRow rows[] = {
        {"no key, Cancel", NoKey, true, false, 0, Close::Cancel, NoKey, u"A\\u0042"},
        {"no key, OK", NoKey, true, false, 0, Close::Ok, 0, u"A\\u0042"},
        {"mode 1, Cancel", 1, false, true, 0, Close::Cancel, 1, u"&#65;B"},
        {"mode 1, OK unchanged", 1, false, true, 0, Close::Ok, 1, u"&#65;B"},
        {"mode 0, choose 1, OK", 0, true, false, IDC_UCN, Close::Ok, 1, u"&#65;B"},
        {"mode 1, choose 0, OK", 1, false, true, IDC_CHAR_REF, Close::Ok, 0, u"A\\u0042"},
        {"mode 0, choose 1, Cancel", 0, true, false, IDC_UCN, Close::Cancel, 0, u"A\\u0042"},
        {"mode 0, choose 1, Esc", 0, true, false, IDC_UCN, Close::Escape, 0, u"A\\u0042"},
        {"mode 0, choose 1, close box", 0, true, false, IDC_UCN, Close::CloseBox, 0, u"A\\u0042"},
        {"mode 0, choose 1, Enter", 0, true, false, IDC_UCN, Close::Enter, 1, u"&#65;B"},
        {"mode 2, OK", 2, false, false, 0, Close::Ok, 0, u"A\\u0042"},
        {"mode -1, OK", 0xFFFFFFFF, false, false, 0, Close::Ok, 0, u"A\\u0042"},
        {"mode 2, choose 1, OK", 2, false, false, IDC_UCN, Close::Ok, 1, u"&#65;B"},
        {"mode 2, Cancel", 2, false, false, 0, Close::Cancel, 2, u"(nothing)"},
    };
    for (const PropertiesRow& row : rows) {
        StoreMode(row.storedBefore);
        bool charRef = false;
        bool ucn = false;
        bool charRefAfterClick = false;
        bool ucnAfterClick = false;
        RunProperties([&](HWND dialog) {
            charRef = IsChecked(dialog, IDC_CHAR_REF);
            ucn = IsChecked(dialog, IDC_UCN);
            if (row.click != 0)
                ClickButton(dialog, row.click);
            charRefAfterClick = IsChecked(dialog, IDC_CHAR_REF);
            ucnAfterClick = IsChecked(dialog, IDC_UCN);
            CloseDialog(dialog, row.close);
        });
        EXPECT_EQ(row.charRefShown, charRef) << row.name;
        EXPECT_EQ(row.ucnShown, ucn) << row.name;
        if (row.click != 0) {
            EXPECT_EQ(row.click == IDC_CHAR_REF, charRefAfterClick) << row.name;
            EXPECT_EQ(row.click == IDC_UCN, ucnAfterClick) << row.name;
        }
        EXPECT_TRUE(SettingsKeyExists(stem)) << row.name << ": opening creates the key";
        EXPECT_EQ(row.storedAfter, StoredMode()) << row.name;
        EXPECT_EQ(std::u16string(row.nextCommand), NextCommandResult()) << row.name;
    }
}

TEST_F(ModalTest, OkWritesTheValueAgain)
{
    StoreModeValue(stem, REG_BINARY, {1, 0, 0, 0});
    RunProperties([](HWND dialog) { ClickButton(dialog, IDOK); });
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(ReadModeValue(stem, type, data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ((std::vector<BYTE>{1, 0, 0, 0}), data);
}

TEST_F(ModalTest, NextOpeningShowsTheStoredModeAgain)
{
    StoreMode(0);
    RunProperties([](HWND dialog) {
        ClickButton(dialog, IDC_UCN);
        ClickButton(dialog, IDCANCEL);
    });
    bool ucn = true;
    RunProperties([&](HWND dialog) {
        ucn = IsChecked(dialog, IDC_UCN);
        ClickButton(dialog, IDCANCEL);
    });
    EXPECT_FALSE(ucn);
}

TEST_F(ModalTest, DialogTitleIsInTheUserLanguage)
{
    const LanguageTexts* texts = TextsOfThisRun();
    ASSERT_NE(nullptr, texts) << "unexpected UI language " << UiLanguage();
    std::u16string title;
    RunProperties([&](HWND dialog) {
        title = WindowText(dialog);
        SaveScreenshot(dialog, UiLanguage() == 0x0411 ? "properties-ja" : "properties-zh");
        ClickButton(dialog, IDCANCEL);
    });
    EXPECT_TRUE(title == texts->dialogTitle);
}

struct UninstallRow {
    const char* name;
    DWORD storedBefore;
    int answerButton;
    LRESULT answer;
    bool keyAfter;
};

TEST_F(ModalTest, UninstallAsksAndDeletesTheKeyOnYes)
{
    const LanguageTexts* texts = TextsOfThisRun();
    ASSERT_NE(nullptr, texts) << "unexpected UI language " << UiLanguage();
    static const UninstallRow rows[] = {
        {"Yes with a stored mode", 1, IDYES, 1, false},
        {"No with a stored mode", 1, IDNO, 0, true},
        {"Yes without a key", NoKey, IDYES, 1, false},
        {"No without a key", NoKey, IDNO, 0, false},
    };
    for (const UninstallRow& row : rows) {
        StoreMode(row.storedBefore);
        std::u16string text;
        std::u16string caption;
        bool hasYes = false;
        bool hasNo = false;
        const LRESULT answer = RunUninstall([&](HWND box) {
            text = MessageText(box);
            caption = WindowText(box);
            hasYes = GetDlgItem(box, IDYES) != nullptr;
            hasNo = GetDlgItem(box, IDNO) != nullptr;
            if (row.storedBefore == 1 && row.answerButton == IDNO)
                SaveScreenshot(box, UiLanguage() == 0x0411 ? "uninstall-ja" : "uninstall-zh");
            ClickButton(box, row.answerButton);
        });
        EXPECT_EQ(row.answer, answer) << row.name;
        EXPECT_TRUE(text == texts->confirmText) << row.name;
        EXPECT_TRUE(caption == texts->confirmCaption) << row.name;
        EXPECT_TRUE(hasYes && hasNo) << row.name;
        EXPECT_EQ(row.keyAfter, SettingsKeyExists(stem)) << row.name;
        EXPECT_TRUE(host.log.empty()) << row.name << ": no message to the host";
    }
}

TEST_F(ModalTest, PropertiesWhenTheRegistryRefusesTheWrite)
{
    StoreMode(0);
    HKEY deleted = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\PlugInTestsGone", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &deleted, nullptr));
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PlugInTestsGone");
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, deleted));
    RunProperties([](HWND dialog) {
        ClickButton(dialog, IDC_UCN);
        ClickButton(dialog, IDOK);
    });
    // The chosen mode holds while the key cannot be opened...
    const std::u16string whileRefused = NextCommandResult();
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(deleted);
    EXPECT_EQ(std::u16string(u"&#65;B"), whileRefused);
    // ...and the stored one returns when it can.
    EXPECT_EQ(0u, StoredMode());
    EXPECT_EQ(std::u16string(u"A\\u0042"), NextCommandResult());
}

}  // namespace
