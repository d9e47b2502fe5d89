// SPDX-License-Identifier: MIT
// Everything the user can set, with clamping setters, loaded from and saved
// to a settings store under fixed keys.
#pragma once

#include "core/Tuning.h"
#include "cover/CoverMode.h"
#include "motion/MotionGate.h"
#include "render/FoldLook.h"
#include "settings/Blocklist.h"
#include "settings/SettingsStore.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane {

struct URLCommand;

// Fields may be set directly (designated initializers store values as given);
// the setters and load clamp.
struct FoldSettings {
    FoldStyle style = FoldStyle::vellum;
    double perspective = 0.5;
    double blur = 0.5;
    double shadow = 0.5;
    double clearAngle = Tuning::defaultClearAngle;
    CoverMode coverMode = CoverMode::off;
    bool paused = false;
    // Runtime only: holds the fold at this angle (the manual preview); never stored.
    std::optional<double> previewAngle;
    bool soundOnClear = true;
    double clearVolume = 0.8;
    bool hapticOnClear = false;
    bool pauseInLowPower = true;
    std::vector<std::string> blocklist = Blocklist::defaultBundleIDs();
    bool showAngleInMenuBar = false;
    bool accordion = false;
    double accordionVolume = Tuning::accordionVolumeDefault;
    bool hasCompletedOnboarding = false;
    // The screen taken as the laptop's own panel, by its output name; empty: found automatically.
    std::string builtInScreen;

    static FoldSettings load(const SettingsStore& store);
    // Writes every stored key, then commits them together.
    StoreStatus save(SettingsStore& store) const;

    // The double setters ignore a non-finite argument.
    void setStyle(FoldStyle value) { style = value; }
    void setPerspective(double value);
    void setBlur(double value);
    void setShadow(double value);
    void setClearAngle(double value);
    void setCoverMode(CoverMode value) { coverMode = value; }
    void setPaused(bool value) { paused = value; }
    void setPreviewAngle(std::optional<double> value);
    void setSoundOnClear(bool value) { soundOnClear = value; }
    void setClearVolume(double value);
    void setHapticOnClear(bool value) { hapticOnClear = value; }
    void setPauseInLowPower(bool value) { pauseInLowPower = value; }
    void setBlocklist(const std::vector<std::string>& value);
    void setShowAngleInMenuBar(bool value) { showAngleInMenuBar = value; }
    void setAccordion(bool value) { accordion = value; }
    void setAccordionVolume(double value);
    void setHasCompletedOnboarding(bool value) { hasCompletedOnboarding = value; }
    // Output names have no spaces: surrounding ones are dropped.
    void setBuiltInScreen(const std::string& value);

    // How the fold looks with them.
    FoldLook look(bool reduceMotion) const {
        return {style, perspective, blur, shadow, clearAngle, reduceMotion};
    }
    // What the motion gate reads of them.
    GateSettings gateSettings() const { return {clearAngle, coverMode, previewAngle}; }

    // True when the command changes stored settings; a preview changes nothing.
    bool apply(const URLCommand& command);

    bool operator==(const FoldSettings&) const = default;
};

namespace SettingsKey {
inline constexpr std::string_view style = "style";
inline constexpr std::string_view perspective = "perspective";
inline constexpr std::string_view blur = "blur";
inline constexpr std::string_view shadow = "shadow";
inline constexpr std::string_view clearAngle = "clearAngle";
inline constexpr std::string_view coverMode = "coverMode";
inline constexpr std::string_view paused = "paused";
inline constexpr std::string_view soundOnClear = "soundOnClear";
inline constexpr std::string_view clearVolume = "clearVolume";
inline constexpr std::string_view hapticOnClear = "hapticOnClear";
inline constexpr std::string_view pauseInLowPower = "pauseInLowPower";
inline constexpr std::string_view blocklist = "blocklist";
inline constexpr std::string_view showAngleInMenuBar = "showAngleInMenuBar";
inline constexpr std::string_view accordion = "accordion";
inline constexpr std::string_view accordionVolume = "accordionVolume";
inline constexpr std::string_view hasCompletedOnboarding = "hasCompletedOnboarding";
inline constexpr std::string_view builtInScreen = "builtInScreen";
} // namespace SettingsKey

} // namespace orvane
