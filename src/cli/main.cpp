// brintale-count: the sentence splitter for scripts and pipelines.
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <thread>
#include <vector>

#include "cli/count_job.h"
#include "cli/options.h"
#include "cli/ordered_output.h"
#include "cli/output_formats.h"
#include "core/failure.h"
#include "core/memory_limits.h"
#include "core/settings_store.h"
#include "core/splitter/splitter.h"
#include "core/version.h"
#include "core/work_queue.h"

namespace {

using namespace brintale;
using namespace brintale::cli;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintError(const QString& message) {
    std::fprintf(stderr, "brintale-count: %s\n", message.toLocal8Bit().constData());
}

// Ends the program at once: a reader that has gone wants nothing more, and a full disk
// takes nothing more.
[[noreturn]] void OutputFailed(int error) {
    PrintError(QStringLiteral("cannot write the output: %1")
                   .arg(QString::fromLocal8Bit(std::strerror(error))));
    std::_Exit(kExitFailure);
}

// Writes and flushes; on failure ends the program with the system's reason.
void WriteOut(QByteArrayView bytes) {
    errno = 0;
    if ((!bytes.isEmpty() && std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()),
                                         stdout) != static_cast<size_t>(bytes.size())) ||
        std::fflush(stdout) != 0)
        OutputFailed(errno != 0 ? errno : EIO);
}

// A stored text fit for a one-line message: control characters shown as U+FFFD, long ones cut.
QString Shown(const QString& stored) {
    QString shown = stored.left(40);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control) c = QChar::ReplacementCharacter;
    return stored.size() > shown.size() ? shown + u'\u2026' : shown;
}

// A stored check box as the window reads it: ticked (1) or not (0, or 2, the grey state,
// which counts as cleared); a value the window cannot read leaves the box ticked, as it
// starts.
bool StoredTick(const QString& key, const QString& stored) {
    // What the window writes, told without the general reading's parser (a start-up cost).
    if (stored.size() == 1 && stored[0] >= u'0' && stored[0] <= u'2') return stored[0] == u'1';
    try {
        return StoredCheckValue(stored) == 1;
    } catch (const Failure& e) {
        PrintError(QStringLiteral("the stored setting %1 \"%2\" is no check-box value (%3); "
                                  "it is taken as on")
                       .arg(key, Shown(stored), e.description()));
        return true;
    }
}

// Threads that the limit on the address space leaves room for, each with its stack, its
// share of the allocator's arenas (64 MiB each) and its file's buffers; unlimited without
// a limit.
int ThreadsThatFit() {
    constexpr rlim_t kPerThread = rlim_t(96) << 20;
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<int>::max();
    unsigned long long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    const rlim_t used = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE));
    if (used >= limit.rlim_cur) return 1;
    return int(std::clamp<rlim_t>((limit.rlim_cur - used) / kPerThread, 1, 1 << 20));
}

// The cores this process may run on.
int Cores() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    return std::max(1u, std::thread::hardware_concurrency());
}

// The size of a file from which a second core splits it sooner than one alone: below it the
// thread's start and the hand-over of each stretch cost about what the second core gains.
// Measured on 2 cores shared with other work (load 5 to 8), generated English text, the
// busier thread's CPU time against the one thread of -j 1 (median of 5; printed, counted,
// jsonl): 4 MB 1.09, 1.10, 1.57 times faster; 10 MB 1.26, 1.01, 2.22; 20 MB 1.38, 1.17,
// 1.39; 30 MB 1.40, 1.30, 1.25; 50 MB 1.94, 1.29, 1.39; 100 MB 1.75, 1.88, 1.39. Wall time
// in turn with -j 1 (median of 7 to 9): 100 MB 1.31 and 1.45 times faster printed and
// counted, 256 MB 1.14 and 1.32; 10 MB 0.80 (slower); 100 MB through a pipe 0.76 (slower).
constexpr off_t kSecondCoreBytes = off_t(32) << 20;

// Whether the input is a file large enough for a second core to pay. A pipe or a device
// tells no size, and most that come through one are short: one core.
bool WorthASecondCore(const InputName* input) {
    if (!input) return false;  // the example
    struct stat status {};
    const int got = input->standardInput() ? ::fstat(STDIN_FILENO, &status)
                                           : ::stat(input->bytes.constData(), &status);
    return got == 0 && S_ISREG(status.st_mode) && status.st_size >= kSecondCoreBytes;
}

CountSettings Settings(const Options& options) {
    enum { kEnding, kEnter, kTab, kAbbreviations };
    QStringList stored = {kDefaultEnding, kDefaultEnter, kDefaultTab,
                          JoinAbbreviations(kBuiltInAbbreviations)};
    // Settings are read only where no option says otherwise, all at one reading of the store.
    if (!options.separators || !options.enter || !options.tab || !options.abbreviations) {
        QString unreadable;
        stored = SettingsStore().ReadSeveral({kKeyEnding, kKeyEnter, kKeyTab, kKeyAbbreviations},
                                             stored, &unreadable);
        if (!unreadable.isEmpty())
            PrintError(unreadable + QStringLiteral(" The defaults are used."));
    }
    const QString separatorText = options.separators ? *options.separators : stored[kEnding];
    const bool enter = options.enter ? *options.enter : StoredTick(kKeyEnter, stored[kEnter]);
    const bool tab = options.tab ? *options.tab : StoredTick(kKeyTab, stored[kTab]);
    CountSettings settings;
    settings.abbreviations = options.abbreviations
                                 ? *options.abbreviations
                                 : SplitAbbreviationsForCount(stored[kAbbreviations]);
    settings.separators = ComposeSeparatorSet(separatorText, enter, tab);
    settings.rules = options.rules;
    settings.format = options.format;
    settings.countOnly = options.countOnly;
    settings.stats = options.stats;
    settings.longWords = options.longWords;
    settings.severalFiles = options.inputs.size() > 1;
    settings.from = options.from;
    return settings;
}

int Run(int argc, char** argv) {
    Options options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const UsageError& e) {
        PrintError(e.message);
        return kExitUsage;
    }
    if (options.help) {
        WriteOut(kUsage);
        return kExitOk;
    }
    if (options.version) {
        WriteOut("brintale-count " BRINTALE_VERSION "\n");
        return kExitOk;
    }
    const CountSettings settings = Settings(options);

    std::vector<const InputName*> inputs;
    const InputName standardInput{"-"};
    if (options.example)
        inputs.push_back(nullptr);
    else if (options.inputs.empty())
        inputs.push_back(&standardInput);
    for (const InputName& input : options.inputs) inputs.push_back(&input);
    const int files = int(inputs.size());

    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    // -j is the number of cores to use: so many files at a time, or fewer files each on
    // two cores.
    const int cores = options.jobs > 0 ? options.jobs : Cores();
    const int threads = std::min(cores, ThreadsThatFit());
    // Sentences printed from large files go out soonest a file at a time, each on every
    // core in pieces: nothing is kept back for its turn.
    const bool filesInTurn = !settings.countOnly && !settings.stats &&
                             settings.rules == Rules::Separators &&
                             std::all_of(inputs.begin(), inputs.end(), WorthASecondCore);
    const int jobs = filesInTurn ? 1 : std::min(threads, files);
    CountSettings split = settings, oneCore = settings;
    split.secondCore = threads >= 2 * jobs;
    const Tuning tuning;
    // Memory kept for later files is little: on a virtual machine each new page of it costs
    // more than writing the page to the temporary file.
    OrderedOutput out(stdout, stderr, files, tuning.outputBytes * 16, OutputFailed);
    std::vector<FileSummary> summaries(static_cast<std::size_t>(files));
    const auto count = [&](int& i) {
        const InputName* input = inputs[static_cast<std::size_t>(i)];
        FileSummary& summary = summaries[static_cast<std::size_t>(i)];
        try {
            const bool second = split.secondCore && WorthASecondCore(input);
            summary = CountInput(input, second ? split : oneCore, tuning, out, i);
            if (summary.ok) out.Write(i, SummaryText(summary, settings, input));
        } catch (const std::bad_alloc&) {
            summary.ok = false;
            try {
                out.Error(i, "brintale-count: there is not enough memory for this text\n");
            } catch (const std::bad_alloc&) {
                // Nothing left even for the message; the status still says it.
            }
        }
        out.Finish(i);
    };
    {
        // Every file queued at once, taken in turn by the other threads and this one; where
        // the system starts fewer threads, those started do the work.
        OrderedWorkQueue<int> queue(jobs - 1, static_cast<std::size_t>(files), count);
        for (int i = 0; i < files; ++i) {
            int file = i;
            queue.TryPush(file);  // room for all
        }
        queue.WorkHere();
        queue.TakeFinished(true, [](int) {});
    }
    bool allRead = true;
    for (const FileSummary& s : summaries) allRead = allRead && s.ok;
    WriteOut(TotalText(summaries, inputs, settings));
    return allRead ? kExitOk : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    // A limit on the size of files written (ulimit -f) fails the write that passes it
    // instead of killing the count: the temporary file of output waiting for its turn then
    // stops growing, and output into a file ends with the reason.
    std::signal(SIGXFSZ, SIG_IGN);
    KeepCountingBlocksInHugePages();
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        PrintError(QStringLiteral("there is not enough memory for this text"));
        return kExitFailure;
    } catch (const Failure& e) {
        PrintError(e.description());
        return kExitFailure;
    }
}
