// The decoder's one question to the platform: is a code unit from U+0100 up
// white space? Units below U+0100 are classified by the decoder itself.
#ifndef DECODER_WHITE_SPACE_H
#define DECODER_WHITE_SPACE_H

// True when `unit` (at least U+0100) is in the platform's space class.
// U+FFFF is never white space. On Windows this is the C1_SPACE class of
// GetStringTypeW; elsewhere the Unicode White_Space units from U+0100 up.
bool IsSpaceAboveLatin1(char16_t unit);

#endif
