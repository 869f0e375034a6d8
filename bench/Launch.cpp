#include "Launch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

Child::Child(const std::string& file, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& extra, const std::string& logPath) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        if (!extra.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : extra) env.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<std::string> argStore{file};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const char* log = logPath.empty() ? "/dev/null" : logPath.c_str();
    posix_spawn_file_actions_addopen(&actions, 1, log, O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int rc = posix_spawnp(&pid_, file.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        error_ = "cannot start " + file + ": " + std::strerror(rc);
    }
}

std::optional<int> Child::waitForExit(int timeoutMs) {
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            return std::nullopt;
        }
        if (r < 0 || std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void Child::killNow() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

double residentBytes(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) * 1024.0;  // in kB
    }
    return 0;
}

std::set<std::string> mappedLibraries(pid_t pid, const std::vector<std::string>& wanted) {
    std::set<std::string> found;
    std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(in, line)) {
        const size_t slash = line.find('/');
        if (slash == std::string::npos) continue;
        const std::string path = line.substr(slash);
        const std::string name = path.substr(path.rfind('/') + 1);
        for (const std::string& w : wanted)
            if (name.find(w) != std::string::npos) found.insert(name);
    }
    return found;
}

double settledResidentBytes(pid_t pid, int timeoutMs) {
    constexpr int kStepMs = 50;
    constexpr size_t kStill = 8;  // samples, 400 ms
    constexpr double kSlack = 64 * 1024;
    std::vector<double> samples;
    for (int waited = 0;; waited += kStepMs) {
        samples.push_back(residentBytes(pid));
        if (samples.size() >= kStill) {
            const auto last = samples.end() - static_cast<long>(kStill);
            const auto [lo, hi] = std::minmax_element(last, samples.end());
            if (*hi - *lo <= kSlack) break;
        }
        if (waited >= timeoutMs) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    }
    return samples.back();
}

namespace {

// User and system CPU time in clock ticks, from /proc/PID/stat; -1 when gone.
long long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t paren = all.rfind(')');  // the command name may hold spaces
    if (paren == std::string::npos) return -1;
    std::istringstream fields(all.substr(paren + 2));
    std::string f;
    long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::stoll(f);
        if (i == 15) stime = std::stoll(f);
    }
    return utime + stime;
}

}  // namespace

bool waitIdle(pid_t pid, int quietMs, int timeoutMs) {
    constexpr int kStepMs = 10;
    long long last = cpuTicks(pid);
    int quiet = 0;
    for (int waited = 0; waited < timeoutMs; waited += kStepMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
        const long long now = cpuTicks(pid);
        if (now < 0) return false;
        quiet = now == last ? quiet + kStepMs : 0;
        if (quiet >= quietMs) return true;
        last = now;
    }
    return false;
}

bool copyFile(const std::string& from, const std::string& to, bool executable) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!writeFile(to, bytes.str())) return false;
    return !executable || ::chmod(to.c_str(), 0755) == 0;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
