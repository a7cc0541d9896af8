// The instruction sets that the text kernels are written for, and which of
// them this processor runs.
//
// Nothing is cached: each answer asks the processor again (cpuid, and xgetbv
// for the AVX state), which takes nanoseconds on bare hardware and a few
// microseconds in a virtual machine. So a library built on this keeps no
// state and runs no code at load; a caller that decodes many small texts
// asks once and passes the kernel on.
//
// The kernels come from one list (cmake/Kernels.cmake, made into
// kernel_list.h): portable (plain C++, on every processor), sse2 (x86 with
// SSE2) and avx2 (x86 with AVX2, on a system that keeps the AVX registers).
#ifndef DECODER_CPU_KERNELS_H
#define DECODER_CPU_KERNELS_H

#include "kernel_list.h"

#define KERNEL_ENUMERATOR(id, name, needs, built) id,
enum class Kernel : unsigned char { FOR_EACH_KERNEL(KERNEL_ENUMERATOR) };
#undef KERNEL_ENUMERATOR

#define KERNEL_ONE(id, name, needs, built) +1
const int KernelCount = 0 FOR_EACH_KERNEL(KERNEL_ONE);
#undef KERNEL_ONE

// The kernel's name in the list: "portable", "sse2", "avx2".
const char* KernelName(Kernel kernel);

// The kernel spelt exactly as KernelName spells it; false for any other name.
bool FindKernel(const char* name, Kernel& kernel);

// True when this build has `kernel` and this processor can run it.
bool CanRunKernel(Kernel kernel);

// The kernels that can run here, from the plainest to the fastest.
struct KernelList {
    Kernel kernels[KernelCount];
    int count;

    const Kernel* begin() const { return kernels; }
    const Kernel* end() const { return kernels + count; }
};
KernelList RunnableKernels();

// The fastest kernel that can run here.
Kernel BestKernel();

#endif
