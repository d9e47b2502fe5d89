// SPDX-License-Identifier: MIT
// The welcome window: four steps (what Orvane does, the screen permission, the
// lid-sensor check, the style) over the onboarding model. Done marks the
// welcome completed and plays the hello chord; Skip marks it completed
// silently; closing the window leaves it for the next launch.
#pragma once

#include "settings/OnboardingModel.h"
#include "sound/AudioBuffer.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace orvane {

class StyleCards;

class OnboardingWindow : public QWidget {
public:
    OnboardingWindow(SettingsHost& host, std::function<void(const AudioBuffer&)> playSound,
                     QWidget* parent = nullptr);
    ~OnboardingWindow() override;

    // Starts again at step 1 and brings the window to the front.
    void showWelcome();

    // Forwarded from the effect controller.
    void availabilityChanged(const Availability& availability);
    void settingsChanged(const FoldSettings& settings);
    void lidSample(std::optional<double> angle);

    // The desktop's Reduce Motion, read whenever the animation could start;
    // with it on, the animation stands still on its first frame.
    void setReduceMotion(std::function<bool()> reduceMotion);

    OnboardingModel& model() { return model_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* welcomePage();
    QWidget* permissionPage();
    QWidget* sensorPage();
    QWidget* stylePage();
    void refresh();
    void updateAnimation();
    void advanceFrame();

    std::function<void(const AudioBuffer&)> playSound_;
    std::function<bool()> reduceMotion_;
    OnboardingModel model_;
    QStackedWidget* pages_ = nullptr;
    QWidget* animation_ = nullptr;
    QLabel* permissionState_ = nullptr;
    QLabel* sensorText_ = nullptr;
    QWidget* gauge_ = nullptr;
    QLabel* sensorAngle_ = nullptr;
    QPushButton* calibrate_ = nullptr;
    StyleCards* cards_ = nullptr;
    QLabel* stepLabel_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* skip_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* done_ = nullptr;
    QTimer frameTimer_;
    bool stale_ = false;
    int frameIndex_ = 0;
};

} // namespace orvane
