/* For the clang-cl compile check only: the jmp_buf that clang's <intrin.h>
   declares _setjmp with, in place of MinGW-w64's <setjmp.h>, whose own
   _setjmp has another signature. The decoder itself uses no setjmp. */
#ifndef CLANG_CL_CHECK_SETJMP_H
#define CLANG_CL_CHECK_SETJMP_H
typedef struct {
    unsigned long long part[2];
} __attribute__((aligned(16))) _JBTYPE;
typedef _JBTYPE jmp_buf[16];
#endif
