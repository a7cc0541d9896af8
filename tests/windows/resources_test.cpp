// The plug-in's resources as the system's loader finds them: types,
// languages, the exact texts, the byte lengths in the ANSI code page, and the
// dialog template field by field.
#include "dialog_driver.h"
#include "plugin_harness.h"
#include "resource.h"
#include "toolbar_bitmap_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const LANGID Chinese = 0x0804;   // 2052
const LANGID Japanese = 0x0411;  // 1041

class ResourcesTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plugin->Loaded()); }
    HMODULE Module() const { return plugin->module; }

    LoadedPlugin* const plugin = &SharedPlugin();
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
    const Row rows[] = {
        {RT_STRING, {1}},
        {RT_DIALOG, {IDD_PROPERTIES}},
        {RT_BITMAP, {101, 104, 105, 107, 109, 110, 111, 112, 113, 114, 115, 117, 118, 119}},
    };
    for (const Row& row : rows) {
        std::vector<UINT_PTR> ids;
        EnumResourceNamesA(Module(), row.type, CollectName, reinterpret_cast<LONG_PTR>(&ids));
        EXPECT_EQ(row.ids, ids) << "type " << reinterpret_cast<UINT_PTR>(row.type);
    }
}

TEST_F(ResourcesTest, LanguagesOfEachResource)
{
    // Each language list is sorted by language id, as the loader's search
    // needs: Japanese (1041) stands before Simplified Chinese (2052).
    const std::vector<UINT_PTR> bothLanguages = {Japanese, Chinese};
    EXPECT_EQ(bothLanguages, Languages(Module(), RT_STRING, 1)) << "string block 1";
    EXPECT_EQ(bothLanguages, Languages(Module(), RT_DIALOG, IDD_PROPERTIES)) << "dialog";
    for (const BitmapRow& bitmap : kBitmaps) {
        EXPECT_EQ(std::vector<UINT_PTR>{0}, Languages(Module(), RT_BITMAP, static_cast<UINT>(bitmap.id)))
            << "bitmap " << bitmap.idName;
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

struct TextRow {
    LANGID language;
    const char16_t* strings[5];  // ids 0 to 4
};

TEST_F(ResourcesTest, StringTexts)
{
    static const TextRow rows[] = {
        {Chinese,
         {u"", u"\u4F60\u786E\u5B9E\u60F3\u8981\u5378\u8F7D\u8FD9\u4E2A\u63D2\u4EF6\u5417?", u"1.00",
          u"\u89E3\u7801 Unicode", u"\u89E3\u7801 Unicode"}},
        {Japanese,
         {u"",
          u"\u30A2\u30F3\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB\u3092\u5B9F\u884C\u3057\u307E\u3059\u3002"
          u"\u3088\u308D\u3057\u3044\u3067\u3059\u304B?",
          u"1.00", u"Unicode\u3092\u30C7\u30B3\u30FC\u30C9", u"Unicode\u3092\u30C7\u30B3\u30FC\u30C9"}},
    };
    for (const TextRow& row : rows) {
        const std::vector<std::u16string> block = StringBlock(Module(), row.language);
        ASSERT_EQ(16u, block.size()) << "language " << row.language;
        for (int id = 0; id < 16; ++id) {
            const std::u16string expected = id < 5 ? row.strings[id] : u"";
            EXPECT_TRUE(expected == block[id]) << "language " << row.language << ", string " << id;
        }
    }
}

struct LengthRow {
    UINT codePage;
    UINT id;
    int bytes;
};

// LoadStringA converts to the process's code page; the plug-in's 80-byte
// buffers hold every string.
TEST_F(ResourcesTest, AnsiLengthsInTheLanguagesCodePage)
{
    static const LengthRow rows[] = {
        {936, 1, 25}, {936, 2, 4}, {936, 3, 12}, {936, 4, 12},
        {932, 1, 45}, {932, 2, 4}, {932, 3, 17}, {932, 4, 17},
    };
    const UINT codePage = GetACP();
    int checked = 0;
    for (const LengthRow& row : rows) {
        if (row.codePage != codePage)
            continue;
        char text[80];
        EXPECT_EQ(row.bytes, LoadStringA(Module(), row.id, text, sizeof text)) << "string " << row.id;
        EXPECT_EQ(row.bytes, lstrlenA(text)) << "string " << row.id;
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "runs under code pages 932 and 936";
}

// Reading a classic dialog template.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : start_(data), p_(data) {}
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

struct ControlRow {
    WORD id;
    char16_t classAtom;  // 0x80 Button, 0x82 Static
    const char16_t* textChinese;
    const char16_t* textJapanese;
    DWORD style;
    short x, y, cx, cy;
};

const ControlRow Controls[] = {
    {1002, 0x80, u"HTML/XML \u5B57\u7B26\u5F15\u7528(&H)", u"&HTML/XML\u6587\u5B57\u53C2\u7167", 0x50020009, 8, 8, 148, 10},
    {1003, 0x80, u"\u901A\u7528\u5B57\u7B26\u540D(&U)", u"&Universal Character Names", 0x50000009, 8, 40, 148, 10},
    {0xFFFF, 0x82, u"\u793A\u4F8B: &#26085;", u"\u4F8B: &#26085;", 0x5002008C, 20, 24, 136, 8},
    {0xFFFF, 0x82, u"\u793A\u4F8B: \\u65e5", u"\u4F8B: \\u65e5", 0x5002008C, 20, 56, 136, 8},
    {1, 0x80, u"\u786E\u5B9A", u"OK", 0x50010001, 164, 8, 50, 14},
    {2, 0x80, u"\u53D6\u6D88", u"\u30AD\u30E3\u30F3\u30BB\u30EB", 0x50010000, 164, 24, 50, 14},
};

struct DialogRow {
    LANGID language;
    const char16_t* title;
    WORD pointSize;
    const char16_t* face;
};

TEST_F(ResourcesTest, DialogTemplateFieldByField)
{
    static const DialogRow rows[] = {
        {Chinese, u"\u89E3\u7801 Unicode \u5C5E\u6027", 8, u"Tahoma"},
        {Japanese, u"Unicode\u3092\u30C7\u30B3\u30FC\u30C9 \u30D7\u30ED\u30D1\u30C6\u30A3", 9,
         u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"},
    };
    for (const DialogRow& row : rows) {
        const BYTE* data = ResourceData(Module(), RT_DIALOG, IDD_PROPERTIES, row.language);
        ASSERT_NE(nullptr, data) << "language " << row.language;
        TemplateReader reader(data);
        EXPECT_EQ(0x80C800C0u, reader.Dword()) << "style, language " << row.language;
        EXPECT_EQ(0u, reader.Dword()) << "extended style, language " << row.language;
        ASSERT_EQ(6, reader.Word()) << "controls, language " << row.language;
        EXPECT_EQ(0, reader.Short());
        EXPECT_EQ(0, reader.Short());
        EXPECT_EQ(224, reader.Short());
        EXPECT_EQ(73, reader.Short());
        EXPECT_TRUE(reader.NameOrOrdinal().empty()) << "menu, language " << row.language;
        EXPECT_TRUE(reader.NameOrOrdinal().empty()) << "class, language " << row.language;
        EXPECT_TRUE(reader.Text() == row.title) << "title, language " << row.language;
        EXPECT_EQ(row.pointSize, reader.Word()) << "font size, language " << row.language;
        EXPECT_TRUE(reader.Text() == row.face) << "font, language " << row.language;
        for (std::size_t i = 0; i < std::size(Controls); ++i) {
            const ControlRow& control = Controls[i];
            reader.AlignToDword();
            EXPECT_EQ(control.style, reader.Dword()) << "control " << i << ", language " << row.language;
            EXPECT_EQ(0u, reader.Dword()) << "control " << i << " extended style";
            EXPECT_EQ(control.x, reader.Short()) << "control " << i;
            EXPECT_EQ(control.y, reader.Short()) << "control " << i;
            EXPECT_EQ(control.cx, reader.Short()) << "control " << i;
            EXPECT_EQ(control.cy, reader.Short()) << "control " << i;
            EXPECT_EQ(control.id, reader.Word()) << "control " << i;
            EXPECT_TRUE(reader.NameOrOrdinal() == u"#" + std::u16string(1, control.classAtom)) << "control " << i;
            const char16_t* text = row.language == Chinese ? control.textChinese : control.textJapanese;
            EXPECT_TRUE(reader.NameOrOrdinal() == text) << "control " << i << " text, language " << row.language;
            EXPECT_EQ(0, reader.Word()) << "control " << i << " creation data";
        }
    }
}

// The loader picks the language of the user interface; under any other
// language it falls back on the first language of the resources, Japanese.
TEST_F(ResourcesTest, LoaderPicksTheUserLanguage)
{
    char16_t text[80] = {};
    const int length = LoadStringW(Module(), IDS_MENU_TEXT, reinterpret_cast<LPWSTR>(text), 80);
    const std::u16string menu(text, length);
    if (UiLanguage() == Chinese)
        EXPECT_TRUE(menu == u"\u89E3\u7801 Unicode");
    else
        EXPECT_TRUE(menu == u"Unicode\u3092\u30C7\u30B3\u30FC\u30C9") << "user interface " << UiLanguage();
}

}  // namespace
