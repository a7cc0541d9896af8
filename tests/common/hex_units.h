// Code units written as hexadecimal numbers, for failure messages that show
// every unit, the invisible ones included.
#ifndef TESTS_COMMON_HEX_UNITS_H
#define TESTS_COMMON_HEX_UNITS_H

#include <cstdio>
#include <string>

inline std::string HexUnits(const std::u16string& text)
{
    std::string out;
    char unit[8];
    for (char16_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

#endif
