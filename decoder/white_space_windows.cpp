// White space from U+0100 up on Windows: the space class that
// GetStringTypeW reports for CT_CTYPE1.
#include "decoder/white_space.h"

#include <windows.h>

bool IsSpaceAboveLatin1(char16_t unit)
{
    if (unit == u'\uFFFF')
        return false;
    WCHAR text = static_cast<WCHAR>(unit);
    WORD type = 0;
    if (!GetStringTypeW(CT_CTYPE1, &text, 1, &type))
        return false;
    return (type & C1_SPACE) != 0;
}
