// The plug-in's resources as the system's loader finds them: types,
// languages, the exact texts, the byte lengths in the ANSI code page, and the
// dialog template with what every resource compiler must make of it.
#include "dialog_driver.h"
#include "expected_texts.h"
#include "plugin_harness.h"
#include "resource.h"
#include "toolbar_bitmap_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class ResourcesTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin->Loaded()); }
    HMODULE Module() const { return plugin->module; }

    LoadedPlugIn* const plugin = &SharedPlugIn();
};

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR list)
{
    reinterpret_cast<std::vector<UINT_PTR>*>(list)->push_back(reinterpret_cast<UINT_PTR>(type));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR list)
{
    reinterpret_cast<std::vector<UINT_PTR>*>(list)->push_back(reinterpret_cast<UINT_PTR>(name));
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list)
{
    reinterpret_cast<std::vector<UINT_PTR>*>(list)->push_back(language);
    return TRUE;
}

std::vector<UINT_PTR> Languages(HMODULE module, LPCSTR type, UINT id)
{
    std::vector<UINT_PTR> languages;
    EnumResourceLanguagesA(module, type, MAKEINTRESOURCEA(id), CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

// The bytes of one language version of a resource.
const BYTE* ResourceData(HMODULE module, LPCSTR type, UINT id, LANGID language, DWORD* size = nullptr)
{
    HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), language);
    if (found == nullptr)
        return nullptr;
    if (size != nullptr)
        *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

TEST_F(ResourcesTest, ThreeTypesOnly)
{
    std::vector<UINT_PTR> types;
    EnumResourceTypesA(Module(), CollectType, reinterpret_cast<LONG_PTR>(&types));
    EXPECT_EQ((std::vector<UINT_PTR>{2, 5, 6}), types) << "bitmap, dialog and string table";
}

TEST_F(ResourcesTest, NamesOfEachType)
{
    struct Row {
        LPCSTR type;
        std::vector<UINT_PTR> ids;
    };
    std::vector<UINT_PTR> bitmaps;
    for (const BitmapRow& bitmap : ToolbarBitmaps)
        bitmaps.push_back(static_cast<UINT_PTR>(bitmap.id));
    std::sort(bitmaps.begin(), bitmaps.end());
    // clang-format off
    const Row rows[] = {
        {RT_STRING, {1}},
        {RT_DIALOG, {IDD_PROPERTIES}},
        {RT_BITMAP, bitmaps},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << reinterpret_cast<UINT_PTR>(row.type));
        std::vector<UINT_PTR> ids;
        EnumResourceNamesA(Module(), row.type, CollectName, reinterpret_cast<LONG_PTR>(&ids));
        EXPECT_EQ(row.ids, ids);
    }
}

TEST_F(ResourcesTest, LanguagesOfEachResource)
{
    // Each language list is sorted by language id, as the loader's search
    // needs: Japanese (1041) stands before Simplified Chinese (2052).
    const std::vector<UINT_PTR> bothLanguages = {Japanese, Chinese};
    EXPECT_EQ(bothLanguages, Languages(Module(), RT_STRING, 1)) << "string block 1";
    EXPECT_EQ(bothLanguages, Languages(Module(), RT_DIALOG, IDD_PROPERTIES)) << "dialog";
    for (const BitmapRow& bitmap : ToolbarBitmaps) {
        SCOPED_TRACE(testing::Message() << "bitmap " << bitmap.idName);
        EXPECT_EQ(std::vector<UINT_PTR>{0}, Languages(Module(), RT_BITMAP, static_cast<UINT>(bitmap.id)));
    }
}

// The sixteen counted strings of block 1 (ids 0 to 15) of one language.
std::vector<std::u16string> StringBlock(HMODULE module, LANGID language)
{
    DWORD size = 0;
    const BYTE* data = ResourceData(module, RT_STRING, 1, language, &size);
    std::vector<std::u16string> strings;
    if (data == nullptr)
        return strings;
    const char16_t* p = reinterpret_cast<const char16_t*>(data);
    for (int i = 0; i < 16; ++i) {
        const std::size_t length = *p++;
        strings.emplace_back(p, length);
        p += length;
    }
    return strings;
}

TEST_F(ResourcesTest, StringTexts)
{
    for (const UiTexts* texts : BothLanguages) {
        SCOPED_TRACE(testing::Message() << "language " << texts->language);
        const std::vector<std::u16string> block = StringBlock(Module(), texts->language);
        ASSERT_EQ(16u, block.size());
        const std::u16string expected[16] = {u"", texts->uninstallQuestion, ExpectedVersion, texts->name, texts->name};
        for (int id = 0; id < 16; ++id)
            EXPECT_EQ(expected[id], block[id]) << "string " << id;
    }
}

struct LengthRow {
    UINT codePage;
    UINT id;
    int bytes;
};

// LoadStringA converts to the process's code page; the plug-in's 80-byte
// buffers hold every string. Code page 1252 has no character of the Japanese
// texts: each becomes one "?".
TEST_F(ResourcesTest, AnsiLengthsInTheLanguagesCodePage)
{
    // clang-format off
    static const LengthRow rows[] = {
        {936, 1, 25}, {936, 2, 4}, {936, 3, 12}, {936, 4, 12},
        {932, 1, 45}, {932, 2, 4}, {932, 3, 17}, {932, 4, 17},
        {1252, 1, 23}, {1252, 2, 4}, {1252, 3, 12}, {1252, 4, 12},
    };
    // clang-format on
    const UINT codePage = GetACP();
    int checked = 0;
    for (const LengthRow& row : rows) {
        if (row.codePage != codePage)
            continue;
        SCOPED_TRACE(testing::Message() << "string " << row.id);
        char text[80];
        EXPECT_EQ(row.bytes, LoadStringA(Module(), row.id, text, sizeof text));
        EXPECT_EQ(row.bytes, lstrlenA(text));
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "runs under code pages 932, 936 and 1252";
}

// Reading a classic dialog template.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : start_(data), p_(data) { }
    DWORD Dword()
    {
        DWORD value = p_[0] | p_[1] << 8 | p_[2] << 16 | static_cast<DWORD>(p_[3]) << 24;
        p_ += 4;
        return value;
    }
    WORD Word()
    {
        WORD value = static_cast<WORD>(p_[0] | p_[1] << 8);
        p_ += 2;
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    std::u16string Text()
    {
        std::u16string text;
        for (WORD unit = Word(); unit != 0; unit = Word())
            text.push_back(static_cast<char16_t>(unit));
        return text;
    }
    // A name or an ordinal: 0xFFFF and a number, or a text.
    std::u16string NameOrOrdinal()
    {
        if (p_[0] == 0xFF && p_[1] == 0xFF) {
            Word();
            return u"#" + std::u16string(1, static_cast<char16_t>(Word()));
        }
        return Text();
    }
    void AlignToDword()
    {
        while ((p_ - start_) % 4 != 0)
            ++p_;
    }

private:
    const BYTE* start_;
    const BYTE* p_;
};

// A place in the dialog, in dialog units.
struct Box {
    short x, y, cx, cy;
};

Box ReadBox(TemplateReader& reader)
{
    Box box;
    box.x = reader.Short();
    box.y = reader.Short();
    box.cx = reader.Short();
    box.cy = reader.Short();
    return box;
}

bool Inside(const Box& inner, const Box& outer)
{
    return inner.x >= 0 && inner.y >= 0 && inner.x + inner.cx <= outer.cx && inner.y + inner.cy <= outer.cy;
}

bool Overlap(const Box& a, const Box& b)
{
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

const char16_t Button = 0x80;
const char16_t Static = 0x82;
const WORD NoId = 0xFFFF;  // IDC_STATIC as the template holds it

struct ControlRow {
    const char* name;
    WORD id;
    char16_t classAtom;
    const char16_t* UiTexts::*text;
    DWORD style;
};

// The controls in their order, which is also the order of Tab and of the
// groups. The style bits are what every resource compiler must give them.
const DWORD Radio = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;
const DWORD Example = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_NOPREFIX | SS_LEFTNOWORDWRAP;
// clang-format off
const ControlRow Controls[] = {
    {"character reference button", IDC_CHAR_REF, Button, &UiTexts::charRefButton, Radio | WS_GROUP},
    {"universal character name button", IDC_UCN, Button, &UiTexts::ucnButton, Radio},
    {"character reference example", NoId, Static, &UiTexts::charRefExample, Example},
    {"universal character name example", NoId, Static, &UiTexts::ucnExample, Example},
    {"OK", IDOK, Button, &UiTexts::okButton, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {"Cancel", IDCANCEL, Button, &UiTexts::cancelButton, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
};
// clang-format on

// Every control shows whole: inside the dialog, and no two on top of each
// other. The boxes are those of Controls, in its order.
void CheckLayout(const Box& dialog, const std::vector<Box>& boxes)
{
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_TRUE(Inside(boxes[i], dialog)) << Controls[i].name << " reaches out of the dialog";
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(Overlap(boxes[i], boxes[j])) << Controls[j].name << " and " << Controls[i].name << " overlap";
    }
}

// One control's entry, after which the reader stands at the next one.
Box CheckControl(TemplateReader& reader, const ControlRow& control, const UiTexts& texts)
{
    SCOPED_TRACE(control.name);
    reader.AlignToDword();
    EXPECT_EQ(control.style, reader.Dword()) << "style";
    EXPECT_EQ(0u, reader.Dword()) << "extended style";
    const Box box = ReadBox(reader);
    EXPECT_EQ(control.id, reader.Word()) << "id";
    EXPECT_EQ(u"#" + std::u16string(1, control.classAtom), reader.NameOrOrdinal()) << "class";
    EXPECT_EQ(texts.*control.text, reader.NameOrOrdinal()) << "text";
    EXPECT_EQ(0, reader.Word()) << "creation data";
    return box;
}

// The template as the loader reads it: a modal dialog with a title bar and a
// close box, the title, font and control texts of its language, and the
// controls with the ids, classes and styles that the code relies on.
TEST_F(ResourcesTest, DialogTemplate)
{
    const DWORD dialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    for (const UiTexts* texts : BothLanguages) {
        SCOPED_TRACE(testing::Message() << "language " << texts->language);
        const BYTE* data = ResourceData(Module(), RT_DIALOG, IDD_PROPERTIES, texts->language);
        ASSERT_NE(nullptr, data);
        TemplateReader reader(data);
        EXPECT_EQ(dialogStyle, reader.Dword()) << "style";
        EXPECT_EQ(0u, reader.Dword()) << "extended style";
        ASSERT_EQ(std::size(Controls), reader.Word()) << "controls";
        const Box dialog = ReadBox(reader);
        EXPECT_TRUE(reader.NameOrOrdinal().empty()) << "menu";
        EXPECT_TRUE(reader.NameOrOrdinal().empty()) << "class";
        EXPECT_EQ(texts->dialogTitle, reader.Text()) << "title";
        EXPECT_EQ(texts->fontPointSize, reader.Word()) << "font size";
        EXPECT_EQ(texts->fontFace, reader.Text()) << "font";
        std::vector<Box> boxes;
        for (const ControlRow& control : Controls)
            boxes.push_back(CheckControl(reader, control, *texts));
        CheckLayout(dialog, boxes);
    }
}

// The loader picks the language of the user interface; under any other
// language it falls back on the first language of the resources, Japanese.
TEST_F(ResourcesTest, LoaderPicksTheUserLanguage)
{
    char16_t text[80] = {};
    const int length = LoadStringW(Module(), IDS_MENU_TEXT, reinterpret_cast<LPWSTR>(text), 80);
    EXPECT_EQ(ExpectedTextsFor(UiLanguage()).name, std::u16string(text, length)) << "user interface " << UiLanguage();
}

}  // namespace
