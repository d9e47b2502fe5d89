// SPDX-License-Identifier: MIT
// The four fold styles as cards in a 2 x 2 grid: thumbnail, name, summary and
// a check mark on the selected one. Shared by the welcome window and the
// settings window's Appearance pane.
#pragma once

#include "render/FoldStyle.h"

#include <QWidget>

#include <functional>

class QButtonGroup;

namespace orvane {

class StyleCards : public QWidget {
    Q_OBJECT
public:
    explicit StyleCards(QWidget* parent = nullptr);

    // Checks a card without calling onSelect.
    void setSelected(FoldStyle style);
    FoldStyle selected() const;

    // Called with the style of a card the user chose.
    std::function<void(FoldStyle)> onSelect;

private:
    QButtonGroup* group_ = nullptr;
};

} // namespace orvane
