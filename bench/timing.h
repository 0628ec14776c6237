#pragma once

// What the benchmarks measure a job with: its wall-clock time and the peak memory of the process.

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zp::bench {

// The wall-clock time of one run of the job.
inline double Seconds(const std::function<void()>& job)
{
    const auto start = std::chrono::steady_clock::now();
    job();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Milliseconds(const std::function<void()>& job)
{
    return Seconds(job) * 1e3;
}

// The best wall-clock time of `runs` runs of the job; prepare() runs before each, untimed.
inline double Best(const std::function<void()>& prepare, const std::function<void()>& job, int runs = 3)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        prepare();
        best = std::min(best, Seconds(job));
    }
    return best;
}

// The median of `runs` runs, in milliseconds.
inline double MedianMs(int runs, const std::function<void()>& job)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(Milliseconds(job));
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// The peak resident set size of this process (RUSAGE_SELF) or of its waited-for children
// (RUSAGE_CHILDREN), in KiB.
inline long PeakRssKiB(int who = RUSAGE_SELF)
{
    rusage usage {};
    getrusage(who, &usage);
    return usage.ru_maxrss;
}

inline double PeakMiB()
{
    return double(PeakRssKiB()) / 1024.0;
}

// One program run in a child process: its wall-clock time, its peak resident set size in KiB and its
// exit status (-1 when it did not exit).
struct ChildRun
{
    double seconds;
    long peakRssKiB;
    int status;
};

// Runs argv (argv[0] searched on the PATH) in a child with its standard output sent to outputPath
// (kept as it is for an empty path), and waits for it.
inline ChildRun RunChild(const std::vector<std::string>& argv, const std::string& outputPath)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!outputPath.empty()) {
            const int fd = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, STDOUT_FILENO);
            close(fd);
        }
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

} // namespace zp::bench
