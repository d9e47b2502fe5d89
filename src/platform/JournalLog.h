// SPDX-License-Identifier: MIT
// The system log: the journal, with the application identifier and a
// CATEGORY field; standard error where no journal runs.
#pragma once

#include "core/SystemLog.h"

#include <filesystem>

namespace orvane {

class JournalLog final : public SystemLog {
public:
    // `journalSocket` is where journald listens; tests point it elsewhere.
    explicit JournalLog(std::filesystem::path journalSocket = "/run/systemd/journal/socket");
    void note(std::string_view category, std::string_view message) override;

private:
    bool journal_;
};

} // namespace orvane
