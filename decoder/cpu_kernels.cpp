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

// The processor features that a kernel may need (NEEDS in the list of
// kernels, cmake/Kernels.cmake).
enum CpuFeature : unsigned {
    CpuFeatureSse2 = 1u << 0,
    CpuFeatureAvx = 1u << 1,  // with a system that saves the AVX registers
    CpuFeatureAvx2 = 1u << 2,
};

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

// What CPUID reports, by leaf and register. Leaf 0, EAX: the highest leaf
// that the processor answers.
const unsigned CpuidLeafFeatures = 1;
const unsigned Leaf1EdxSse2 = 1u << 26;
const unsigned Leaf1EcxOsxsave = 1u << 27;  // the system uses XSAVE: XGETBV reads XCR0
const unsigned Leaf1EcxAvx = 1u << 28;
const unsigned CpuidLeafExtendedFeatures = 7;
const unsigned Leaf7EbxAvx2 = 1u << 5;

// XCR0: the register states that the system saves on a thread switch.
const unsigned long long Xcr0SseState = 1u << 1;  // the XMM registers
const unsigned long long Xcr0AvxState = 1u << 2;  // the upper halves of the YMM registers

// AVX needs the processor's support and the system's: it must save the SSE
// and AVX states, which it can say only when it uses XSAVE.
bool SystemSavesAvx(const CpuidRegisters& features)
{
    if ((features.ecx & Leaf1EcxOsxsave) == 0)
        return false;
    const unsigned long long needed = Xcr0SseState | Xcr0AvxState;
    return (SavedStates() & needed) == needed;
}

#endif

// What this processor and its system run, as CpuFeature bits.
unsigned ProcessorFeatures()
{
    unsigned found = 0;
#if defined(BUILD_X86_KERNELS)
    const unsigned highestLeaf = Cpuid(0).eax;
    const CpuidRegisters features = Cpuid(CpuidLeafFeatures);
    if ((features.edx & Leaf1EdxSse2) != 0)
        found |= CpuFeatureSse2;
    if ((features.ecx & Leaf1EcxAvx) != 0 && SystemSavesAvx(features))
        found |= CpuFeatureAvx;
    if (highestLeaf >= CpuidLeafExtendedFeatures && (Cpuid(CpuidLeafExtendedFeatures).ebx & Leaf7EbxAvx2) != 0)
        found |= CpuFeatureAvx2;
#endif
    return found;
}

// Each kernel's needs and whether this build has it, from the list.
struct KernelRow {
    unsigned needs;
    bool built;
};

#define KERNEL_ROW(id, name, needs, built) {needs, built != 0},
const KernelRow KernelRows[KernelCount] = {FOR_EACH_KERNEL(KERNEL_ROW)};
#undef KERNEL_ROW

bool Runs(Kernel kernel, unsigned features)
{
    const KernelRow& row = KernelRows[static_cast<int>(kernel)];
    return row.built && (row.needs & ~features) == 0;
}

}  // namespace

bool CanRunKernel(Kernel kernel)
{
    return static_cast<int>(kernel) < KernelCount && Runs(kernel, ProcessorFeatures());
}

KernelList RunnableKernels()
{
    const unsigned features = ProcessorFeatures();
    KernelList list = {};
    for (int i = 0; i < KernelCount; ++i) {
        if (Runs(static_cast<Kernel>(i), features))
            list.kernels[list.count++] = static_cast<Kernel>(i);
    }
    return list;
}

Kernel BestKernel()
{
    const unsigned features = ProcessorFeatures();
    for (int i = KernelCount - 1; i > 0; --i) {
        if (Runs(static_cast<Kernel>(i), features))
            return static_cast<Kernel>(i);
    }
    return Kernel::Portable;
}
