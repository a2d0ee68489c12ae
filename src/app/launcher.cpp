// Starts the window's program with the allocator told to mark its heap for pages of 2 MiB
// where that pays (see core/huge_page_heap.h): the environment is read only as a process
// starts, and a program of Qt's size would take tens of milliseconds to start twice.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/huge_page_heap.h"

namespace {

std::string ProgramFolder() {
    std::string path(4096, '\0');
    const ssize_t got = ::readlink("/proc/self/exe", path.data(), path.size());
    if (got <= 0 || std::size_t(got) >= path.size()) return ".";
    path.resize(std::size_t(got));
    return path.substr(0, path.rfind('/'));
}

}  // namespace

int main(int, char** argv) {
    const std::string folder = ProgramFolder();
    // Beside the launcher in the build tree, else where the package puts it.
    const std::string candidates[] = {folder + "/libexec/brintale",
                                      folder + "/" BRINTALE_WINDOW_FROM_LAUNCHER "/brintale"};
    const std::string* program = nullptr;
    for (const std::string& candidate : candidates)
        if (::access(candidate.c_str(), X_OK) == 0) {
            program = &candidate;
            break;
        }
    if (!program) {
        std::fprintf(stderr, "brintale: the window's program is not installed (looked for %s)\n",
                     candidates[1].c_str());
        return 127;
    }
    const bool asked = brintale::AskForHugePageHeap();
    // argv[0] stays as given: the program's name for the window system and screen readers.
    ::execv(program->c_str(), argv);
    const int error = errno;
    if (asked) brintale::PutBackTheEnvironment();
    std::fprintf(stderr, "brintale: cannot start %s: %s\n", program->c_str(), std::strerror(error));
    return 126;
}
