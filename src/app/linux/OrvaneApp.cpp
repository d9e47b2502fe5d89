// SPDX-License-Identifier: MIT
#include "app/linux/OrvaneApp.h"

#include "accordion/AccordionEngine.h"
#include "app/CommandLineMode.h"
#include "app/EffectSettingsHost.h"
#include "app/linux/AboutPanel.h"
#include "app/linux/DisplayCheck.h"
#include "app/linux/EscapeHotkey.h"
#include "app/linux/InstanceLink.h"
#include "app/linux/MenuBarController.h"
#include "app/linux/ToolModes.h"
#include "capture/CaptureService.h"
#include "capture/linux/SessionScreens.h"
#include "core/AppIdentity.h"
#include "core/ExitStatus.h"
#include "cover/CoverController.h"
#include "cover/linux/CoverPainter.h"
#include "display/UnavailableFoldDisplay.h"
#include "display/linux/CompositorFoldDisplay.h"
#include "display/linux/KWinEffect.h"
#include "display/linux/X11FoldDisplay.h"
#include "effect/EffectController.h"
#include "platform/JournalLog.h"
#include "platform/LinuxSystem.h"
#include "platform/MonotonicClock.h"
#include "platform/QtScheduler.h"
#include "platform/QtX11.h"
#include "render/linux/OverlayPanel.h"
#include "sensor/LidSensorService.h"
#include "sensor/linux/SensorThread.h"
#include "sensor/linux/SystemLidSources.h"
#include "settings/URLCommand.h"
#include "settings/linux/DesktopEntryCatalog.h"
#include "settings/linux/IniSettingsStore.h"
#include "settings/linux/XdgAutostart.h"
#include "sound/AudioMixer.h"
#include "sound/SoundFeedback.h"
#include "sound/SoundPlayer.h"
#include "sound/linux/EvdevHaptics.h"
#include "sound/linux/SdlAudioOutput.h"
#include "windows/Appearance.h"
#include "windows/BellowsIcon.h"
#include "windows/OnboardingWindow.h"
#include "windows/SettingsWindow.h"

#include <QApplication>
#include <QIcon>
#include <QMetaObject>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include <iostream>
#include <string>
#include <vector>

namespace orvane {

namespace {

// The system's events reach the controller once it exists.
class ListenerRelay final : public SystemEventsListener {
public:
    SystemEventsListener* target = nullptr;

    void willSleep() override { forward(&SystemEventsListener::willSleep); }
    void didWake() override { forward(&SystemEventsListener::didWake); }
    void screenLocked(bool locked) override {
        if (target != nullptr) {
            target->screenLocked(locked);
        }
    }
    void sessionActive(bool active) override {
        if (target != nullptr) {
            target->sessionActive(active);
        }
    }
    void screensSlept(bool asleep) override {
        if (target != nullptr) {
            target->screensSlept(asleep);
        }
    }
    void screenParametersChanged() override {
        forward(&SystemEventsListener::screenParametersChanged);
    }
    void powerStateChanged() override { forward(&SystemEventsListener::powerStateChanged); }
    void thermalStateChanged() override { forward(&SystemEventsListener::thermalStateChanged); }
    void reduceMotionChanged() override { forward(&SystemEventsListener::reduceMotionChanged); }
    void frontmostAppChanged() override { forward(&SystemEventsListener::frontmostAppChanged); }

private:
    void forward(void (SystemEventsListener::*event)()) {
        if (target != nullptr) {
            (target->*event)();
        }
    }
};

// This process's X windows: the capture leaves them out.
std::vector<unsigned long> ownWindows() {
    std::vector<unsigned long> windows;
    for (QWindow* window : QGuiApplication::allWindows()) {
        if (window->handle() != nullptr) {
            windows.push_back(static_cast<unsigned long>(window->winId()));
        }
    }
    return windows;
}

SensorPoller::Reader systemReader(LidSourceChain& chain) {
    return {[&chain] { return chain.open(); }, [&chain] { chain.close(); },
            [&chain]() -> std::optional<double> {
                const std::optional<LidReading> reading = chain.read();
                return reading ? reading->angle : std::nullopt;
            }};
}

} // namespace

// Declared in the order they are built; they go in reverse, the controller first.
struct OrvaneApp::Parts {
    JournalLog log;
    QtScheduler scheduler;
    IniSettingsStore store;
    // One device: the click and the accordion are mixed into it.
    SdlAudioOutput sound;
    AudioMixer mixer{sound};
    SoundPlayer player;
    std::unique_ptr<EvdevHaptics> haptics = EvdevHaptics::find();
    SoundFeedback feedback{player, [this] {
                               if (haptics) {
                                   haptics->tick();
                               }
                           }};
    std::unique_ptr<MenuBarController> menuBar;
    // The apps of the open windows, for the list of apps to pause for.
    DesktopEntryCatalog catalog = DesktopEntryCatalog::fromEnvironment(
        [this] { return system ? system->runningApps() : std::vector<RunningApp>{}; });
    ListenerRelay relay;
    CoverPainter coverPainter;

    // Where the fold is drawn: inside KWin by its effect, else on X11 with OpenGL 3.3.
    std::unique_ptr<FoldDisplay> display;
    X11FoldDisplay* x11Display = nullptr;
    CompositorFoldDisplay* compositorDisplay = nullptr;
    std::unique_ptr<LinuxSystem> system;
    // Posts from the sensor's thread land here; gone with it, they are dropped.
    std::unique_ptr<QObject> mainThread;
    SystemLidSources lidSources;
    std::unique_ptr<SensorThread> sensorThread;
    std::unique_ptr<LidSensorService> sensor;
    std::unique_ptr<AccordionEngine> accordion;
    std::unique_ptr<CoverController> cover;
    std::unique_ptr<EscapeHotkey> escape;
    EscapeKeyControl* escapeKey = nullptr; // the hotkey, or the compositor's
    std::unique_ptr<EffectController> effect;
    // The windows, made on first use; they go before the controller they talk to.
    std::unique_ptr<EffectSettingsHost> settingsHost;
    std::unique_ptr<XdgAutostart> autostart;
    std::unique_ptr<SettingsWindow> settingsWindow;
    std::unique_ptr<OnboardingWindow> onboarding;

    Parts(const Options& options)
        : store(options.settingsPath.empty() ? IniSettingsStore::defaultPath()
                                             : options.settingsPath),
          player({.output = options.clickOutput != nullptr ? *options.clickOutput : mixer.input(0),
                  .scheduler = scheduler,
                  .now = monotonicSeconds,
                  .uiSoundsEnabled = {}}) {}
};

OrvaneApp::OrvaneApp(Options options)
    : options_(std::move(options)), parts_(std::make_unique<Parts>(options_)) {}

OrvaneApp::~OrvaneApp() {
    if (parts_->effect) {
        parts_->relay.target = nullptr;
    }
}

EffectController* OrvaneApp::effect() {
    return parts_->effect.get();
}

OverlayPanel* OrvaneApp::panel() const {
    return parts_->x11Display != nullptr ? parts_->x11Display->panel() : nullptr;
}

const CaptureService* OrvaneApp::capture() const {
    return parts_->x11Display != nullptr ? &parts_->x11Display->capture() : nullptr;
}

MenuBarController& OrvaneApp::menuBar() {
    return *parts_->menuBar;
}

SystemLog& OrvaneApp::log() {
    return parts_->log;
}

void OrvaneApp::launch() {
    Parts& p = *parts_;
    // Every window's icon (_NET_WM_ICON): the installed one, else the bellows drawn here.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QString::fromUtf8(AppIdentity::identifier),
                         BellowsIcon::icon(Tuning::defaultClearAngle, IconVariant::ready)));
    if (const auto problem = p.store.problem()) {
        p.log.note("settings", p.store.path() + ": " + std::string(describe(*problem)) + ".");
    }
    const bool haveEffect = makeEffect();
    p.player.prepare();
    p.menuBar = std::make_unique<MenuBarController>(p.log);
    connectMenu();
    if (!haveEffect) {
        p.menuBar->apply(Availability::effectUnavailable());
        return;
    }
    connectEffect();
    chosenScreen_ = p.effect->settings().builtInScreen;
    p.system->start();
    Appearance::apply(p.system->darkAppearance());
    p.system->onAppearanceChanged([](bool dark) { Appearance::apply(dark); });
    p.effect->start();
    p.menuBar->apply(p.effect->availability());
    p.menuBar->apply(p.effect->settings());
    if (!p.effect->settings().hasCompletedOnboarding) {
        showOnboarding();
    }
}

bool OrvaneApp::makeEffect() {
    Parts& p = *parts_;
    const bool x11 = qtX11Display() != nullptr;
    const auto paintCover = [painter = &p.coverPainter](QPainter& qp, QSize size,
                                                        const CoverDressing& dressing) {
        painter->paint(qp, size, dressing, 1.0);
    };
    const QDBusConnection session = QDBusConnection::sessionBus();
    const KWinEffectState kwin = ensureKWinEffect(session);
    if (kwin == KWinEffectState::taken) {
        p.log.note("display", "Another program holds the name of Orvane's KWin effect on the "
                              "session bus: the effect is not used.");
    }
    if (kwin == KWinEffectState::notInstalled) {
        p.log.note("display", x11 ? "KWin runs without Orvane's effect (orvane-kwin-effect): the "
                                    "fold is drawn over the X11 desktop instead."
                                  : "KWin runs without Orvane's effect: install "
                                    "orvane-kwin-effect to see the fold on this session.");
    }
    if (kwin == KWinEffectState::running) {
        auto display = std::make_unique<CompositorFoldDisplay>(
            session,
            CompositorFoldDisplay::Ports{
                p.log,
                [this] {
                    return parts_->effect ? parts_->effect->settings().builtInScreen
                                          : std::string();
                },
                paintCover, monotonicSeconds,
                [this] {
                    const SettingsWindow* window = parts_->settingsWindow.get();
                    return window != nullptr && window->aboveOverlay();
                },
                [session] { loadKWinEffectLater(session); }, QStringLiteral("org.kde.KWin")});
        const std::optional<std::string> problem = display->pluginProblem();
        if (problem) {
            // KWin on X11 without OpenGL compositing: the overlay can still draw the fold.
            p.log.note("display",
                       "KWin's Orvane effect: " + *problem +
                           (x11 ? " The fold is drawn over the X11 desktop instead." : ""));
        }
        if (!problem || !x11) {
            p.compositorDisplay = display.get();
            p.display = std::move(display);
        }
    }
    if (!p.display && x11) {
        auto display = X11FoldDisplay::create(X11FoldDisplay::Ports{
            p.scheduler, p.log, uptimeSeconds,
            [this] {
                return parts_->effect ? parts_->effect->settings().builtInScreen : std::string();
            },
            ownWindows,
            // While the settings window holds the fold, it and every window it opens (a
            // popup, About) stay above; the overlay leaves itself out.
            [this] {
                SettingsWindow* window = parts_->settingsWindow.get();
                std::vector<unsigned long> above;
                if (window == nullptr || !window->aboveOverlay()) {
                    return above;
                }
                // Only the window and those it opened: the tray icon's window sits in the
                // desktop's panel, which the overlay must not go under.
                const QWindow* settings = window->windowHandle();
                for (QWindow* shown : QGuiApplication::topLevelWindows()) {
                    bool opened = false;
                    for (const QWindow* w = shown; w != nullptr && !opened;
                         w = w->transientParent()) {
                        opened = w == settings;
                    }
                    if (opened && shown->isVisible() && shown->handle() != nullptr) {
                        above.push_back(static_cast<unsigned long>(shown->winId()));
                    }
                }
                return above;
            },
            paintCover});
        if (!display) {
            return false;
        }
        p.x11Display = display.get();
        p.display = std::move(display);
    } else if (!p.display) {
        // Wayland without a compositor's plug-in: nothing draws the fold there.
        p.display = std::make_unique<UnavailableFoldDisplay>(DisplayProblem::unsupportedSession);
    }
    p.system = std::make_unique<LinuxSystem>(LinuxSystem::Sources{
        .listener = p.relay, .catalog = p.catalog, .log = p.log, .x11Session = x11});
    if (p.compositorDisplay != nullptr && !x11) {
        p.compositorDisplay->followActiveApp([system = p.system.get()](const std::string& app) {
            system->compositorFrontmostApp(app);
        });
    }

    p.mainThread = std::make_unique<QObject>();
    SensorPoller::Reader reader;
    if (options_.sensorReader) {
        reader = *options_.sensorReader;
    } else {
        p.lidSources = SystemLidSources::under("/sys");
        reader = systemReader(*p.lidSources.chain);
    }
    p.sensorThread = std::make_unique<SensorThread>(std::move(reader), monotonicSeconds);
    p.sensor = std::make_unique<LidSensorService>(
        [thread = p.sensorThread.get()](std::function<void(SensorPoller&)> work) {
            thread->post(std::move(work));
        },
        [context = p.mainThread.get()](std::function<void()> work) {
            QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
        });

    AudioOutput& accordionOutput =
        options_.accordionOutput != nullptr ? *options_.accordionOutput : p.mixer.input(1);
    p.accordion = std::make_unique<AccordionEngine>(
        AccordionEngine::Ports{accordionOutput, p.scheduler, monotonicSeconds});
    p.cover = std::make_unique<CoverController>(
        [display = p.display.get()]() -> CoverHost* { return display; }, p.scheduler, wallSeconds);
    p.escape = std::make_unique<EscapeHotkey>(
        p.compositorDisplay == nullptr ? qtX11Display() : nullptr, p.log);
    p.escapeKey = p.compositorDisplay != nullptr ? &p.compositorDisplay->escapeKey()
                                                 : static_cast<EscapeKeyControl*>(p.escape.get());

    p.effect = std::make_unique<EffectController>(EffectController::Ports{
        p.store, *p.display, *p.sensor, *p.cover, *p.accordion, *p.escapeKey, p.feedback,
        p.scheduler, *p.system, p.log, Clock{monotonicSeconds, wallSeconds}});
    p.relay.target = p.effect.get();
    p.autostart = std::make_unique<XdgAutostart>(
        XdgAutostart::fromEnvironment(QCoreApplication::applicationFilePath().toStdString()));
    return true;
}

void OrvaneApp::connectMenu() {
    Parts& p = *parts_;
    MenuBarController& menu = *p.menuBar;
    // Every action that needs the controller does nothing without one.
    const auto withEffect = [this](auto action) {
        return [this, action] {
            if (parts_->effect) {
                action(*parts_->effect);
            }
        };
    };
    menu.onPauseResume = withEffect([](EffectController& e) { e.togglePause(); });
    menu.onSelectStyle = [this](FoldStyle style) {
        if (parts_->effect) {
            URLCommand::Set set;
            set.style = style;
            parts_->effect->apply(URLCommand{set});
        }
    };
    menu.onSelectCover = [this](CoverMode mode) {
        if (parts_->effect) {
            parts_->effect->apply(URLCommand{URLCommand::Cover{mode}});
        }
    };
    menu.onToggleAccordion = withEffect([](EffectController& e) {
        e.editSettings([](FoldSettings& s) { s.accordion = !s.accordion; });
    });
    menu.onShowSettings = [this] { showSettings(); };
    // Updates come from the package manager.
    menu.canCheckForUpdates = [] { return false; };
    menu.onCheckForUpdates = [] {};
    menu.onShowAbout = [this] {
        SettingsWindow* settings = parts_->settingsWindow.get();
        AboutPanel::show(settings != nullptr && settings->isVisible() ? settings : nullptr);
    };
    menu.onQuit = [] { QCoreApplication::quit(); };
    menu.onMenuWillOpen = withEffect([](EffectController& e) { e.reevaluateAndPublish(); });
}

void OrvaneApp::connectEffect() {
    Parts& p = *parts_;
    EffectController& effect = *p.effect;
    MenuBarController& menu = *p.menuBar;
    effect.onAvailabilityChange = [this, &menu](const Availability& a) {
        menu.apply(a);
        if (parts_->settingsWindow) {
            parts_->settingsWindow->availabilityChanged(a);
        }
        if (parts_->onboarding) {
            parts_->onboarding->availabilityChanged(a);
        }
    };
    effect.onSettingsChange = [this, &menu](const FoldSettings& settings) {
        menu.apply(settings);
        if (parts_->settingsWindow) {
            parts_->settingsWindow->settingsChanged(settings);
        }
        if (parts_->onboarding) {
            parts_->onboarding->settingsChanged(settings);
        }
        if (settings.builtInScreen != chosenScreen_) {
            chosenScreen_ = settings.builtInScreen;
            // Another screen chosen: the display finds it again, after the edit that chose it
            // has finished.
            QTimer::singleShot(0, parts_->mainThread.get(),
                               [this] { parts_->effect->screenParametersChanged(); });
        }
    };
    effect.onLidSample = [this, &menu](std::optional<double> angle, double velocity) {
        menu.applyLidSample(angle, velocity);
        if (parts_->settingsWindow) {
            parts_->settingsWindow->lidSample(angle);
        }
        if (parts_->onboarding) {
            parts_->onboarding->lidSample(angle);
        }
    };
    p.sensor->onSample = [&effect](const LidSample& sample) {
        effect.lidSample(sample.angle, sample.time);
    };
    p.sensor->onAvailabilityChange = [&effect](bool open) {
        effect.sensorAvailabilityChanged(open);
    };
    p.escape->onEscape = [&effect] { effect.escapePressed(); };
    if (p.compositorDisplay != nullptr) {
        p.compositorDisplay->onEscape = [&effect] { effect.escapePressed(); };
    }
}

void OrvaneApp::handle(std::string_view url) {
    if (const auto command = URLCommand::parse(url)) {
        if (parts_->effect) {
            parts_->effect->apply(*command);
        }
        return;
    }
    if (loggedInvalidURLs_.remember(url)) {
        const bool cut = url.size() > Tuning::loggedURLChars;
        parts_->log.note("url", "ignoring invalid URL command: " +
                                    std::string(url.substr(0, Tuning::loggedURLChars)) +
                                    (cut ? "…" : ""));
    }
}

void OrvaneApp::showSettings() {
    Parts& p = *parts_;
    if (!p.effect) {
        return;
    }
    if (!p.settingsWindow) {
        p.settingsWindow = std::make_unique<SettingsWindow>(SettingsWindow::Services{
            settingsHost(), *p.autostart, p.catalog,
            [this] { return parts_->system->reduceMotion(); },
            [] {
                std::vector<std::string> names;
                for (const auto& screen : sessionScreens()) {
                    names.push_back(screen.name);
                }
                return names;
            },
            []() -> std::optional<std::string> {
                const auto found = BuiltInDisplay::find(sessionScreens(), "");
                return found ? std::optional(found->name) : std::nullopt;
            },
            [this] { showOnboarding(); }, [] { QCoreApplication::quit(); }, p.haptics != nullptr});
        if (p.menuBar) {
            p.settingsWindow->addActions(p.menuBar->shortcutActions());
        }
    }
    p.settingsWindow->showSettings();
}

void OrvaneApp::showOnboarding() {
    Parts& p = *parts_;
    if (!p.effect) {
        return;
    }
    if (!p.onboarding) {
        p.onboarding = std::make_unique<OnboardingWindow>(
            settingsHost(), [this](const AudioBuffer& sound) { parts_->player.play(sound); });
        if (p.menuBar) {
            p.onboarding->addActions(p.menuBar->shortcutActions());
        }
    }
    p.onboarding->showWelcome();
}

SettingsHost& OrvaneApp::settingsHost() {
    Parts& p = *parts_;
    if (!p.settingsHost) {
        p.settingsHost = std::make_unique<EffectSettingsHost>(*p.effect);
    }
    return *p.settingsHost;
}

SettingsWindow* OrvaneApp::settingsWindow() {
    return parts_->settingsWindow.get();
}

OnboardingWindow* OrvaneApp::onboarding() {
    return parts_->onboarding.get();
}

int OrvaneApp::main(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    // The decision is taken before anything of the application exists, so a
    // tool run never touches settings, the sensor or the screen.
    if (const auto mode = CommandLineMode::parse(arguments)) {
        return runToolMode(*mode);
    }
    if (const auto problem = displayProblem()) {
        std::cerr << AppIdentity::name << ": " << *problem << ".\n";
        return ExitStatus::failure;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(AppIdentity::name));
    QGuiApplication::setDesktopFileName(QString::fromUtf8(AppIdentity::identifier));
    QApplication::setQuitOnLastWindowClosed(false);

    QStringList urls;
    for (const std::string& argument : arguments) {
        urls.push_back(QString::fromStdString(argument));
    }
    // A second start never becomes a second instance while the first lives: what
    // cannot be handed over is refused.
    const auto refuse = [](const std::string& reason) {
        std::cerr << AppIdentity::name << ": " << reason << "\n";
        return ExitStatus::failure;
    };
    const auto handOver = [&]() -> std::optional<int> {
        switch (InstanceLink::handOver(urls)) {
        case InstanceLink::HandOver::taken:
            return ExitStatus::success;
        case InstanceLink::HandOver::noInstance:
            return std::nullopt;
        case InstanceLink::HandOver::tooLong:
            return refuse("the arguments are too long to hand to the running Orvane.");
        case InstanceLink::HandOver::noAnswer:
            return refuse("Orvane is running on this display but did not answer; try again.");
        }
        return std::nullopt;
    };
    if (const auto status = handOver()) {
        return *status;
    }
    QString error;
    bool another = false;
    std::unique_ptr<InstanceLink> link = InstanceLink::listen(&error, &another);
    if (!link) {
        // Another start won the race to listen: it takes this one's URLs.
        if (another) {
            if (const auto status = handOver()) {
                return *status;
            }
        }
        return refuse("cannot make sure only one Orvane runs: " + error.toStdString() + ".");
    }

    OrvaneApp app{Options()};
    app.launch();
    link->onURLs = [&app](const QStringList& handed) {
        for (const QString& url : handed) {
            app.handle(url.toStdString());
        }
    };
    link->onShowSettings = [&app] { app.showSettings(); };
    for (const std::string& url : arguments) {
        app.handle(url);
    }
    return QApplication::exec();
}

} // namespace orvane
