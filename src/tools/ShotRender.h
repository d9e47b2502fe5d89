// SPDX-License-Identifier: MIT
// "--shot": the program's own windows and covers drawn to PNG files, light or
// dark, without showing anything. The windows are the real ones, built over a
// demo effect whose settings live only in memory.
#pragma once

#include "app/EffectSettingsHost.h"
#include "doubles/EffectRig.h"
#include "offscreen/ShotRequest.h"
#include "settings/AppCatalog.h"
#include "settings/LoginItem.h"

#include <QImage>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

class OnboardingWindow;
class SettingsWindow;

class ShotRender {
public:
    // What the views are drawn from: an effect controller, and the settings
    // and welcome models the windows build over it.
    struct DemoState {
        DemoState();
        EffectRig rig; // over the suite named by the identifier and ".shots"
        EffectSettingsHost host{rig.controller()};

        struct LoginItems final : LoginItemService {
            LoginItemStatus status() const override { return LoginItemStatus::notRegistered; }
            std::optional<LoginItemError> setEnabled(bool) override { return std::nullopt; }
            bool openSettings() override { return false; }
        } loginItems;
        struct Apps final : AppCatalog {
            std::optional<InstalledApp> installedApp(const std::string&) const override {
                return std::nullopt;
            }
            std::vector<RunningApp> runningApps() const override { return {}; }
        } apps;
    };

    // Needs an application object (a ToolApplication in a tool run).
    ShotRender();
    ~ShotRender();

    // The mode's entry: the arguments after "--shot"; returns the exit status.
    static int run(const std::vector<std::string>& arguments);

    // One view at its natural size; none when it cannot be drawn.
    std::optional<QImage> render(ShotKind kind, bool dark);

    DemoState& demo() { return demo_; }
    SettingsWindow& settingsWindow();
    OnboardingWindow& onboardingWindow();

private:
    std::optional<QImage> renderSettings(ShotKind kind);
    std::optional<QImage> renderOnboarding(int step);
    std::optional<QImage> renderCover(CoverMode mode);

    DemoState demo_;
    std::unique_ptr<SettingsWindow> settings_;
    std::unique_ptr<OnboardingWindow> onboarding_;
    std::optional<QImage> coverDesktop_;
};

} // namespace orvane
