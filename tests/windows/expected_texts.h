// The texts that the plug-in shows, in the two languages of its resources,
// as the tests expect them.
#ifndef TESTS_WINDOWS_EXPECTED_TEXTS_H
#define TESTS_WINDOWS_EXPECTED_TEXTS_H

#include "version.h"

#include <windows.h>

const LANGID Chinese = 0x0804;   // Simplified Chinese, 2052
const LANGID Japanese = 0x0411;  // 1041

// The version answer, the project's version in both languages.
const char16_t ExpectedVersion[] = u"" PRODUCT_VERSION;

struct UiTexts {
    LANGID language;
    // The menu text and the status message, which are one text; also the
    // name answer and the caption of the uninstall question.
    const char16_t* name;
    const char16_t* uninstallQuestion;
    // The properties dialog.
    const char16_t* dialogTitle;
    WORD fontPointSize;
    const char16_t* fontFace;
    const char16_t* charRefButton;
    const char16_t* charRefExample;
    const char16_t* ucnButton;
    const char16_t* ucnExample;
    const char16_t* okButton;
    const char16_t* cancelButton;
};

// clang-format off
inline const UiTexts ChineseTexts = {
    Chinese,
    u"\u89E3\u7801 Unicode",
    u"\u4F60\u786E\u5B9E\u60F3\u8981\u5378\u8F7D\u8FD9\u4E2A\u63D2\u4EF6\u5417?",
    u"\u89E3\u7801 Unicode \u5C5E\u6027",
    8,
    u"Tahoma",
    u"HTML/XML \u5B57\u7B26\u5F15\u7528(&H)",
    u"\u793A\u4F8B: &#26085;",
    u"\u901A\u7528\u5B57\u7B26\u540D(&U)",
    u"\u793A\u4F8B: \\u65e5",
    u"\u786E\u5B9A",
    u"\u53D6\u6D88"};

inline const UiTexts JapaneseTexts = {
    Japanese,
    u"Unicode\u3092\u30C7\u30B3\u30FC\u30C9",
    u"\u30A2\u30F3\u30A4\u30F3\u30B9\u30C8\u30FC\u30EB\u3092\u5B9F\u884C\u3057\u307E\u3059\u3002"
    u"\u3088\u308D\u3057\u3044\u3067\u3059\u304B?",
    u"Unicode\u3092\u30C7\u30B3\u30FC\u30C9 \u30D7\u30ED\u30D1\u30C6\u30A3",
    9,
    u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF",
    u"&HTML/XML\u6587\u5B57\u53C2\u7167",
    u"\u4F8B: &#26085;",
    u"&Universal Character Names",
    u"\u4F8B: \\u65e5",
    u"OK",
    u"\u30AD\u30E3\u30F3\u30BB\u30EB"};
// clang-format on

inline const UiTexts* const BothLanguages[] = {&ChineseTexts, &JapaneseTexts};

// The texts that a process with this user-interface language gets. The
// loader falls back on the first language of the resources, Japanese, under
// any language they do not have.
inline const UiTexts& ExpectedTextsFor(LANGID language)
{
    return language == Chinese ? ChineseTexts : JapaneseTexts;
}

#endif
