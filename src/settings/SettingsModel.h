// SPDX-License-Identifier: MIT
// The state behind the settings window: mirrors the effect's settings,
// availability and lid angle, and turns the user's actions into edits.
#pragma once

#include "core/Availability.h"
#include "settings/AppCatalog.h"
#include "settings/FoldPreviewRequest.h"
#include "settings/FoldSettings.h"
#include "settings/LoginItem.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// What the effect controller offers the settings window.
class SettingsHost {
public:
    struct SensorFacts {
        bool open = false;
        bool readsOnlyZero = false;
    };

    virtual ~SettingsHost() = default;
    virtual const FoldSettings& settings() const = 0;
    virtual const Availability& availability() const = 0;
    virtual SensorFacts sensorFacts() const = 0;
    // Changes the live settings in place; they are saved and announced.
    virtual void editSettings(const std::function<void(FoldSettings&)>& body) = 0;
    virtual void setPreview(std::optional<double> angle) = 0;
    // Restarts the manual preview's idle timer.
    virtual void notePreviewInteraction() = 0;
};

struct AppChoice {
    std::string appID;
    std::string name;
    bool operator==(const AppChoice&) const = default;
};

// One row per app: the ids in the list that name it (a package's and a Flatpak's).
struct BlockedApp {
    std::vector<std::string> appIDs;
    std::string name;
    std::optional<std::string> icon;
    bool operator==(const BlockedApp&) const = default;
};

class SettingsModel {
public:
    enum class Property {
        settings,
        availability,
        lidAngle,
        lidCalibrationEnabled,
        lidCalibrationLabel,
        loginItemStatus,
        loginItemError,
        manualAngle,
        screenCaptureGranted,
        runningApps,
        blockedApps,
    };

    struct Platform {
        LoginItemService& loginItems;
        const AppCatalog& apps;
        std::function<bool()> screenCaptureGranted;
        std::function<bool()> reduceMotion;
        // Receives every new preview picture request.
        std::function<void(const FoldPreviewRequest&)> renderPreview;
    };

    SettingsModel(SettingsHost& host, Platform platform);

    // Called with each property that was published, after it changed.
    std::function<void(Property)> onChange;

    // Forwarded from the effect controller.
    void settingsChanged(const FoldSettings& settings);
    void availabilityChanged(const Availability& availability);
    void lidSample(std::optional<double> angle);
    // When the window is shown or becomes active.
    void refreshSystemState();

    void edit(const std::function<void(FoldSettings&)>& body);
    bool followsLid() const { return !settings_.previewAngle.has_value(); }
    void setFollowLid(bool on);
    void setManualAngle(double angle);
    void endPreview();
    void setClearAngleFromLid();
    bool launchAtLoginOn() const;
    bool loginItemNeedsApproval() const;
    void setLaunchAtLogin(bool on);
    bool openLoginItemsSettings();
    void addToBlocklist(const std::string& appID);
    // Exact matches only.
    void removeFromBlocklist(const std::vector<std::string>& appIDs);

    const FoldSettings& settings() const { return settings_; }
    const Availability& availability() const { return availability_; }
    std::optional<double> lidAngle() const { return lidAngle_; }
    bool lidCalibrationEnabled() const { return lidCalibrationEnabled_; }
    const std::string& lidCalibrationLabel() const { return lidCalibrationLabel_; }
    LoginItemStatus loginItemStatus() const { return loginItemStatus_; }
    const std::optional<std::string>& loginItemError() const { return loginItemError_; }
    double manualAngle() const { return manualAngle_; }
    bool screenCaptureGranted() const { return screenCaptureGranted_; }
    const std::vector<AppChoice>& runningApps() const { return runningApps_; }
    const std::vector<BlockedApp>& blockedApps() const { return blockedApps_; }

private:
    template <class T>
    void publish(T& field, T value, Property property);
    void announce(Property property);
    void updateCalibration();
    void resolveBlockedApps();
    void refreshRunningApps();
    void refreshPreview();

    SettingsHost& host_;
    Platform platform_;
    FoldSettings settings_;
    Availability availability_;
    std::optional<double> lidAngle_;
    bool lidCalibrationEnabled_ = false;
    std::string lidCalibrationLabel_;
    LoginItemStatus loginItemStatus_ = LoginItemStatus::notRegistered;
    std::optional<std::string> loginItemError_;
    double manualAngle_;
    bool screenCaptureGranted_ = false;
    std::vector<AppChoice> runningApps_;
    std::vector<BlockedApp> blockedApps_;
};

} // namespace orvane
