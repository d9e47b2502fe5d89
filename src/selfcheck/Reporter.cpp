// SPDX-License-Identifier: MIT
#include "selfcheck/Reporter.h"

#include "core/ExitStatus.h"

namespace orvane {

void Reporter::check(bool ok, std::string_view name, std::string_view detail) {
    if (ok) {
        pass(name);
    } else {
        fail(name, detail);
    }
}

void Reporter::pass(std::string_view name) {
    out_ << "PASS " << name << '\n' << std::flush;
}

void Reporter::fail(std::string_view name, std::string_view detail) {
    ++failures;
    line("FAIL", name, detail);
}

void Reporter::skip(std::string_view name, std::string_view reason) {
    line("SKIP", name, reason);
}

void Reporter::info(std::string_view name, std::string_view detail) {
    line("INFO", name, detail);
}

int Reporter::finish() {
    if (failures == 0) {
        out_ << "SELFTEST PASS\n" << std::flush;
        return ExitStatus::success;
    }
    out_ << "SELFTEST FAIL (" << failures << " failing checks)\n" << std::flush;
    return ExitStatus::failure;
}

void Reporter::line(std::string_view kind, std::string_view name, std::string_view detail) {
    out_ << kind << ' ' << name << ": " << detail << '\n' << std::flush;
}

} // namespace orvane
