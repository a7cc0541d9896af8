// The kernel names, and which kernels run here against what the system
// reports about the processor.
#include "text_kernels/cpu_kernels.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

TEST(CpuKernels, NamesFindTheirKernels)
{
    const struct {
        const char* name;
        bool known;
        Kernel kernel;
        // clang-format off
    } rows[] = {
        {"portable", true, Kernel::Portable}, {"sse2", true, Kernel::Sse2}, {"avx2", true, Kernel::Avx2},
        {"AVX2", false, {}},                  {"avx", false, {}},           {"", false, {}},
        {"sse2 ", false, {}},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Kernel found = Kernel::Portable;
        ASSERT_EQ(row.known, FindKernel(row.name, found));
        if (row.known) {
            EXPECT_EQ(row.kernel, found);
            EXPECT_STREQ(row.name, KernelName(found));
        }
    }
}

TEST(CpuKernels, BestIsTheLastThatRuns)
{
    const KernelList runnable = RunnableKernels();
    ASSERT_GE(runnable.count, 1);
    EXPECT_EQ(Kernel::Portable, runnable.kernels[0]);
    EXPECT_EQ(runnable.kernels[runnable.count - 1], BestKernel());
    std::string names;
    for (Kernel kernel : runnable)
        names += std::string(" ") + KernelName(kernel);
    std::printf("kernels that run here:%s\n", names.c_str());
}

#if defined(__linux__) && defined(BUILD_X86_KERNELS)
// The kernel reports the processor's features, and AVX among them only
// when it saves the AVX registers, as the kernel choice demands.
TEST(CpuKernels, AgreeWithTheSystemsProcessorFlags)
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) { }
    ASSERT_EQ(0u, line.rfind("flags", 0)) << "no flags line in /proc/cpuinfo";
    std::istringstream words(line.substr(line.find(':') + 1));
    bool sse2 = false;
    bool avx2 = false;
    for (std::string flag; words >> flag;) {
        sse2 = sse2 || flag == "sse2";
        avx2 = avx2 || flag == "avx2";
    }
    EXPECT_EQ(sse2, CanRunKernel(Kernel::Sse2));
    EXPECT_EQ(avx2, CanRunKernel(Kernel::Avx2));
}
#endif

}  // namespace
