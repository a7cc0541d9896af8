// The kernels' names, for people and tests. A file of its own, so that a
// program that only decodes (the plug-in) links none of this.
#include "cpu_kernels.h"

#include <cstring>

namespace {

#define KERNEL_NAME(id, name, needs, built) name,
const char* const KernelNames[KernelCount] = {FOR_EACH_KERNEL(KERNEL_NAME)};
#undef KERNEL_NAME

}  // namespace

const char* KernelName(Kernel kernel)
{
    return KernelNames[static_cast<int>(kernel)];
}

bool FindKernel(const char* name, Kernel& kernel)
{
    for (int i = 0; i < KernelCount; ++i) {
        if (std::strcmp(name, KernelNames[i]) == 0) {
            kernel = static_cast<Kernel>(i);
            return true;
        }
    }
    return false;
}
