// SPDX-License-Identifier: MIT
#include "settings/SettingsModel.h"

#include "core/AppIdentity.h"
#include "core/Text.h"
#include "sensor/LidCalibration.h"
#include "settings/Blocklist.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr std::string_view noReading = "No lid reading yet.";

double manualAngleFrom(double angle) {
    if (!std::isfinite(angle)) {
        return Tuning::defaultManualAngle;
    }
    return std::clamp(angle, Tuning::manualAngleMin, Tuning::manualAngleMax);
}

std::string wholeDegrees(double angle) {
    return std::to_string(static_cast<long long>(std::round(angle)));
}

} // namespace

SettingsModel::SettingsModel(SettingsHost& host, Platform platform)
    : host_(host), platform_(std::move(platform)), settings_(host.settings()),
      availability_(host.availability()), lidCalibrationLabel_(noReading),
      loginItemStatus_(platform_.loginItems.status()),
      manualAngle_(settings_.previewAngle ? manualAngleFrom(*settings_.previewAngle)
                                          : Tuning::defaultManualAngle),
      screenCaptureGranted_(platform_.screenCaptureGranted ? platform_.screenCaptureGranted()
                                                           : false) {
    updateCalibration();
    resolveBlockedApps();
    refreshRunningApps();
    refreshPreview();
}

void SettingsModel::announce(Property property) {
    if (onChange) {
        onChange(property);
    }
}

template <class T>
void SettingsModel::publish(T& field, T value, Property property) {
    if (field == value) {
        return;
    }
    field = std::move(value);
    announce(property);
}

void SettingsModel::settingsChanged(const FoldSettings& settings) {
    const bool blocklistChanged = settings.blocklist != settings_.blocklist;
    settings_ = settings;
    announce(Property::settings);
    if (settings_.previewAngle && std::abs(*settings_.previewAngle - manualAngle_) > 0.001) {
        publish(manualAngle_, manualAngleFrom(*settings_.previewAngle), Property::manualAngle);
    }
    if (blocklistChanged) {
        resolveBlockedApps();
        refreshRunningApps();
    }
    refreshPreview();
}

void SettingsModel::availabilityChanged(const Availability& availability) {
    publish(availability_, availability, Property::availability);
    updateCalibration();
}

void SettingsModel::lidSample(std::optional<double> angle) {
    if (angle && !std::isfinite(*angle)) {
        return; // a broken reading says nothing about the lid
    }
    if (!angle && !lidAngle_) {
        return;
    }
    if (angle && lidAngle_ && std::round(*angle) == std::round(*lidAngle_)) {
        return;
    }
    lidAngle_ = angle;
    announce(Property::lidAngle);
    updateCalibration();
}

void SettingsModel::refreshSystemState() {
    if (platform_.screenCaptureGranted) {
        publish(screenCaptureGranted_, platform_.screenCaptureGranted(),
                Property::screenCaptureGranted);
    }
    publish(loginItemStatus_, platform_.loginItems.status(), Property::loginItemStatus);
    refreshRunningApps();
    refreshPreview();
}

void SettingsModel::edit(const std::function<void(FoldSettings&)>& body) {
    host_.editSettings(body);
    if (host_.settings().previewAngle) {
        host_.notePreviewInteraction();
    }
}

void SettingsModel::setFollowLid(bool on) {
    host_.notePreviewInteraction();
    host_.setPreview(on ? std::nullopt : std::optional(manualAngle_));
}

void SettingsModel::setManualAngle(double angle) {
    publish(manualAngle_, manualAngleFrom(angle), Property::manualAngle);
    host_.notePreviewInteraction();
    if (host_.settings().previewAngle) {
        host_.setPreview(manualAngle_);
    }
    refreshPreview();
}

void SettingsModel::endPreview() {
    host_.setPreview(std::nullopt);
}

void SettingsModel::setClearAngleFromLid() {
    if (!lidCalibrationEnabled_ || !lidAngle_) {
        return;
    }
    const double clearAngle = LidCalibration::storedValue(*lidAngle_);
    host_.editSettings([clearAngle](FoldSettings& s) { s.setClearAngle(clearAngle); });
    if (host_.settings().previewAngle) {
        host_.notePreviewInteraction();
    }
}

bool SettingsModel::launchAtLoginOn() const {
    return loginItemStatus_ == LoginItemStatus::enabled ||
           loginItemStatus_ == LoginItemStatus::requiresApproval;
}

bool SettingsModel::loginItemNeedsApproval() const {
    return loginItemStatus_ == LoginItemStatus::requiresApproval;
}

void SettingsModel::setLaunchAtLogin(bool on) {
    const std::optional<LoginItemError> error = platform_.loginItems.setEnabled(on);
    publish(loginItemError_,
            error ? std::optional<std::string>(describe(*error)) : std::optional<std::string>(),
            Property::loginItemError);
    publish(loginItemStatus_, platform_.loginItems.status(), Property::loginItemStatus);
}

bool SettingsModel::openLoginItemsSettings() {
    return platform_.loginItems.openSettings();
}

void SettingsModel::addToBlocklist(const std::string& appID) {
    edit([&appID](FoldSettings& s) {
        std::vector<std::string> list = s.blocklist;
        list.push_back(appID);
        s.setBlocklist(list);
    });
}

void SettingsModel::removeFromBlocklist(const std::vector<std::string>& appIDs) {
    edit([&appIDs](FoldSettings& s) {
        std::vector<std::string> list = s.blocklist;
        for (const std::string& appID : appIDs) {
            std::erase(list, appID);
        }
        s.setBlocklist(list);
    });
}

void SettingsModel::updateCalibration() {
    const SettingsHost::SensorFacts facts = host_.sensorFacts();
    const bool enabled = LidCalibration::isPlausible(facts.open, facts.readsOnlyZero, lidAngle_);
    std::string label(noReading);
    if (enabled && lidAngle_) {
        label = "Now: " + wholeDegrees(*lidAngle_) + "°. Sets " +
                wholeDegrees(LidCalibration::storedValue(*lidAngle_)) + "°.";
    }
    publish(lidCalibrationEnabled_, enabled, Property::lidCalibrationEnabled);
    publish(lidCalibrationLabel_, std::move(label), Property::lidCalibrationLabel);
}

void SettingsModel::resolveBlockedApps() {
    std::vector<BlockedApp> resolved;
    for (const std::string& appID : settings_.blocklist) {
        const std::optional<InstalledApp> installed = platform_.apps.installedApp(appID);
        const std::optional<std::string> installedName =
            installed ? std::optional(installed->name) : std::nullopt;
        std::string name = Blocklist::displayName(appID, installedName);
        // Ids are one app only when the built-in list says so (a package's and a Flatpak's);
        // two apps that merely share a name keep their own rows.
        const auto builtIn = [](const std::string& id) {
            const auto& names = Blocklist::defaultDisplayNames();
            const auto found = names.find(id);
            return found != names.end() ? std::optional(found->second) : std::nullopt;
        };
        const std::optional<std::string> known = builtIn(appID);
        const auto same =
            std::find_if(resolved.begin(), resolved.end(), [&](const BlockedApp& app) {
                return known && builtIn(app.appIDs.front()) == known;
            });
        if (same != resolved.end()) {
            same->appIDs.push_back(appID);
            if (!same->icon && installed) {
                same->icon = installed->icon;
            }
            continue;
        }
        resolved.push_back({{appID}, std::move(name), installed ? installed->icon : std::nullopt});
    }
    publish(blockedApps_, std::move(resolved), Property::blockedApps);
}

void SettingsModel::refreshRunningApps() {
    std::vector<AppChoice> choices;
    for (const RunningApp& app : platform_.apps.runningApps()) {
        if (!app.regular || app.appID.empty() || app.appID == AppIdentity::identifier ||
            Blocklist::contains(settings_.blocklist, app.appID)) {
            continue;
        }
        const bool duplicate = std::any_of(choices.begin(), choices.end(), [&](const AppChoice& c) {
            return c.appID == app.appID;
        });
        if (!duplicate) {
            choices.push_back({app.appID, app.name.value_or(app.appID)});
        }
    }
    std::stable_sort(choices.begin(), choices.end(), [](const AppChoice& a, const AppChoice& b) {
        return naturalLess(a.name, b.name);
    });
    publish(runningApps_, std::move(choices), Property::runningApps);
}

void SettingsModel::refreshPreview() {
    if (!platform_.renderPreview) {
        return;
    }
    platform_.renderPreview(
        {settings_.look(platform_.reduceMotion && platform_.reduceMotion()), manualAngle_});
}

} // namespace orvane
