// Start-up of the installed program: from its start to its exit right after the first
// paint (--exit-when-shown), which bounds the time to the first painted window from
// above, and its peak resident memory. Offscreen, and under Xvfb where it is installed.
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "BenchRows.h"

extern char** environ;

namespace rq::bench {
namespace {

using Steady = std::chrono::steady_clock;

struct Run {
    double ms = 0;
    double rssMb = 0;
    bool ok = false;
};

pid_t Spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env(extraEnv);
    for (char** e = environ; *e != nullptr; ++e) {
        env.emplace_back(*e);
    }
    std::vector<char*> argv;
    for (const std::string& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) {
        envp.push_back(const_cast<char*>(e.c_str()));
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
        return -1;
    }
    return pid;
}

Run StartOnce(const std::vector<std::string>& env) {
    const Steady::time_point start = Steady::now();
    const pid_t pid = Spawn({RQ_TOOL_PATH, "--exit-when-shown"}, env);
    if (pid < 0) {
        return {};
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double ms = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
    return {ms, static_cast<double>(usage.ru_maxrss) / 1024.0,
            WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

void Measure(Table& table, const std::string& where, const std::vector<std::string>& env,
             int runs) {
    (void)StartOnce(env);  // the first start reads the libraries from disk
    std::vector<double> ms;
    std::vector<double> rss;
    for (int run = 0; run < runs; ++run) {
        const Run r = StartOnce(env);
        if (!r.ok) {
            table.skip("7. start-up to the first painted window, " + where,
                       "the program did not start", "<= 250 ms");
            return;
        }
        ms.push_back(r.ms);
        rss.push_back(r.rssMb);
    }
    table.addAtMost("7. start-up to the first painted window, " + where, ms, 250, " ms", 0);
    table.addAtMost("7. peak resident memory, " + where, rss, 50, " MB", 1);
}

bool Installed(const char* program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

void MeasureStartup(Table& table, int runs) {
    Measure(table, "offscreen", {"QT_QPA_PLATFORM=offscreen"}, runs);

    if (!Installed("Xvfb")) {
        table.skip("7. start-up under Xvfb", "Xvfb is not installed", "<= 250 ms");
        return;
    }
    const std::string display = ":" + std::to_string(90 + getpid() % 100);
    const pid_t server =
        Spawn({"/usr/bin/Xvfb", display, "-nolisten", "tcp", "-screen", "0", "1280x1024x24"}, {});
    const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
    struct stat info {};
    for (int i = 0; i < 100 && stat(socket.c_str(), &info) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Measure(table, "Xvfb", {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display}, runs);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
}

}  // namespace rq::bench
