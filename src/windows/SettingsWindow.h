// SPDX-License-Identifier: MIT
// The settings window: a sidebar of five panes over the settings model. Every
// control edits the settings through the model; the window stores nothing.
// Closing it hides it and ends a held manual preview.
#pragma once

#include "settings/AppCatalog.h"
#include "settings/LoginItem.h"
#include "settings/SettingsModel.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QListWidget;
class QStackedWidget;
class QVBoxLayout;

namespace orvane {

class FoldPreview;

class SettingsWindow final : public QWidget {
public:
    enum Pane { general, appearance, cover, accordion, about };

    struct Services {
        SettingsHost& host;
        LoginItemService& loginItems;
        const AppCatalog& apps;
        std::function<bool()> reduceMotion;
        // The connected screens' names, and the one found as built in (none without one).
        std::function<std::vector<std::string>()> screens;
        std::function<std::optional<std::string>()> automaticScreen;
        std::function<void()> showOnboarding;
        // Ends the program: without a tray this window is the only way to it.
        std::function<void()> quit;
    };

    explicit SettingsWindow(Services services);
    ~SettingsWindow() override;

    // Sizes, places and raises the window, at the level the settings ask for.
    void showSettings();
    void selectPane(Pane pane);

    // Forwarded from the effect controller.
    void availabilityChanged(const Availability& availability);
    void settingsChanged(const FoldSettings& settings);
    void lidSample(std::optional<double> angle);

    SettingsModel& model() { return *model_; }
    // A pane's content, whole: what its scroll area shows a part of.
    QWidget* paneContent(Pane pane) const { return pages_.at(pane); }
    FoldPreview& preview() { return *preview_; }
    // While a manual preview holds the fold, the window stays above the overlay.
    bool aboveOverlay() const { return aboveOverlay_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Shown while this desktop session cannot show the fold.
    void sessionCard(QVBoxLayout* pane);
    QWidget* generalPane();
    QWidget* appearancePane();
    QWidget* coverPane();
    QWidget* accordionPane();
    QWidget* aboutPane();
    void refresh();
    void applyLevel();
    // Runs `update` now and after every change the model announces.
    void follow(std::function<void()> update);

    Services services_;
    std::unique_ptr<FoldPreview> preview_;
    std::unique_ptr<SettingsModel> model_;
    QListWidget* sidebar_ = nullptr;
    QStackedWidget* panes_ = nullptr;
    std::array<QWidget*, about + 1> pages_{};
    std::vector<std::function<void()>> refreshers_;
    bool aboveOverlay_ = false;
};

} // namespace orvane
