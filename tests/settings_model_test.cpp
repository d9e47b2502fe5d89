// SPDX-License-Identifier: MIT
#include "settings/SettingsModel.h"
#include "support/FakeSettingsHost.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <memory>

using namespace orvane;
using Property = SettingsModel::Property;

namespace {

class FakeLoginItems final : public LoginItemService {
public:
    LoginItemStatus current = LoginItemStatus::notRegistered;
    std::optional<LoginItemError> failure;

    LoginItemStatus status() const override { return current; }
    std::optional<LoginItemError> setEnabled(bool on) override {
        if (failure) {
            return failure;
        }
        current = on ? LoginItemStatus::enabled : LoginItemStatus::notRegistered;
        return std::nullopt;
    }
    bool openSettings() override { return false; }
};

class FakeCatalog final : public AppCatalog {
public:
    std::map<std::string, InstalledApp> installed;
    std::vector<RunningApp> running;

    std::optional<InstalledApp> installedApp(const std::string& appID) const override {
        const auto found = installed.find(appID);
        return found == installed.end() ? std::nullopt : std::optional(found->second);
    }
    std::vector<RunningApp> runningApps() const override { return running; }
};

struct Fixture {
    test::FakeSettingsHost host;
    FakeLoginItems loginItems;
    FakeCatalog catalog;
    bool grant = true;
    std::vector<FoldPreviewRequest> previews;
    std::vector<Property> changes;

    std::unique_ptr<SettingsModel> make() {
        auto model = std::make_unique<SettingsModel>(
            host, SettingsModel::Platform{
                      loginItems, catalog, [this] { return grant; }, [] { return false; },
                      [this](const FoldPreviewRequest& r) { previews.push_back(r); }});
        host.onSettingsChange = [m = model.get()](const FoldSettings& s) { m->settingsChanged(s); };
        model->onChange = [this](Property p) { changes.push_back(p); };
        return model;
    }

    int count(Property p) const {
        return static_cast<int>(std::count(changes.begin(), changes.end(), p));
    }
};

std::vector<std::string> names(const std::vector<AppChoice>& apps) {
    std::vector<std::string> out;
    for (const AppChoice& app : apps) {
        out.push_back(app.name);
    }
    return out;
}

} // namespace

TEST_CASE("the model starts from the controller's state") {
    Fixture f;
    f.host.live.setPreviewAngle(10);
    f.host.live.setStyle(FoldStyle::dusk);
    const auto model = f.make();
    CHECK(model->manualAngle() == 25); // a held preview, within the manual range
    CHECK(model->settings() == f.host.live);
    CHECK(model->lidCalibrationLabel() == "No lid reading yet.");
    CHECK_FALSE(model->lidCalibrationEnabled());
    CHECK(model->screenCaptureGranted());
    REQUIRE(f.previews.size() == 1);
    CHECK(f.previews.back().look.style == FoldStyle::dusk);
    CHECK(f.previews.back().angle == 25);

    Fixture plain;
    CHECK(plain.make()->manualAngle() == 70);
}

TEST_CASE("lid samples publish whole-degree changes and drive the calibration readout") {
    Fixture f;
    const auto model = f.make();
    model->lidSample(71.6);
    model->lidSample(72.4);
    CHECK(f.count(Property::lidAngle) == 1);
    CHECK(model->lidCalibrationEnabled());
    CHECK(model->lidCalibrationLabel() == "Now: 72°. Sets 70°.");
    model->lidSample(std::numeric_limits<double>::quiet_NaN());
    CHECK(model->lidAngle() == 71.6);
    model->lidSample(120.2);
    CHECK(model->lidCalibrationLabel() == "Now: 120°. Sets 114°.");
    model->lidSample(std::nullopt);
    model->lidSample(std::nullopt);
    CHECK(f.count(Property::lidAngle) == 3);
    CHECK(model->lidCalibrationLabel() == "No lid reading yet.");

    // A sensor that only ever reads zero cannot calibrate, and the readout says so.
    f.host.facts = {true, true};
    model->lidSample(90);
    model->availabilityChanged(Availability::noSensor(true));
    CHECK_FALSE(model->lidCalibrationEnabled());
    CHECK(model->lidCalibrationLabel() == "No lid reading yet.");
    const int before = f.count(Property::availability);
    model->availabilityChanged(Availability::noSensor(true));
    CHECK(f.count(Property::availability) == before);
}

TEST_CASE("setting the clear angle from the lid") {
    Fixture f;
    const auto model = f.make();
    model->setClearAngleFromLid();
    CHECK(f.host.edits == 0); // no reading yet

    model->lidSample(120);
    model->setClearAngleFromLid();
    CHECK(f.host.live.clearAngle == 114);
    CHECK(model->settings().clearAngle == 114);
    CHECK(f.host.interactions == 0);

    model->setFollowLid(false);
    const int interactions = f.host.interactions;
    model->setClearAngleFromLid();
    CHECK(f.host.interactions == interactions + 1);

    f.host.facts = {false, false};
    model->availabilityChanged(Availability::noSensor(false));
    const int edits = f.host.edits;
    model->setClearAngleFromLid();
    CHECK(f.host.edits == edits);
}

TEST_CASE("the manual preview follows the slider") {
    Fixture f;
    const auto model = f.make();
    CHECK(model->followsLid());
    model->setFollowLid(false);
    CHECK(f.host.live.previewAngle == 70);
    CHECK_FALSE(model->followsLid());

    model->setManualAngle(200);
    CHECK(model->manualAngle() == 130);
    CHECK(f.host.live.previewAngle == 130);
    CHECK(f.previews.back().angle == 130);
    model->setManualAngle(std::numeric_limits<double>::infinity());
    CHECK(model->manualAngle() == 70);

    // A preview angle arriving from elsewhere (a URL) moves the slider.
    f.host.setPreview(40);
    CHECK(model->manualAngle() == 40);
    CHECK(f.host.interactions == 3);

    model->endPreview();
    CHECK(model->followsLid());
    // Moving the slider while following the lid starts nothing.
    model->setManualAngle(50);
    CHECK_FALSE(f.host.live.previewAngle);
}

TEST_CASE("the blocklist is edited, named and offered from the running apps") {
    Fixture f;
    f.host.live.setBlocklist({"us.zoom.Zoom"});
    f.catalog.installed["org.gimp.GIMP"] = {"GNU Image Manipulation Program", "gimp"};
    f.catalog.running = {
        {"org.gimp.GIMP", "GIMP", true},     {"firefox", "Firefox", true},
        {"US.ZOOM.ZOOM", "Zoom", true},      {"app.orvane.Orvane", "Orvane", true},
        {"org.kde.helper", "Helper", false}, {"", "Nameless", true},
        {"app.10", "App 10", true},          {"app.9", "app 9", true},
        {"firefox", "Firefox", true},        {"org.example.noname", std::nullopt, true},
    };
    const auto model = f.make();
    CHECK(names(model->runningApps()) ==
          std::vector<std::string>{"app 9", "App 10", "Firefox", "GIMP", "org.example.noname"});
    REQUIRE(model->blockedApps().size() == 1);
    CHECK(model->blockedApps()[0].name == "Zoom");
    CHECK_FALSE(model->blockedApps()[0].icon);

    model->addToBlocklist("org.gimp.GIMP");
    model->addToBlocklist(" ORG.GIMP.GIMP ");
    CHECK(f.host.live.blocklist == std::vector<std::string>{"us.zoom.Zoom", "org.gimp.GIMP"});
    REQUIRE(model->blockedApps().size() == 2);
    CHECK(model->blockedApps()[1].name == "GNU Image Manipulation Program");
    CHECK(model->blockedApps()[1].icon == "gimp");
    CHECK(names(model->runningApps()) ==
          std::vector<std::string>{"app 9", "App 10", "Firefox", "org.example.noname"});

    model->removeFromBlocklist({"US.ZOOM.ZOOM"}); // only an exact match removes
    CHECK(f.host.live.blocklist.size() == 2);
    model->removeFromBlocklist({"us.zoom.Zoom"});
    CHECK(f.host.live.blocklist == std::vector<std::string>{"org.gimp.GIMP"});
    CHECK(names(model->runningApps()).size() == 5);

    // The default list names each app by two ids: one row each, and its removal takes both.
    f.host.live.setBlocklist(Blocklist::defaultBundleIDs());
    const auto defaults = f.make();
    REQUIRE(defaults->blockedApps().size() == 3);
    const BlockedApp zoom = defaults->blockedApps()[1];
    CHECK(zoom.appIDs == std::vector<std::string>{"Zoom", "us.zoom.Zoom"});
    defaults->removeFromBlocklist(zoom.appIDs);
    CHECK(defaults->blockedApps().size() == 2);
    CHECK_FALSE(Blocklist::contains(f.host.live.blocklist, "us.zoom.Zoom"));
}

TEST_CASE("the login item switch reports failures and re-reads the status") {
    Fixture f;
    const auto model = f.make();
    CHECK_FALSE(model->launchAtLoginOn());
    model->setLaunchAtLogin(true);
    CHECK(model->launchAtLoginOn());
    CHECK_FALSE(model->loginItemError());

    f.loginItems.failure = LoginItemError::cannotWrite;
    model->setLaunchAtLogin(false);
    CHECK(model->loginItemError() == std::string(describe(LoginItemError::cannotWrite)));
    CHECK(model->launchAtLoginOn());

    f.loginItems.failure.reset();
    f.loginItems.current = LoginItemStatus::requiresApproval;
    f.grant = false;
    model->refreshSystemState();
    CHECK(model->loginItemNeedsApproval());
    CHECK(model->launchAtLoginOn());
    CHECK_FALSE(model->screenCaptureGranted());
    CHECK(f.count(Property::screenCaptureGranted) == 1);
    model->refreshSystemState();
    CHECK(f.count(Property::screenCaptureGranted) == 1);
}
