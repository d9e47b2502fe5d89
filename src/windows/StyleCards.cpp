// SPDX-License-Identifier: MIT
#include "windows/StyleCards.h"

#include "core/Tuning.h"
#include "windows/CheckBadge.h"
#include "windows/StyleThumbnails.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QPainter>
#include <QPainterPath>

#include <string_view>

namespace orvane {

namespace {

constexpr int cardWidth = 240;
constexpr int gap = 12;
constexpr int padding = 8;
constexpr qreal cardRadius = 10;
constexpr qreal thumbnailRadius = 6;
constexpr qreal checkRadius = 11;
constexpr qreal checkInset = 6;
constexpr int summaryLines = 2;
constexpr int textInset = padding + 2;
constexpr qreal focusInset = 3;
// Shares of one palette colour mixed into another.
constexpr qreal hoverTint = 0.07;
constexpr qreal pressTint = 0.14;
constexpr qreal borderShade = 0.2;
constexpr qreal placeholderShade = 0.08;
constexpr qreal summaryShade = 0.7;

QColor mix(const QColor& a, const QColor& b, qreal share) {
    return QColor::fromRgbF(static_cast<float>(a.redF() * (1 - share) + b.redF() * share),
                            static_cast<float>(a.greenF() * (1 - share) + b.greenF() * share),
                            static_cast<float>(a.blueF() * (1 - share) + b.blueF() * share));
}

// A card drawn in vector shapes from the palette, so it follows light and
// dark and stays sharp at any scale; only the thumbnail is a picture.
class StyleCard final : public QAbstractButton {
public:
    StyleCard(FoldStyle style, QWidget* parent) : QAbstractButton(parent), style_(style) {
        setCheckable(true);
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setText(QString::fromUtf8(displayName(style)));
        setAccessibleName(QString::fromUtf8(displayName(style)));
        setAccessibleDescription(QString::fromUtf8(summary(style)));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override {
        return {cardWidth, textTop() + QFontMetrics(nameFont()).height() +
                               fontMetrics().lineSpacing() / 2 +
                               summaryLines * fontMetrics().lineSpacing() + padding};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const QPalette& pal = palette();
        const QColor accent = pal.color(QPalette::Highlight);
        const bool on = isChecked();

        const QRectF card = QRectF(rect()).adjusted(1, 1, -1, -1);
        QColor fill = pal.color(QPalette::Base);
        if (underMouse() || isDown()) {
            fill = mix(fill, accent, isDown() ? pressTint : hoverTint);
        }
        p.setPen(on ? QPen(accent, 2)
                    : QPen(mix(pal.color(QPalette::Window), pal.color(QPalette::WindowText),
                               borderShade),
                           1));
        p.setBrush(fill);
        p.drawRoundedRect(card, cardRadius, cardRadius);
        if (hasFocus()) {
            QColor ring = accent;
            ring.setAlphaF(0.5f);
            p.setPen(QPen(ring, 2));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(card.adjusted(focusInset, focusInset, -focusInset, -focusInset),
                              cardRadius - focusInset, cardRadius - focusInset);
        }

        const QRectF picture = thumbnailRect();
        QPainterPath clip;
        clip.addRoundedRect(picture, thumbnailRadius, thumbnailRadius);
        if (const auto image = StyleThumbnails::shared().image(style_)) {
            p.save();
            p.setClipPath(clip);
            p.drawImage(picture, *image);
            p.restore();
        } else {
            p.fillPath(clip, mix(pal.color(QPalette::Window), pal.color(QPalette::WindowText),
                                 placeholderShade));
        }
        if (on) {
            drawCheckBadge(p,
                           picture.topRight() +
                               QPointF(-checkRadius - checkInset, checkRadius + checkInset),
                           checkRadius, pal);
        }

        const int left = textInset;
        const int width = this->width() - 2 * textInset;
        p.setPen(pal.color(QPalette::Text));
        p.setFont(nameFont());
        const QFontMetrics nameMetrics(nameFont());
        p.drawText(QRect(left, textTop(), width, nameMetrics.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(displayName(style_)));
        p.setFont(font());
        p.setPen(mix(pal.color(QPalette::Base), pal.color(QPalette::Text), summaryShade));
        const int summaryTop = textTop() + nameMetrics.height() + fontMetrics().lineSpacing() / 4;
        p.drawText(QRect(left, summaryTop, width, summaryLines * fontMetrics().lineSpacing()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   QString::fromUtf8(summary(style_)));
    }

private:
    QFont nameFont() const {
        QFont bold = font();
        bold.setBold(true);
        return bold;
    }
    QRectF thumbnailRect() const {
        const qreal w = cardWidth - 2 * padding;
        return {padding, padding, w, w * Tuning::thumbnailHeight / Tuning::thumbnailWidth};
    }
    int textTop() const { return static_cast<int>(thumbnailRect().bottom()) + padding; }

    FoldStyle style_;
};

} // namespace

StyleCards::StyleCards(QWidget* parent) : QWidget(parent), group_(new QButtonGroup(this)) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(gap);
    int index = 0;
    for (const FoldStyle style : allFoldStyles) {
        auto* card = new StyleCard(style, this);
        group_->addButton(card, static_cast<int>(style));
        grid->addWidget(card, index / 2, index % 2);
        ++index;
    }
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) {
        if (onSelect) {
            onSelect(static_cast<FoldStyle>(id));
        }
    });

    auto& thumbnails = StyleThumbnails::shared();
    connect(&thumbnails, &StyleThumbnails::loaded, this, [this] {
        for (QAbstractButton* card : group_->buttons()) {
            card->update();
        }
    });
    thumbnails.loadIfNeeded();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StyleCards::setSelected(FoldStyle style) {
    if (QAbstractButton* card = group_->button(static_cast<int>(style))) {
        card->setChecked(true);
    }
}

FoldStyle StyleCards::selected() const {
    const int id = group_->checkedId();
    return id < 0 ? allFoldStyles.front() : static_cast<FoldStyle>(id);
}

} // namespace orvane
