#pragma once

// Which vector code the splitter searches and copies with. The processor's best is taken
// unless told otherwise, so that tests and measurements can run each kernel on one machine.

#include <atomic>
#include <vector>

namespace brintale {

enum class Kernel { Scalar, Sse2, Avx2 };

// The kernels this processor runs, plainest first.
std::vector<Kernel> AvailableKernels();

// From now on the splitter uses `kernel`, or the best available below it. Not to be called
// while a count runs on another thread.
void UseKernel(Kernel kernel);

const char* KernelName(Kernel kernel);

namespace detail {

inline constexpr int kKernelUnset = -1;
inline std::atomic<int> activeKernel{kKernelUnset};

Kernel DetectKernel();

// The kernel in use; cheap enough for every search.
inline Kernel ActiveKernel() {
    const int k = activeKernel.load(std::memory_order_relaxed);
    return k == kKernelUnset ? DetectKernel() : static_cast<Kernel>(k);
}

}  // namespace detail
}  // namespace brintale
