// White space from U+0100 up on platforms without GetStringTypeW: the
// Unicode White_Space property.
#include "decoder/white_space.h"

bool IsSpaceAboveLatin1(char16_t unit)
{
    switch (unit) {
    case u'\u1680':
    case u'\u2028':
    case u'\u2029':
    case u'\u202F':
    case u'\u205F':
    case u'\u3000':
        return true;
    default:
        return unit >= u'\u2000' && unit <= u'\u200A';
    }
}
