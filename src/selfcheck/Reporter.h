// SPDX-License-Identifier: MIT
// The self-check's report: one line a check on the stream it is given, and a
// count of the failures that decides the verdict.
#pragma once

#include <exception>
#include <ostream>
#include <string>
#include <string_view>

namespace orvane {

class Reporter {
public:
    explicit Reporter(std::ostream& out) : out_(out) {}

    int failures = 0;

    void check(bool ok, std::string_view name, std::string_view detail);
    void pass(std::string_view name);
    void fail(std::string_view name, std::string_view detail);
    void skip(std::string_view name, std::string_view reason);
    void info(std::string_view name, std::string_view detail);

    // Runs one check or group; anything it throws is a failure of `name` and
    // the run goes on.
    template <typename Check>
    void guarded(std::string_view name, Check&& check) {
        try {
            check();
        } catch (const std::exception& error) {
            fail(name, error.what());
        } catch (...) {
            fail(name, "unknown error");
        }
    }

    // Prints the verdict; returns the exit status.
    int finish();

private:
    void line(std::string_view kind, std::string_view name, std::string_view detail);
    std::ostream& out_;
};

} // namespace orvane
