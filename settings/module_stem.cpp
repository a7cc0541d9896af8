#include "module_stem.h"

namespace {

bool IsLeadByte(unsigned char byte, const unsigned char* ranges)
{
    for (; ranges[0] != 0 || ranges[1] != 0; ranges += 2) {
        if (byte >= ranges[0] && byte <= ranges[1])
            return true;
    }
    return false;
}

}  // namespace

char* FindFirstDot(char* fileName, const unsigned char* leadByteRanges)
{
    for (char* p = fileName; *p != 0; ++p) {
        if (IsLeadByte(static_cast<unsigned char>(*p), leadByteRanges)) {
            if (p[1] == 0)
                return nullptr;  // a lead byte cut off by the end of the name
            ++p;                 // its trailing byte is part of the same character
        } else if (*p == '.') {
            return p;
        }
    }
    return nullptr;
}
