// SPDX-License-Identifier: MIT
// A private Xvfb on a free display number (the server picks it and reports it
// through -displayfd), ended when the test is done. Tests draw on it and never
// on the user's own display.
#pragma once

#include <csignal>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvane::test {

class XvfbServer {
public:
    // `screen` as Xvfb takes it: "1512x982x24".
    explicit XvfbServer(const std::string& screen) {
        int fds[2];
        if (::pipe(fds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM); // gone with the test, even when it crashes
            ::close(fds[0]);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                     "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        char c = 0;
        // The number arrives once the server accepts connections.
        while (::poll(&ready, 1, 10000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        ::close(fds[0]);
        if (pid_ < 0 || number.empty()) {
            stop();
            throw std::runtime_error("Xvfb did not start (is it installed?)");
        }
        display_ = ":" + number;
    }
    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    const std::string& display() const { return display_; }

private:
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace orvane::test
