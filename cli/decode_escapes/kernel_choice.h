// Which decoder kernel decode-escapes runs: the one that the environment
// variable DECODE_ESCAPES_KERNEL names, for people and tests, or else the
// fastest this processor runs.
#ifndef DECODE_ESCAPES_KERNEL_CHOICE_H
#define DECODE_ESCAPES_KERNEL_CHOICE_H

#include "text_kernels/cpu_kernels.h"

#include <string>

// False, with `error` set, when the variable names no kernel or one that this
// processor cannot run; an empty variable counts as unset.
bool ChooseKernel(Kernel& kernel, std::string& error);

#endif
