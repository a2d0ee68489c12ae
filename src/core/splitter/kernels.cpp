#include "core/splitter/kernels.h"

#include <algorithm>

namespace brintale {

namespace {

Kernel BestKernel() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) return Kernel::Avx2;
#endif
#if defined(__SSE2__)
    return Kernel::Sse2;
#else
    return Kernel::Scalar;
#endif
}

}  // namespace

std::vector<Kernel> AvailableKernels() {
    std::vector<Kernel> kernels;
    for (int k = 0; k <= static_cast<int>(BestKernel()); ++k)
        kernels.push_back(static_cast<Kernel>(k));
    return kernels;
}

void UseKernel(Kernel kernel) {
    detail::activeKernel.store(static_cast<int>(std::min(kernel, BestKernel())),
                               std::memory_order_relaxed);
}

const char* KernelName(Kernel kernel) {
    switch (kernel) {
        case Kernel::Scalar:
            return "scalar";
        case Kernel::Sse2:
            return "SSE2";
        case Kernel::Avx2:
            return "AVX2";
    }
    return "?";
}

namespace detail {

Kernel DetectKernel() {
    const Kernel best = BestKernel();
    int unset = kKernelUnset;
    activeKernel.compare_exchange_strong(unset, static_cast<int>(best), std::memory_order_relaxed);
    return static_cast<Kernel>(activeKernel.load(std::memory_order_relaxed));
}

}  // namespace detail
}  // namespace brintale
