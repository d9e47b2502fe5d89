// SPDX-License-Identifier: MIT
#include "windows/OnboardingWindow.h"

#include "accordion/AccordionRender.h"
#include "core/Tuning.h"
#include "windows/CheckBadge.h"
#include "windows/StyleCards.h"
#include "windows/WelcomeAnimation.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {

constexpr int windowMargin = 24;
constexpr int pageSpacing = 12;
constexpr qreal headingScale = 1.6;
constexpr qreal angleScale = 2.4;
constexpr qreal pictureRadius = 8;
constexpr int buttonPadding = 12;
// Shares of the text colour in the drawings' neutral strokes and fills.
constexpr qreal strokeShade = 0.45;
constexpr qreal fillShade = 0.08;

QString permissionName() {
    return QString::fromUtf8(PermissionName::screenRecording());
}

QLabel* heading(const QString& title, QWidget* parent) {
    auto* label = new QLabel(title, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * headingScale);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

QLabel* paragraph(const QString& body, QWidget* parent) {
    auto* label = new QLabel(body, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A page: its heading, then what `fill` adds, then empty space.
QWidget* page(const QString& title, const std::function<void(QVBoxLayout&)>& fill) {
    auto* widget = new QWidget;
    auto* column = new QVBoxLayout(widget);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(pageSpacing);
    column->addWidget(heading(title, widget));
    fill(*column);
    column->addStretch(1);
    return widget;
}

AudioBuffer helloChord(double volume) {
    RenderedAudio audio = AccordionRender::renderHelloChord(volume);
    AudioBuffer buffer;
    buffer.sampleRate = audio.sampleRate;
    buffer.channels = {std::move(audio.left), std::move(audio.right)};
    return buffer;
}

QColor shade(const QPalette& palette, qreal share) {
    QColor colour = palette.color(QPalette::WindowText);
    colour.setAlphaF(static_cast<float>(share));
    return colour;
}

// A screen with a check mark while the permission is granted.
class ScreenGlyph final : public QWidget {
public:
    static constexpr QSize screen{168, 104};
    static constexpr int standHeight = 18;
    static constexpr qreal badgeRadius = 16;
    static constexpr qreal footShare = 0.2;

    ScreenGlyph(std::function<bool()> granted, QWidget* parent)
        : QWidget(parent), granted_(std::move(granted)) {
        setFixedSize(screen.width() + 2 * static_cast<int>(badgeRadius),
                     screen.height() + standHeight + static_cast<int>(badgeRadius));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        const QRectF display(badgeRadius, 1, screen.width(), screen.height());
        p.setPen(QPen(shade(pal, strokeShade), 2));
        p.setBrush(shade(pal, fillShade));
        p.drawRoundedRect(display, pictureRadius, pictureRadius);
        const qreal foot = display.bottom() + standHeight;
        p.drawLine(QPointF(display.center().x(), display.bottom()),
                   QPointF(display.center().x(), foot));
        p.drawLine(QPointF(display.center().x() - screen.width() * footShare, foot),
                   QPointF(display.center().x() + screen.width() * footShare, foot));
        if (granted_()) {
            drawCheckBadge(p, display.bottomRight(), badgeRadius, pal);
        }
    }

private:
    std::function<bool()> granted_;
};

// The laptop from the side: the base, and the lid at the angle last read
// (drawn faintly at a usual angle while there is none).
class LidGauge final : public QWidget {
public:
    static constexpr qreal length = 110;
    static constexpr qreal margin = 10;
    static constexpr qreal arcRadius = 34;
    static constexpr double restingAngle = 110;
    static constexpr qreal baseWidth = 6;
    static constexpr qreal lidWidth = 4;
    static constexpr float sweepAlpha = 0.18f;

    LidGauge(std::function<std::optional<double>()> angle, std::function<bool()> works,
             QWidget* parent)
        : QWidget(parent), angle_(std::move(angle)), works_(std::move(works)) {
        setFixedSize(static_cast<int>(2 * (length + margin)),
                     static_cast<int>(length + 2 * margin));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        const QPointF hinge(width() / 2.0, height() - margin);
        const std::optional<double> reading = angle_();
        const double degrees = std::clamp(reading.value_or(restingAngle), 0.0, 180.0);
        const double radians = degrees * std::numbers::pi / 180;
        const QPointF tip =
            hinge + QPointF(length * std::cos(radians), -length * std::sin(radians));
        const QColor lid = works_() ? pal.color(QPalette::Highlight) : shade(pal, strokeShade);

        if (reading) {
            QColor sweep = pal.color(QPalette::Highlight);
            sweep.setAlphaF(sweepAlpha);
            QPainterPath wedge(hinge);
            wedge.arcTo(
                QRectF(hinge.x() - arcRadius, hinge.y() - arcRadius, 2 * arcRadius, 2 * arcRadius),
                0, degrees);
            wedge.closeSubpath();
            p.fillPath(wedge, sweep);
        }
        p.setPen(QPen(shade(pal, strokeShade), baseWidth, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(hinge, hinge + QPointF(length, 0));
        p.setPen(QPen(lid, lidWidth, reading ? Qt::SolidLine : Qt::DotLine, Qt::RoundCap));
        p.drawLine(hinge, tip);
    }

private:
    std::function<std::optional<double>()> angle_;
    std::function<bool()> works_;
};

// The welcome animation's current frame, or a calm placeholder until the
// frames are rendered (or when they cannot be).
class FoldAnimationView final : public QWidget {
public:
    explicit FoldAnimationView(const int& frameIndex, QWidget* parent)
        : QWidget(parent), frameIndex_(frameIndex) {
        setFixedSize(Tuning::thumbnailWidth, Tuning::thumbnailHeight);
        setAccessibleName(QStringLiteral("Orvane folding animation"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), pictureRadius, pictureRadius);
        const std::vector<QImage>& frames = WelcomeAnimation::shared().frames();
        if (frames.empty()) {
            p.fillPath(shape, shade(palette(), fillShade));
            return;
        }
        p.setClipPath(shape);
        const std::size_t index = static_cast<std::size_t>(frameIndex_) % frames.size();
        p.drawImage(QRectF(rect()), frames[index]);
    }

private:
    const int& frameIndex_;
};

} // namespace

OnboardingWindow::OnboardingWindow(SettingsHost& host,
                                   std::function<void(const AudioBuffer&)> playSound,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), playSound_(std::move(playSound)),
      model_(host, [this](double volume) {
          if (playSound_) {
              playSound_(helloChord(volume));
          }
      }) {
    setWindowTitle(QStringLiteral("Welcome to Orvane"));
    // Orvane lives in the tray: closing the welcome must not end it.
    setAttribute(Qt::WA_QuitOnClose, false);

    pages_ = new QStackedWidget(this);
    for (QWidget* step : {welcomePage(), permissionPage(), sensorPage(), stylePage()}) {
        pages_->addWidget(step);
    }
    // One width for every step, so wrapped text does not move the window.
    const int contentWidth = std::max(cards_->sizeHint().width(), animation_->width());
    for (int i = 0; i < pages_->count(); ++i) {
        pages_->widget(i)->setFixedWidth(contentWidth);
    }

    stepLabel_ = new QLabel(this);
    stepLabel_->setForegroundRole(QPalette::PlaceholderText);
    back_ = new QPushButton(QStringLiteral("Back"), this);
    skip_ = new QPushButton(QStringLiteral("Skip"), this);
    next_ = new QPushButton(QStringLiteral("Next"), this);
    done_ = new QPushButton(QStringLiteral("Done"), this);
    next_->setDefault(true);
    done_->setDefault(true);
    // The primary button keeps the focus as the steps change, so Return and
    // Space go on through the steps.
    connect(back_, &QPushButton::clicked, this, [this] {
        model_.back();
        next_->setFocus();
    });
    connect(next_, &QPushButton::clicked, this, [this] {
        model_.next();
        (model_.step() == OnboardingModel::lastStep ? done_ : next_)->setFocus();
    });
    connect(skip_, &QPushButton::clicked, this, [this] {
        model_.skip();
        close();
    });
    connect(done_, &QPushButton::clicked, this, [this] {
        model_.finish();
        close();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(stepLabel_);
    buttons->addStretch(1);
    for (QPushButton* button : {back_, skip_, next_, done_}) {
        buttons->addWidget(button);
    }
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(windowMargin, windowMargin, windowMargin, windowMargin);
    column->setSpacing(windowMargin);
    column->addWidget(pages_);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);

    frameTimer_.setInterval(static_cast<int>(std::lround(1000.0 / Tuning::welcomeAnimationFPS)));
    connect(&frameTimer_, &QTimer::timeout, this, [this] { advanceFrame(); });
    connect(&WelcomeAnimation::shared(), &WelcomeAnimation::loaded, this, [this] {
        animation_->update();
        updateAnimation();
    });

    // A hidden window catches up when shown.
    model_.onChange = [this] {
        if (isVisible()) {
            refresh();
        } else {
            stale_ = true;
        }
    };
    refresh();
}

OnboardingWindow::~OnboardingWindow() = default;

QWidget* OnboardingWindow::welcomePage() {
    return page(QStringLiteral("Welcome to Orvane"), [this](QVBoxLayout& column) {
        column.addWidget(
            paragraph(QStringLiteral("Orvane folds your screen as the lid closes."), nullptr));
        column.addStretch(1);
        animation_ = new FoldAnimationView(frameIndex_, nullptr);
        column.addWidget(animation_, 0, Qt::AlignHCenter);
    });
}

QWidget* OnboardingWindow::permissionPage() {
    return page(permissionName(), [this](QVBoxLayout& column) {
        column.addWidget(paragraph(QStringLiteral("Orvane folds your live desktop. It needs %1 to "
                                                  "see it. It records the screen only, no audio, "
                                                  "and the frames never leave this computer.")
                                       .arg(permissionName()),
                                   nullptr));
        column.addStretch(1);
        column.addWidget(new ScreenGlyph([this] { return model_.screenCaptureGranted(); }, nullptr),
                         0, Qt::AlignHCenter);
        permissionState_ = paragraph({}, nullptr);
        permissionState_->setAlignment(Qt::AlignHCenter);
        column.addWidget(permissionState_);
    });
}

QWidget* OnboardingWindow::sensorPage() {
    return page(QStringLiteral("Lid sensor"), [this](QVBoxLayout& column) {
        sensorText_ = paragraph({}, nullptr);
        column.addWidget(sensorText_);
        column.addStretch(1);
        gauge_ = new LidGauge(
            [this] { return model_.lidAngle(); },
            [this] { return model_.sensorState() == OnboardingModel::SensorState::works; },
            nullptr);
        column.addWidget(gauge_, 0, Qt::AlignHCenter);
        sensorAngle_ = new QLabel;
        QFont large = sensorAngle_->font();
        large.setPointSizeF(large.pointSizeF() * angleScale);
        sensorAngle_->setFont(large);
        column.addWidget(sensorAngle_, 0, Qt::AlignHCenter);
        calibrate_ = new QPushButton(QStringLiteral("Set clear angle from my lid"));
        calibrate_->setMinimumWidth(calibrate_->sizeHint().width() + 2 * buttonPadding);
        connect(calibrate_, &QPushButton::clicked, this, [this] { model_.setClearAngleFromLid(); });
        column.addWidget(calibrate_, 0, Qt::AlignHCenter);
    });
}

QWidget* OnboardingWindow::stylePage() {
    return page(QStringLiteral("Pick a style"), [this](QVBoxLayout& column) {
        cards_ = new StyleCards;
        cards_->onSelect = [this](FoldStyle style) {
            model_.edit([style](FoldSettings& s) { s.setStyle(style); });
        };
        column.addWidget(cards_);
    });
}

void OnboardingWindow::refresh() {
    const int step = model_.step();
    pages_->setCurrentIndex(step - OnboardingModel::firstStep);
    stepLabel_->setText(QStringLiteral("Step %1 of %2").arg(step).arg(OnboardingModel::lastStep));
    const bool last = step == OnboardingModel::lastStep;
    back_->setEnabled(step > OnboardingModel::firstStep);
    next_->setVisible(!last);
    done_->setVisible(last);

    // Nothing to ask for where the permission is always granted; elsewhere the
    // system's own settings give it.
    permissionState_->setText(model_.screenCaptureGranted()
                                  ? QStringLiteral("%1 is on.").arg(permissionName())
                                  : QStringLiteral("After you allow it, quit and reopen Orvane."));

    using Sensor = OnboardingModel::SensorState;
    const Sensor sensor = model_.sensorState();
    switch (sensor) {
    case Sensor::waiting:
        sensorText_->setText(QStringLiteral("Move the lid a little."));
        break;
    case Sensor::works:
        sensorText_->setText(QStringLiteral("Sensor works."));
        break;
    case Sensor::readsZero:
        sensorText_->setText(
            QStringLiteral("The lid sensor reads 0°. If the lid is closed, open it to test."));
        break;
    case Sensor::noDevice:
        sensorText_->setText(QStringLiteral("This computer has no readable lid sensor. Manual "
                                            "preview still works. Many laptops do not expose a "
                                            "lid angle sensor."));
        break;
    }
    const bool works = sensor == Sensor::works;
    const std::optional<double> angle = model_.lidAngle();
    sensorAngle_->setVisible(works && angle);
    if (angle) {
        sensorAngle_->setText(QStringLiteral("%1°").arg(std::lround(*angle)));
    }
    calibrate_->setVisible(works);
    calibrate_->setEnabled(model_.lidCalibrationEnabled());
    gauge_->update();

    cards_->setSelected(model_.settings().style);
    updateAnimation();
}

void OnboardingWindow::setReduceMotion(std::function<bool()> reduceMotion) {
    reduceMotion_ = std::move(reduceMotion);
    updateAnimation();
}

void OnboardingWindow::updateAnimation() {
    const bool still = reduceMotion_ && reduceMotion_();
    const bool play = isVisible() && model_.step() == OnboardingModel::firstStep && !still &&
                      WelcomeAnimation::shared().frames().size() > 1;
    if (still && frameIndex_ != 0) {
        frameIndex_ = 0;
        animation_->update();
    }
    if (play && !frameTimer_.isActive()) {
        frameTimer_.start();
    } else if (!play) {
        frameTimer_.stop();
    }
}

void OnboardingWindow::advanceFrame() {
    const std::size_t count = WelcomeAnimation::shared().frames().size();
    if (count > 0) {
        frameIndex_ = static_cast<int>((static_cast<std::size_t>(frameIndex_) + 1) % count);
        animation_->update();
    }
}

void OnboardingWindow::showWelcome() {
    model_.reset();
    frameIndex_ = 0;
    WelcomeAnimation::shared().loadIfNeeded();
    show();
    raise();
    activateWindow();
    next_->setFocus();
}

void OnboardingWindow::availabilityChanged(const Availability& availability) {
    model_.availabilityChanged(availability);
}

void OnboardingWindow::settingsChanged(const FoldSettings& settings) {
    model_.settingsChanged(settings);
}

void OnboardingWindow::lidSample(std::optional<double> angle) {
    model_.lidSample(angle);
}

void OnboardingWindow::closeEvent(QCloseEvent* event) {
    // Kept for a later showWelcome; the welcome stays unfinished.
    frameTimer_.stop();
    event->accept();
}

void OnboardingWindow::showEvent(QShowEvent* event) {
    if (stale_) {
        stale_ = false;
        refresh();
    }
    QWidget::showEvent(event);
    updateAnimation();
}

void OnboardingWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    frameTimer_.stop();
}

void OnboardingWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        (model_.step() == OnboardingModel::lastStep ? done_ : next_)->click();
        return;
    case Qt::Key_Escape:
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace orvane
