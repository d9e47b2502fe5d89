// SPDX-License-Identifier: MIT
#include "platform/JournalLog.h"

#include "core/AppIdentity.h"

#include <cstdio>
#include <string>
#include <syslog.h>
#include <systemd/sd-journal.h>

namespace orvane {

JournalLog::JournalLog(std::filesystem::path journalSocket) {
    std::error_code error;
    journal_ = std::filesystem::exists(journalSocket, error);
}

void JournalLog::note(std::string_view category, std::string_view message) {
    const std::string text(message);
    const std::string area(category);
    if (journal_ &&
        sd_journal_send("MESSAGE=%s", text.c_str(), "PRIORITY=%i", LOG_NOTICE,
                        "SYSLOG_IDENTIFIER=%s", std::string(AppIdentity::identifier).c_str(),
                        "CATEGORY=%s", area.c_str(), nullptr) >= 0) {
        return;
    }
    std::fprintf(stderr, "%s [%s] %s\n", std::string(AppIdentity::name).c_str(), area.c_str(),
                 text.c_str());
}

} // namespace orvane
