// SPDX-License-Identifier: MIT
// The settings window: a sidebar of five panes over the settings model. Every
// control edits the settings through the model; the window stores nothing.
// Closing it hides it and ends a held manual preview.
#pragma once

#include "settings/SettingsModel.h"
#include "windows/SettingsServices.h"
#include "windows/SettingsWidgets.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QListWidget;
class QStackedWidget;

namespace orvane {

class GeneralPane;

class FoldPreview;

class SettingsWindow final : public QWidget {
public:
    enum Pane { general, appearance, cover, accordion, about };

    using Services = SettingsServices;

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
    // Opening reads the screens and shows what changed while hidden.
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyLevel();

    Services services_;
    std::unique_ptr<FoldPreview> preview_;
    std::unique_ptr<SettingsModel> model_;
    QListWidget* sidebar_ = nullptr;
    QStackedWidget* panes_ = nullptr;
    GeneralPane* general_ = nullptr;
    std::array<QWidget*, about + 1> pages_{};
    Refreshers refreshers_;
    bool aboveOverlay_ = false;
};

} // namespace orvane
