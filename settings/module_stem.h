// Finding the first '.' of a module's file name in the process's ANSI code
// page. Kept free of Windows calls so that it can be checked on any platform.
#ifndef SETTINGS_MODULE_STEM_H
#define SETTINGS_MODULE_STEM_H

// `leadByteRanges` lists the code page's lead-byte ranges as pairs of first
// and last byte, ended by a pair of zero bytes, like CPINFO::LeadByte; a
// single-byte code page has no pair at all. A lead byte and the byte after it
// are one character, so a trailing byte 0x2E is never taken for a '.'.
// Returns the first '.', or null when there is none.
char* FindFirstDot(char* fileName, const unsigned char* leadByteRanges);

#endif
