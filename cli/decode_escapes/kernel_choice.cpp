#include "kernel_choice.h"

#include <cstdlib>

namespace {

const char* const KernelVariable = "DECODE_ESCAPES_KERNEL";

std::string RunnableNames()
{
    std::string names;
    for (Kernel kernel : RunnableKernels())
        names += (names.empty() ? "" : ", ") + std::string(KernelName(kernel));
    return names;
}

}  // namespace

bool ChooseKernel(Kernel& kernel, std::string& error)
{
    const char* const name = std::getenv(KernelVariable);
    if (name == nullptr || *name == 0) {
        kernel = BestKernel();
        return true;
    }
    if (!FindKernel(name, kernel)) {
        error = std::string("unknown kernel '") + name + "' in " + KernelVariable + "; this processor runs " +
                RunnableNames();
        return false;
    }
    if (!CanRunKernel(kernel)) {
        error = std::string(KernelVariable) + " names " + name + ", which this processor cannot run; it runs " +
                RunnableNames();
        return false;
    }
    return true;
}
