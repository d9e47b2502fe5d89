// SPDX-License-Identifier: MIT
// Runs the built executable: exit statuses and what it writes.
#include "support/RunProcess.h"

#include <doctest/doctest.h>

#include <string>
#include <vector>

using orvane::test::runProcess;

namespace {
const std::string executable = ORVANE_EXECUTABLE;

int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}
} // namespace

TEST_CASE("a mode that is not built yet says so in one line and fails") {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--selftest"}, "--selftest"},
        {{"--probe"}, "--probe"},
        {{"--render-movie", "/tmp/x.mp4"}, "--render-movie"},
        {{"--render", "--movie", "/tmp/x.mp4"}, "--render-movie"},
        {{"--accordion-render", "/tmp/x.wav"}, "--accordion-render"},
        {{"--accordion-live-test"}, "--accordion-live-test"},
        {{"--shot", "all", "/tmp"}, "--shot"},
    };
    for (const auto& [arguments, name] : cases) {
        const std::string& first = arguments.front();
        CAPTURE(first);
        const auto result = runProcess(executable, arguments);
        CHECK(result.status == 1);
        CHECK(result.out.empty());
        CHECK(lineCount(result.err) == 1);
        CHECK(result.err.find(name + " is not available yet") != std::string::npos);
    }
}

TEST_CASE("without a mode the program says the application is not available yet") {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"--help"}, {"--Render"}}) {
        const auto result = runProcess(executable, arguments);
        CHECK(result.status == 1);
        CHECK(lineCount(result.err) == 1);
        CHECK(result.err.find("application is not available yet") != std::string::npos);
    }
}
