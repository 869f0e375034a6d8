#pragma once

// Starting a program as a user would, and reading what it costs from /proc.

#include <sys/types.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// A program run in the background, killed when this goes away.
class Child {
public:
    Child() = default;
    // Starts file (found on PATH when it has no slash) with args; the
    // environment is ours with extra set on top. Output goes to logPath
    // (appended), or nowhere when it is empty. error() says why it failed.
    Child(const std::string& file, const std::vector<std::string>& args,
          const std::map<std::string, std::string>& extra, const std::string& logPath);
    ~Child() { killNow(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }
    const std::string& error() const { return error_; }

    // Waits for the program to end by itself; its exit status, or nullopt on a signal or time-out.
    std::optional<int> waitForExit(int timeoutMs);
    void killNow();

private:
    pid_t pid_ = -1;
    std::string error_;
};

// Resident memory in bytes from /proc/PID/status; 0 when it cannot be read.
double residentBytes(pid_t pid);

// The libraries mapped into the process whose names contain one of the
// given texts, by file name.
std::set<std::string> mappedLibraries(pid_t pid, const std::vector<std::string>& wanted);

// Memory that has settled: sampled every 50 ms until it holds still for
// 400 ms or the time runs out; the last sample.
double settledResidentBytes(pid_t pid, int timeoutMs);

// Waits until the process has used no CPU time for quietMs (so it waits for
// input), or the time runs out; false then.
bool waitIdle(pid_t pid, int quietMs, int timeoutMs);

// Copies a file; false when it cannot.
bool copyFile(const std::string& from, const std::string& to, bool executable);
bool writeFile(const std::string& path, const std::string& bytes);
bool isFile(const std::string& path);
