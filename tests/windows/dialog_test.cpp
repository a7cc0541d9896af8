// The properties dialog and the uninstall confirmation, opened through
// PlugInProc and handled as a person would, with what lands in the registry
// and in the next command.
#include "dialog_driver.h"
#include "expected_texts.h"
#include "host_interface.h"
#include "plugin_harness.h"
#include "resource.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class ModalTest : public PlugInCopyTest {
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

const DWORD NoKey = PlugInCopyTest::NoStoredMode;

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
    int click;  // 0, IDC_CHAR_REF or IDC_UCN
    Close close;
    DWORD storedAfter;  // NoKey: no "Mode" value
    const char16_t* nextCommand;
};

TEST_F(ModalTest, PropertiesDialogShowsAndStoresTheMode)
{
    // clang-format off
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
    // clang-format on
    for (const PropertiesRow& row : rows) {
        SCOPED_TRACE(row.name);
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
        EXPECT_EQ(row.charRefShown, charRef);
        EXPECT_EQ(row.ucnShown, ucn);
        if (row.click != 0) {
            EXPECT_EQ(row.click == IDC_CHAR_REF, charRefAfterClick);
            EXPECT_EQ(row.click == IDC_UCN, ucnAfterClick);
        }
        EXPECT_TRUE(SettingsKeyExists(stem)) << "opening creates the key";
        EXPECT_EQ(row.storedAfter, StoredMode());
        EXPECT_EQ(row.nextCommand, NextCommandResult());
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

struct ShownTextRow {
    const char* name;
    const char16_t* UiTexts::*text;
};

// What the user reads, taken back from the windows in UTF-16: under a
// language of the resources its own texts, under any other the Japanese
// ones, whatever the system's ANSI code page can hold.
TEST_F(ModalTest, DialogShowsTheTextsOfTheUserLanguage)
{
    // clang-format off
    static const ShownTextRow controls[] = {
        {"character reference button", &UiTexts::charRefButton},
        {"universal character name button", &UiTexts::ucnButton},
        {"character reference example", &UiTexts::charRefExample},
        {"universal character name example", &UiTexts::ucnExample},
        {"OK", &UiTexts::okButton},
        {"Cancel", &UiTexts::cancelButton},
    };
    // clang-format on
    std::u16string title;
    std::vector<std::u16string> shown;
    RunProperties([&](HWND dialog) {
        title = WindowText(dialog);
        shown = ChildTexts(dialog);
        SaveScreenshot(dialog, "properties-" + UiLanguageTag());
        ClickButton(dialog, IDCANCEL);
    });
    const UiTexts& texts = ExpectedTextsFor(UiLanguage());
    EXPECT_EQ(texts.dialogTitle, title);
    ASSERT_EQ(std::size(controls), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        SCOPED_TRACE(controls[i].name);
        EXPECT_EQ(texts.*controls[i].text, shown[i]);
    }
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
    const UiTexts& texts = ExpectedTextsFor(UiLanguage());
    // clang-format off
    static const UninstallRow rows[] = {
        {"Yes with a stored mode", 1, IDYES, 1, false},
        {"No with a stored mode", 1, IDNO, 0, true},
        {"Yes without a key", NoKey, IDYES, 1, false},
        {"No without a key", NoKey, IDNO, 0, false},
    };
    // clang-format on
    for (const UninstallRow& row : rows) {
        SCOPED_TRACE(row.name);
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
                SaveScreenshot(box, "uninstall-" + UiLanguageTag());
            ClickButton(box, row.answerButton);
        });
        EXPECT_EQ(row.answer, answer);
        EXPECT_EQ(texts.uninstallQuestion, text);
        EXPECT_EQ(texts.name, caption);
        EXPECT_TRUE(hasYes && hasNo);
        EXPECT_EQ(row.keyAfter, SettingsKeyExists(stem));
        EXPECT_TRUE(host.log.empty()) << "no message to the host";
    }
}

TEST_F(ModalTest, PropertiesWhenTheRegistryRefusesTheWrite)
{
    StoreMode(0);
    std::u16string whileRefused;
    {
        UnusableCurrentUser unusable;
        ASSERT_TRUE(unusable.Active());
        RunProperties([](HWND dialog) {
            ClickButton(dialog, IDC_UCN);
            ClickButton(dialog, IDOK);
        });
        whileRefused = NextCommandResult();
    }
    // The chosen mode holds while the key cannot be opened...
    EXPECT_EQ(u"&#65;B", whileRefused);
    // ...and the stored one returns when it can.
    EXPECT_EQ(0u, StoredMode());
    EXPECT_EQ(u"A\\u0042", NextCommandResult());
}

}  // namespace
