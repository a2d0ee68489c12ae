#pragma once

#include <optional>
#include <string>
#include <string_view>

// Without Qt: the launcher that starts the window's program uses these too.

namespace brintale {

// The C library's allocator marks each stretch it adds to the heap for pages of 2 MiB only
// when the environment tells it so as the process starts. Where the system gives such pages
// only to memory so marked, that halves a large load and the count after it: their time goes
// on the first writes to fresh pages, one fault for each 4 KiB instead of each 2 MiB.

// The system's policy for pages of 2 MiB, as the kernel states it ("always [madvise] never");
// empty where it states none.
std::string HugePagePolicy();
// The value of GLIBC_TUNABLES that tells the allocator so, from the value now (nullptr:
// unset) and the system's policy for pages of 2 MiB; nullopt where it need not or must not
// be told: the policy marks no memory or all of it, or the value says already what to do.
std::optional<std::string> HugePageTunables(const char* current, std::string_view policy);

// Tells the allocator of a program about to be started so, where it pays, noting what the
// environment held; false where nothing changed.
bool AskForHugePageHeap();
// In the program so started: the environment as it was before, so that what it starts
// inherits nothing of it.
void PutBackTheEnvironment();
// Starts this program again, told so (returns where nothing is to be done, and where the start
// failed, which changes nothing); in the new process, puts the environment back.
void RestartWithHugePageHeap(char** argv);

}  // namespace brintale
