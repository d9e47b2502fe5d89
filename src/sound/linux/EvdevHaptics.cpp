// SPDX-License-Identifier: MIT
#include "sound/linux/EvdevHaptics.h"

#include "core/Tuning.h"
#include "platform/SysfsFile.h"

#include <charconv>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orvane {

namespace {

// A capabilities file holds hexadecimal words, the most significant first.
bool hasBit(const std::optional<std::string>& words, unsigned bit) {
    if (!words) {
        return false;
    }
    std::vector<unsigned long> values;
    std::istringstream in(*words);
    for (std::string word; in >> word;) {
        unsigned long value = 0;
        if (std::from_chars(word.data(), word.data() + word.size(), value, 16).ec != std::errc()) {
            return false;
        }
        values.push_back(value);
    }
    constexpr unsigned wordBits = sizeof(unsigned long) * 8;
    const std::size_t index = bit / wordBits;
    return index < values.size() &&
           ((values[values.size() - 1 - index] >> (bit % wordBits)) & 1UL) != 0;
}

} // namespace

std::unique_ptr<EvdevHaptics> EvdevHaptics::find(const std::filesystem::path& classRoot,
                                                 const std::filesystem::path& devRoot) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(classRoot, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with("event")) {
            continue;
        }
        const auto device = it->path() / "device";
        const auto ff = SysfsFile::text(device / "capabilities/ff");
        const auto abs = SysfsFile::text(device / "capabilities/abs");
        const auto properties = SysfsFile::text(device / "properties");
        // A touchpad: multi-touch positions on a pointer (a touchscreen is direct).
        if (hasBit(ff, FF_RUMBLE) && hasBit(abs, ABS_MT_POSITION_X) &&
            hasBit(properties, INPUT_PROP_POINTER)) {
            // Its switch shows only where the tick can be played: the node must open.
            std::unique_ptr<EvdevHaptics> haptics(new EvdevHaptics(devRoot / name));
            haptics->fd_ =
                ::open(haptics->device_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
            if (haptics->fd_ >= 0) {
                return haptics;
            }
        }
    }
    return nullptr;
}

EvdevHaptics::~EvdevHaptics() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool EvdevHaptics::tick() {
    if (failed_) {
        return false;
    }
    if (effect_ < 0) {
        ff_effect effect{};
        effect.type = FF_RUMBLE;
        effect.id = -1;
        effect.replay.length = static_cast<__u16>(Tuning::hapticTickMs);
        effect.u.rumble.strong_magnitude = Tuning::hapticTickStrength;
        if (fd_ < 0 || ::ioctl(fd_, EVIOCSFF, &effect) < 0) {
            failed_ = true;
            return false;
        }
        effect_ = effect.id;
    }
    input_event play{};
    play.type = EV_FF;
    play.code = static_cast<__u16>(effect_);
    play.value = 1;
    failed_ = ::write(fd_, &play, sizeof play) != static_cast<ssize_t>(sizeof play);
    return !failed_;
}

} // namespace orvane
