// SPDX-License-Identifier: MIT
#include "support/RunProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

extern char** environ;

namespace orvane::test {

namespace {

void drain(int fd, std::string& into, bool& open) {
    std::array<char, 4096> buffer{};
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n > 0) {
        into.append(buffer.data(), static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
        open = false;
    }
}

} // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment) {
    ProcessResult result;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);

    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) {
        cargv.push_back(a.data());
    }
    cargv.push_back(nullptr);

    std::vector<std::string> env(environment);
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string inherited = *entry;
        const std::string name = inherited.substr(0, inherited.find('=') + 1);
        const bool replaced =
            std::any_of(environment.begin(), environment.end(),
                        [&name](const std::string& e) { return e.starts_with(name); });
        if (!replaced) {
            env.push_back(inherited);
        }
    }
    std::vector<char*> cenv;
    for (std::string& e : env) {
        cenv.push_back(e.data());
    }
    cenv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned == 0) {
        bool outOpen = true;
        bool errOpen = true;
        while (outOpen || errOpen) {
            std::array<pollfd, 2> fds{{{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}}};
            if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
                break;
            }
            if (outOpen && fds[0].revents != 0) {
                drain(outPipe[0], result.out, outOpen);
            }
            if (errOpen && fds[1].revents != 0) {
                drain(errPipe[0], result.err, errOpen);
            }
        }
        int wstatus = 0;
        while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
        }
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    }
    close(outPipe[0]);
    close(errPipe[0]);
    return result;
}

} // namespace orvane::test
