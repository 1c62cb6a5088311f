// What one wake-up of an otherwise idle process costs the machine, as CPU
// time of the thread that wakes: the thread maps MIB mebibytes of a file,
// reads every page of it once, then only sleeps in poll() for a second at a
// time, WAKES times. No work is done between the sleeps, so what a sleep
// costs is the kernel's (and the hypervisor's) price of a wake-up. Run with
// 1 MiB and with a process's resident size, it shows whether that price
// grows with the memory a process has mapped.
//   wakecost MIB WAKES
#include "benchstats.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {
double threadMicroseconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

// A file of `bytes` bytes of data (no holes), mapped read-only and read page
// by page, as a shared library or a font is once a process has run through it.
bool mapAndRead(size_t bytes)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/wakecost-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0)
        return false;
    unlink(path.c_str());
    std::vector<char> block(1 << 20, 'x');
    for (size_t written = 0; written < bytes; written += block.size()) {
        if (write(fd, block.data(), block.size()) != ssize_t(block.size()))
            return false;
    }
    void* map = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (map == MAP_FAILED)
        return false;
    volatile char sink = 0;
    const long page = sysconf(_SC_PAGESIZE);
    for (size_t at = 0; at < bytes; at += size_t(page))
        sink = sink + static_cast<const char*>(map)[at];
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: wakecost MIB WAKES\n");
        return 2;
    }
    const long mebibytes = std::atol(argv[1]);
    const int wakes = std::atoi(argv[2]);
    if (mebibytes < 1 || wakes < 1 || !mapAndRead(size_t(mebibytes) << 20)) {
        std::fprintf(stderr, "wakecost: cannot map %s MiB\n", argv[1]);
        return 1;
    }
    // The first sleep follows the mapping's page faults: not counted.
    poll(nullptr, 0, 1000);
    std::vector<double> costs;
    for (int i = 0; i < wakes; ++i) {
        const double before = threadMicroseconds();
        poll(nullptr, 0, 1000);
        costs.push_back(threadMicroseconds() - before);
    }
    printResultLine("wake_cpu_" + std::to_string(mebibytes) + "mib", "us", costs);
    return 0;
}
