// SPDX-License-Identifier: MIT
#include "settings/FoldSettings.h"

#include "settings/URLCommand.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace orvane {

namespace {

// Non-finite values never reach a stored field.
void storeClamped(double& field, double value, double low, double high) {
    if (std::isfinite(value)) {
        field = std::clamp(value, low, high);
    }
}

void storeFraction(double& field, double value) {
    storeClamped(field, value, 0, 1);
}

void loadDouble(const SettingsStore& store, std::string_view key, void (FoldSettings::*set)(double),
                FoldSettings& settings) {
    if (const std::optional<double> value = store.readDouble(key)) {
        (settings.*set)(*value);
    }
}

void loadBool(const SettingsStore& store, std::string_view key, bool& field) {
    if (const std::optional<bool> value = store.readBool(key)) {
        field = *value;
    }
}

} // namespace

void FoldSettings::setPerspective(double value) {
    storeFraction(perspective, value);
}
void FoldSettings::setBlur(double value) {
    storeFraction(blur, value);
}
void FoldSettings::setShadow(double value) {
    storeFraction(shadow, value);
}
void FoldSettings::setClearVolume(double value) {
    storeFraction(clearVolume, value);
}
void FoldSettings::setAccordionVolume(double value) {
    storeFraction(accordionVolume, value);
}

void FoldSettings::setClearAngle(double value) {
    storeClamped(clearAngle, value, Tuning::minClearAngle, Tuning::maxClearAngle);
}

void FoldSettings::setPreviewAngle(std::optional<double> value) {
    if (!value) {
        previewAngle.reset();
    } else if (std::isfinite(*value)) {
        previewAngle = std::clamp(*value, 0.0, Tuning::maxObservedAngle);
    }
}

void FoldSettings::setBuiltInScreen(const std::string& value) {
    constexpr std::string_view space = " \t\n\r\v\f";
    const std::size_t first = value.find_first_not_of(space);
    builtInScreen = first == std::string::npos
                        ? ""
                        : value.substr(first, value.find_last_not_of(space) - first + 1);
}

void FoldSettings::setBlocklist(const std::vector<std::string>& value) {
    blocklist = Blocklist::normalized(value);
}

FoldSettings FoldSettings::load(const SettingsStore& store) {
    namespace Key = SettingsKey;
    FoldSettings s;
    if (const std::optional<std::string> name = store.readString(Key::style)) {
        s.style = migratingFoldStyle(*name).value_or(s.style);
    }
    loadDouble(store, Key::perspective, &FoldSettings::setPerspective, s);
    loadDouble(store, Key::blur, &FoldSettings::setBlur, s);
    loadDouble(store, Key::shadow, &FoldSettings::setShadow, s);
    loadDouble(store, Key::clearAngle, &FoldSettings::setClearAngle, s);
    if (const std::optional<std::string> name = store.readString(Key::coverMode)) {
        s.coverMode = migratingCoverMode(*name).value_or(s.coverMode);
    }
    loadBool(store, Key::paused, s.paused);
    loadBool(store, Key::soundOnClear, s.soundOnClear);
    loadDouble(store, Key::clearVolume, &FoldSettings::setClearVolume, s);
    loadBool(store, Key::hapticOnClear, s.hapticOnClear);
    loadBool(store, Key::pauseInLowPower, s.pauseInLowPower);
    if (const std::optional<std::vector<std::string>> list = store.readStringList(Key::blocklist)) {
        s.setBlocklist(*list);
    }
    loadBool(store, Key::showAngleInMenuBar, s.showAngleInMenuBar);
    loadBool(store, Key::accordion, s.accordion);
    loadDouble(store, Key::accordionVolume, &FoldSettings::setAccordionVolume, s);
    loadBool(store, Key::hasCompletedOnboarding, s.hasCompletedOnboarding);
    if (const std::optional<std::string> screen = store.readString(Key::builtInScreen)) {
        s.setBuiltInScreen(*screen);
    }
    return s;
}

StoreStatus FoldSettings::save(SettingsStore& store) const {
    namespace Key = SettingsKey;
    store.writeString(Key::style, rawValue(style));
    store.writeDouble(Key::perspective, perspective);
    store.writeDouble(Key::blur, blur);
    store.writeDouble(Key::shadow, shadow);
    store.writeDouble(Key::clearAngle, clearAngle);
    store.writeString(Key::coverMode, rawValue(coverMode));
    store.writeBool(Key::paused, paused);
    store.writeBool(Key::soundOnClear, soundOnClear);
    store.writeDouble(Key::clearVolume, clearVolume);
    store.writeBool(Key::hapticOnClear, hapticOnClear);
    store.writeBool(Key::pauseInLowPower, pauseInLowPower);
    store.writeStringList(Key::blocklist, blocklist);
    store.writeBool(Key::showAngleInMenuBar, showAngleInMenuBar);
    store.writeBool(Key::accordion, accordion);
    store.writeDouble(Key::accordionVolume, accordionVolume);
    store.writeBool(Key::hasCompletedOnboarding, hasCompletedOnboarding);
    store.writeString(Key::builtInScreen, builtInScreen);
    return store.commit();
}

bool FoldSettings::apply(const URLCommand& command) {
    return std::visit(
        [this](const auto& c) {
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, URLCommand::Set>) {
                if (c.style) {
                    setStyle(*c.style);
                }
                const auto maybe = [this](std::optional<double> v,
                                          void (FoldSettings::*set)(double)) {
                    if (v) {
                        (this->*set)(*v);
                    }
                };
                maybe(c.perspective, &FoldSettings::setPerspective);
                maybe(c.blur, &FoldSettings::setBlur);
                maybe(c.shadow, &FoldSettings::setShadow);
                maybe(c.clearAngle, &FoldSettings::setClearAngle);
                return true;
            } else if constexpr (std::is_same_v<C, URLCommand::Cover>) {
                setCoverMode(c.mode);
                return true;
            } else if constexpr (std::is_same_v<C, URLCommand::Pause>) {
                setPaused(true);
                return true;
            } else if constexpr (std::is_same_v<C, URLCommand::Resume>) {
                setPaused(false);
                return true;
            } else {
                return false; // a preview is a runtime action, nothing to store
            }
        },
        command.value);
}

} // namespace orvane
