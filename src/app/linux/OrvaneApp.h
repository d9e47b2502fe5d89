// SPDX-License-Identifier: MIT
// The application: builds the effect controller over the real adapters (the
// lid sensor's thread, the display the fold is drawn on and its cover, one
// sound device, the Escape key, the system's events, the INI settings),
// connects it to the status item, and routes URL commands. It keeps no state
// of the effect.
#pragma once

#include "core/RecentTexts.h"
#include "core/Tuning.h"
#include "render/linux/OverlayPanel.h"
#include "sensor/SensorPoller.h"
#include "sound/AudioOutput.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class CaptureService;
class EffectController;
class MenuBarController;
class OnboardingWindow;
class SettingsHost;
class SettingsWindow;
class SystemLog;

class OrvaneApp {
public:
    // What a test may put in place of the machine's own devices.
    struct Options {
        // The lid sensor; none reads the system's HID and IIO sources.
        std::optional<SensorPoller::Reader> sensorReader;
        // The clear click's and the accordion's sound devices; null is an input of the
        // one SDL device they share.
        AudioOutput* clickOutput = nullptr;
        AudioOutput* accordionOutput = nullptr;
        // Where the settings live; empty is $XDG_CONFIG_HOME/orvane/settings.ini.
        std::string settingsPath;
    };

    // The process entry: a tool's first argument runs the tool; otherwise a
    // running instance gets this start's URLs, or this one becomes the instance.
    static int main(int argc, char** argv);

    // Needs a QApplication.
    explicit OrvaneApp(Options options);
    ~OrvaneApp();
    OrvaneApp(const OrvaneApp&) = delete;
    OrvaneApp& operator=(const OrvaneApp&) = delete;

    // Builds and connects everything, then starts the effect.
    void launch();
    // One `orvane:` URL; an invalid one is logged, once while it is among the recent ones.
    void handle(std::string_view url);
    void showSettings();
    void showOnboarding();

    // None when OpenGL 3.3 is missing: the status item then says so.
    EffectController* effect();
    MenuBarController& menuBar();
    // On X11, the overlay panel while there is a screen for it, and the capture.
    OverlayPanel* panel() const;
    const CaptureService* capture() const;
    // The windows once shown.
    SettingsWindow* settingsWindow();
    OnboardingWindow* onboarding();
    SystemLog& log();

private:
    struct Parts;

    bool makeEffect();
    SettingsHost& settingsHost();
    void connectMenu();
    void connectEffect();

    Options options_;
    std::unique_ptr<Parts> parts_;
    RecentTexts loggedInvalidURLs_{Tuning::loggedURLsKept};
    std::string chosenScreen_;
};

} // namespace orvane
