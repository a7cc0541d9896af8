#include "cpu_kernels.h"

// The build defines BUILD_X86_KERNELS where it compiles the x86 kernels.
#if defined(BUILD_X86_KERNELS)
#if !(defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64))
#error "BUILD_X86_KERNELS is defined for a processor that is not x86"
#endif
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

namespace {

#if defined(BUILD_X86_KERNELS)

struct CpuidRegisters {
    unsigned eax;
    unsigned ebx;
    unsigned ecx;
    unsigned edx;
};

CpuidRegisters Cpuid(unsigned leaf)
{
    CpuidRegisters out;
#if defined(_MSC_VER)
    int registers[4];
    __cpuidex(registers, static_cast<int>(leaf), 0);
    out.eax = static_cast<unsigned>(registers[0]);
    out.ebx = static_cast<unsigned>(registers[1]);
    out.ecx = static_cast<unsigned>(registers[2]);
    out.edx = static_cast<unsigned>(registers[3]);
#else
    __cpuid_count(leaf, 0, out.eax, out.ebx, out.ecx, out.edx);
#endif
    return out;
}

// The register states that the system saves on a thread switch (XCR0).
unsigned long long SavedStates()
{
#if defined(_MSC_VER)
    return _xgetbv(0);
#else
    unsigned low;
    unsigned high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return static_cast<unsigned long long>(high) << 32 | low;
#endif
}

bool HasBit(unsigned value, int bit)
{
    return (value >> bit & 1u) != 0;
}

bool ProcessorHasSse2()
{
    return HasBit(Cpuid(1).edx, 26);
}

// AVX2 needs the processor's support and the system's: it must save the
// SSE and AVX registers (XCR0 bits 1 and 2), which it says with OSXSAVE.
bool ProcessorHasAvx2()
{
    if (Cpuid(0).eax < 7)
        return false;
    const CpuidRegisters features = Cpuid(1);
    if (!HasBit(features.ecx, 27) || !HasBit(features.ecx, 28))
        return false;
    if ((SavedStates() & 6) != 6)
        return false;
    return HasBit(Cpuid(7).ebx, 5);
}

#endif

}  // namespace

bool CanRunKernel(Kernel kernel)
{
    switch (kernel) {
    case Kernel::Portable:
        return true;
#if defined(BUILD_X86_KERNELS)
    case Kernel::Sse2:
        return ProcessorHasSse2();
    case Kernel::Avx2:
        return ProcessorHasAvx2();
#endif
    default:
        return false;
    }
}

KernelList RunnableKernels()
{
    KernelList list = {};
    for (int i = 0; i < KernelCount; ++i) {
        if (CanRunKernel(static_cast<Kernel>(i)))
            list.kernels[list.count++] = static_cast<Kernel>(i);
    }
    return list;
}

Kernel BestKernel()
{
    for (int i = KernelCount - 1; i > 0; --i) {
        if (CanRunKernel(static_cast<Kernel>(i)))
            return static_cast<Kernel>(i);
    }
    return Kernel::Portable;
}
