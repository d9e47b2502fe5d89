// SPDX-License-Identifier: MIT
#include "tools/SelfTestShell.h"

#include "core/AppIdentity.h"
#include "core/Tuning.h"
#include "motion/FoldMath.h"
#include "offscreen/linux/OffscreenSession.h"
#include "offscreen/linux/RenderProbe.h"
#include "selfcheck/ComponentChecks.h"
#include "settings/SettingsLayout.h"
#include "settings/linux/IniSettingsStore.h"
#include "tools/ShotRender.h"
#include "windows/BellowsIcon.h"
#include "windows/OnboardingWindow.h"
#include "windows/SettingsWindow.h"

#include <QColor>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QScrollArea>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace orvane {

namespace {

template <typename... Parts>
std::string text(const Parts&... parts) {
    std::ostringstream out;
    (out << ... << parts);
    return out.str();
}

int worstDifference(const Pixels& a, const Pixels& b) {
    int worst = 0;
    for (std::size_t i = 0; i < std::min(a.bytes.size(), b.bytes.size()); ++i) {
        worst = std::max(worst, std::abs(a.bytes[i] - b.bytes[i]));
    }
    return worst;
}

// The fold on whatever OpenGL device there is: llvmpipe on a machine without a GPU.
void checkOpenGL(Reporter& r) {
    auto made = OffscreenSession::create();
    if (!made.ok()) {
        r.fail("opengl_device", made.error().description());
        return;
    }
    OffscreenSession& session = *made.value();
    FoldRenderer& renderer = session.renderer();
    r.info("opengl_device", session.context().rendererName());
    const int w = static_cast<int>(Tuning::renderWidth);
    const int h = static_cast<int>(Tuning::renderHeight);
    auto render = [&](const RenderRequest& request) {
        auto image = session.render(request);
        return image.ok() ? Pixels{static_cast<int>(image.value().width),
                                   static_cast<int>(image.value().height), image.value().bytes}
                          : Pixels{};
    };
    auto draw = [&](const FlatSource& source, const FoldFrameParams& params, int width,
                    int height) {
        return drawFrame(renderer, source.source(), params, width, height).value_or(Pixels{});
    };

    // At the clear angle every style is the desktop itself.
    auto desktop = session.cannedDesktop(w, h);
    if (!desktop.ok()) {
        r.fail("opengl_identity_at_clear_angle", desktop.error().description());
    } else {
        const Pixels source{w, h, desktop.value()->bytes()};
        RenderRequest request;
        request.angle = Tuning::defaultClearAngle;
        int worst = 0;
        for (const FoldStyle style : allFoldStyles) {
            request.look.style = style;
            worst = std::max(worst, worstDifference(render(request), source));
        }
        r.check(worst <= 3, "opengl_identity_at_clear_angle",
                text("a channel differs by ", worst, " > 3"));
    }

    const FlatSource grey(256, 160, 128);
    const Pixels half =
        draw(grey, probeFrame(Tuning::defaultClearAngle + Tuning::fadeBand / 2), 256, 160);
    const Pixels full = draw(grey, probeFrame(70), 256, 160);
    int alphaError = half.bytes.empty() || full.bytes.empty() ? 255 : 0;
    for (std::size_t i = 3; i < std::min(half.bytes.size(), full.bytes.size()); i += 4) {
        alphaError = std::max({alphaError, std::abs(half.bytes[i] - 128), 255 - full.bytes[i]});
    }
    r.check(alphaError <= 1, "overlay_alpha_is_fade",
            text("alpha off the fade by ", alphaError, " levels"));

    const FlatSource chainSource(300, 200, 128);
    const std::size_t before = renderer.cachedTextureCount();
    const auto chain = renderer.blurChainReadback(chainSource.source(), 1.0);
    int chainError = chain ? 0 : 255;
    for (std::size_t i = 0; chain && i < chain->size(); ++i) {
        chainError = std::max(chainError, std::abs((*chain)[i] - (i % 4 == 3 ? 255 : 128)));
    }
    r.check(chainError <= 1, "blur_chain_full_coverage",
            text("a pixel of the chain is off mid-grey by ", chainError));
    renderer.blurChainReadback(chainSource.source(), 1.0);
    r.check(renderer.cachedTextureCount() == before + 4, "opengl_texture_cache",
            text(renderer.cachedTextureCount() - before, " textures for one size, not 4"));

    FoldFrameParams params = probeFrame(70);
    params.look.blur = 0;
    draw(grey, params, 256, 160);
    const int still = renderer.lastPassCount();
    params.look.blur = 1;
    draw(grey, params, 256, 160);
    r.check(still == 1 && renderer.lastPassCount() == 5, "opengl_blur_passes_only_when_needed",
            text(still, " passes without blur, ", renderer.lastPassCount(), " with"));

    const FlatSource white(320, 200, 255);
    params = probeFrame(50);
    params.look.reduceMotion = true;
    params.motion = FoldMotion::scripted(40, -90);
    const Pixels flat = draw(white, params, 320, 200);
    const double t =
        FoldMath::t(50, params.look.clearAngle, FoldMath::saturate(params.look.perspective));
    const double dimmed = 255 * (1 - 0.45 * params.look.shadow * t);
    double flatError = flat.bytes.empty() ? 255 : 0;
    for (int y = 0; y < flat.height; y += 33) {
        for (int x = 0; x < flat.width; x += 53) {
            flatError = std::max(flatError, std::abs(flat.luma(x, y) - dimmed));
        }
    }
    r.check(flatError <= 2 && renderer.lastVelocity() == 0, "overlay_reduce_motion_flat",
            text("off the dimmed flat sheet by ", flatError, " levels"));

    RenderRequest request;
    request.angle = 60;
    request.motion = FoldMotion::still();
    const Pixels standing = render(request);
    request.motion = FoldMotion::scripted(60, 0);
    const double atRest = meanDifference(render(request), standing);
    request.motion = FoldMotion::scripted(60, -90);
    const double moving = meanDifference(render(request), standing);
    r.check(atRest == 0 && moving >= 0.5, "motion_blur_velocity",
            text("difference at rest ", atRest, ", at 90 deg/s ", moving, " (needs >= 0.5)"));

    std::vector<Pixels> styles;
    request.motion = FoldMotion::still();
    for (const FoldStyle style : allFoldStyles) {
        request.look.style = style;
        styles.push_back(render(request));
    }
    double closest = 255;
    for (std::size_t a = 0; a < styles.size(); ++a) {
        for (std::size_t b = a + 1; b < styles.size(); ++b) {
            closest = std::min(closest, meanDifference(styles[a], styles[b]));
        }
    }
    r.check(closest > 1.0, "style_each_distinct",
            text("two styles differ by only ", closest, " on average"));
    r.check(render(request).bytes == styles.back().bytes, "style_render_repeats",
            "the same frame drawn twice differs");

    // A neutral sheet stays neutral under every style; the ridge's split light
    // leaves no green fringe (green above both others by more than 2 % of the level).
    double worstRatio = 1;
    int fringe = 0;
    for (const FoldStyle style : allFoldStyles) {
        const Pixels lit = draw(grey, probeFrame(60, style), 256, 160);
        for (std::size_t i = 0; i + 3 < lit.bytes.size(); i += 4) {
            const int b = lit.bytes[i];
            const int g = lit.bytes[i + 1];
            const int red = lit.bytes[i + 2];
            if (g > 16) {
                const double ratio = static_cast<double>(b) / g;
                worstRatio = std::abs(ratio - 1) > std::abs(worstRatio - 1) ? ratio : worstRatio;
            }
            fringe += style == FoldStyle::ridge && g > std::max(red, b) * 1.02 + 1;
        }
    }
    r.check(std::abs(worstRatio - 1) <= 0.1, "style_neutral_grey",
            text("blue to green ", worstRatio, " outside 0.90...1.10"));
    r.check(fringe == 0, "ridge_no_green_fringe", text(fringe, " green pixels"));

    if (session.context().isSoftware()) {
        r.skip("opengl_frame_budget", "a software renderer (" + session.context().rendererName() +
                                          ") cannot hold a hardware budget");
    } else {
        const auto ms =
            session.medianGPUMilliseconds(20, FoldStyle::rime, FoldMotion::scripted(60, -90));
        r.check(ms.ok() && ms.value() < Tuning::gpuBudgetMs, "opengl_frame_budget",
                ms.ok() ? text(ms.value(), " ms > ", Tuning::gpuBudgetMs, " ms")
                        : ms.error().description());
    }
}

struct Ink {
    int left = 0;
    int right = -1;
    double alpha = 0;
    int width() const { return right - left + 1; }
};

Ink inkOf(const QImage& image) {
    Ink ink{image.width(), -1, 0};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int a = qAlpha(image.pixel(x, y));
            ink.alpha += a;
            if (a > 128) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
            }
        }
    }
    return ink;
}

// The status item's bellows: its size, its width after the lid, its variants.
void checkGlyph(Reporter& r) {
    const QImage one = BellowsIcon::image(75, IconVariant::ready, 1);
    const QImage two = BellowsIcon::image(75, IconVariant::ready, 2);
    r.check(one.size() == BellowsIcon::size && two.size() == BellowsIcon::size * 2, "glyph_size",
            text(one.width(), "x", one.height(), " and ", two.width(), "x", two.height(),
                 " for 16x14 at 1x and 2x"));
    const int narrow = inkOf(BellowsIcon::image(30, IconVariant::ready, 2)).width();
    const int middle = inkOf(two).width();
    const int wide = inkOf(BellowsIcon::image(120, IconVariant::ready, 2)).width();
    const int widest = inkOf(BellowsIcon::image(170, IconVariant::ready, 2)).width();
    r.check(narrow < middle && middle < wide && wide == widest, "glyph_width_follows_lid",
            text("widths ", narrow, ", ", middle, ", ", wide, ", ", widest,
                 " at 30, 75, 120, 170 degrees"));
    const double ready = inkOf(two).alpha;
    const double paused = inkOf(BellowsIcon::image(75, IconVariant::paused, 2)).alpha;
    r.check(paused < ready * 0.7, "glyph_paused_faint",
            text("paused ink ", paused, " against ready ", ready));
    std::set<QByteArray> looks;
    for (const IconVariant v : {IconVariant::ready, IconVariant::paused, IconVariant::asleep,
                                IconVariant::barred, IconVariant::slashed}) {
        const QImage image = BellowsIcon::image(75, v, 2);
        looks.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()),
                                static_cast<qsizetype>(image.sizeInBytes())));
    }
    r.check(looks.size() == 5, "glyph_variants_distinct",
            text(looks.size(), " different pictures for 5 variants"));
}

// Labels that cannot wrap must get the width their text needs.
std::vector<QString> clippedLabels(QWidget& root) {
    std::vector<QString> clipped;
    for (QLabel* label : root.findChildren<QLabel*>()) {
        if (label->isVisibleTo(&root) && !label->wordWrap() && !label->text().isEmpty() &&
            label->pixmap().isNull() && label->width() < label->minimumSizeHint().width()) {
            clipped.push_back(label->text());
        }
    }
    return clipped;
}

int distinctColours(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) {
            colours.insert(image.pixel(x, y));
        }
    }
    return static_cast<int>(colours.size());
}

double meanLightness(const QImage& image) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            sum += QColor(image.pixel(x, y)).lightnessF();
            ++count;
        }
    }
    return count > 0 ? sum / count : 0;
}

// Every view renders, in both appearances, from a demo that touches no one's settings.
void checkShots(Reporter& r) {
    const QFileInfo userSettings(QString::fromStdString(IniSettingsStore::defaultPath()));
    const bool existed = userSettings.exists();
    const auto modified = existed ? userSettings.lastModified() : QDateTime();

    ShotRender shots;
    for (const ShotKind kind : allShotKinds) {
        const std::string name = "shot_" + std::string(shotName(kind));
        const std::optional<QImage> light = shots.render(kind, false);
        const std::optional<QImage> dark = shots.render(kind, true);
        if (!light || !dark) {
            r.fail(name, "did not render");
            continue;
        }
        const int colours = distinctColours(*light);
        r.check(light->size() == dark->size() && light->width() >= 200 && colours >= 8, name,
                text(light->width(), "x", light->height(), " with ", colours, " colours"));
    }
    // Dark is dark all over, the window's sidebar included, however often it changes.
    double lighter = 1;
    for (int round = 0; round < 2; ++round) {
        const auto light = shots.render(ShotKind::settingsWindow, false);
        const auto dark = shots.render(ShotKind::settingsWindow, true);
        if (!light || !dark) {
            lighter = 0;
            break;
        }
        const QRect sidebar(0, 0, SettingsLayout::sidebarWidth, light->height());
        const QRect pane(SettingsLayout::sidebarWidth, 0, light->width() - sidebar.width(),
                         light->height());
        for (const QRect& part : {sidebar, pane}) {
            lighter = std::min(lighter,
                               meanLightness(light->copy(part)) - meanLightness(dark->copy(part)));
        }
    }
    r.check(lighter > 0.3, "shot_dark_appearance",
            text("a part of the dark window is only ", lighter, " darker than in light"));

    ShotRender::DemoState& demo = shots.demo();
    const QFileInfo after(QString::fromStdString(IniSettingsStore::defaultPath()));
    const bool untouched =
        after.exists() == existed && (!existed || after.lastModified() == modified);
    r.check(demo.rig.suite == std::string(AppIdentity::identifier) + ".shots" &&
                demo.rig.store.contains(SettingsKey::style) && untouched,
            "shots_demo_state",
            untouched ? "the demo's settings are not its own throwaway suite"
                      : "the user's settings file changed");
}

// The settings window at its usual size: five panes, nothing wider than the
// window, no label cut short; the welcome steps likewise.
void checkSettingsWindow(Reporter& r) {
    ShotRender shots;
    SettingsWindow& window = shots.settingsWindow();
    window.show();
    r.check(window.width() == SettingsLayout::contentWidth &&
                window.height() == SettingsLayout::windowContentHeight(std::nullopt),
            "settings_window_size", text(window.width(), "x", window.height()));
    for (const auto pane :
         {SettingsWindow::general, SettingsWindow::appearance, SettingsWindow::cover,
          SettingsWindow::accordion, SettingsWindow::about}) {
        window.selectPane(pane);
        QCoreApplication::processEvents();
        QWidget* content = window.paneContent(pane);
        auto* scroll = qobject_cast<QScrollArea*>(content->parentWidget()->parentWidget());
        const int room = scroll != nullptr ? scroll->viewport()->width() : 0;
        const std::vector<QString> clipped = clippedLabels(*content);
        const std::string name = "settings_window_pane_" + std::to_string(pane + 1) + "_fits";
        r.check(content->minimumSizeHint().width() <= room && clipped.empty(), name,
                clipped.empty()
                    ? text("needs ", content->minimumSizeHint().width(), " px across, has ", room)
                    : "cut short: " + clipped.front().toStdString());
    }
    OnboardingWindow& welcome = shots.onboardingWindow();
    welcome.model().reset();
    welcome.show();
    std::string cut;
    for (int step = OnboardingModel::firstStep; step <= OnboardingModel::lastStep; ++step) {
        QCoreApplication::processEvents();
        for (const QString& label : clippedLabels(welcome)) {
            cut = "step " + std::to_string(step) + ": " + label.toStdString();
        }
        welcome.model().next();
    }
    r.check(cut.empty(), "settings_window_welcome_fits", "cut short at " + cut);
}

// The synthesis against real time, on this thread's own CPU clock.
void checkAccordionBudget(Reporter& r) {
    accordionBudgetChecks(r, [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    });
}

} // namespace

std::vector<SelfCheckGroup> shellSelfCheckGroups() {
    return {
        {"accordion2_", checkAccordionBudget},
        {"opengl_", checkOpenGL},
        {"glyph_", checkGlyph},
        {"shot_", checkShots},
        {"settings_window_", checkSettingsWindow},
    };
}

} // namespace orvane
