#include "core/huge_page_heap.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace brintale {

namespace {

constexpr char kTunables[] = "GLIBC_TUNABLES";
// In the program started: the value GLIBC_TUNABLES had, after "=", or "-" where it was unset.
constexpr char kTunablesBefore[] = "BRINTALE_TUNABLES_BEFORE";

}  // namespace

// Read without streams, which would bring the launcher most of the C++ library.
std::string HugePagePolicy() {
    const int fd = ::open("/sys/kernel/mm/transparent_hugepage/enabled", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char line[256];
    const ssize_t got = ::read(fd, line, sizeof line);
    ::close(fd);
    return got > 0 ? std::string(line, std::size_t(got)) : std::string();
}

std::optional<std::string> HugePageTunables(const char* current, std::string_view policy) {
    if (policy.find("[madvise]") == std::string_view::npos) return std::nullopt;
    std::string value = current ? current : "";
    if (value.find("glibc.malloc.hugetlb") != std::string::npos) return std::nullopt;
    if (!value.empty()) value += ':';
    return value + "glibc.malloc.hugetlb=1";
}

bool AskForHugePageHeap() {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    const char* current = std::getenv(kTunables);
    const std::optional<std::string> value = HugePageTunables(current, HugePagePolicy());
    if (!value) return false;
    const std::string before = current ? '=' + std::string(current) : std::string("-");
    ::setenv(kTunablesBefore, before.c_str(), 1);
    ::setenv(kTunables, value->c_str(), 1);
    return true;
#else
    return false;
#endif
}

void PutBackTheEnvironment() {
    const char* before = std::getenv(kTunablesBefore);
    if (!before) return;
    if (before[0] == '=')
        ::setenv(kTunables, before + 1, 1);
    else
        ::unsetenv(kTunables);
    ::unsetenv(kTunablesBefore);
}

void RestartWithHugePageHeap(char** argv) {
    if (std::getenv(kTunablesBefore)) return PutBackTheEnvironment();
    if (!AskForHugePageHeap()) return;
    ::execv("/proc/self/exe", argv);
    PutBackTheEnvironment();
}

}  // namespace brintale
