// Comparing UTF-16 texts in the tests. GoogleTest prints a std::u16string
// with every unit visible (u"x\x65E5\r\n"), so EXPECT_EQ on two of them shows
// both texts; the tests compare texts that way. Texts too long to print whole
// go through SameText instead.
#ifndef TESTS_COMMON_SAME_TEXT_H
#define TESTS_COMMON_SAME_TEXT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>

// Equal texts pass; otherwise the failure shows both texts around the first
// unit where they differ, printed as GoogleTest prints texts.
inline testing::AssertionResult SameText(const std::u16string& expected, const std::u16string& actual)
{
    if (expected == actual)
        return testing::AssertionSuccess();
    const std::size_t common = std::min(expected.size(), actual.size());
    const std::size_t at = static_cast<std::size_t>(
        std::mismatch(expected.begin(), expected.begin() + common, actual.begin()).first - expected.begin());
    const std::size_t from = at < 16 ? 0 : at - 16;
    return testing::AssertionFailure() << "the texts (" << expected.size() << " and " << actual.size()
                                       << " units) differ from unit " << at << "; from unit " << from << ":\n"
                                       << "  expected " << testing::PrintToString(expected.substr(from, 48)) << "\n"
                                       << "    actual " << testing::PrintToString(actual.substr(from, 48));
}

#endif
