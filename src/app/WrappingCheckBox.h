#pragma once

#include <QCheckBox>

namespace rq::app {

// A check box whose caption wraps onto further lines within its fixed size, and that
// toggles on a click anywhere in it ("PS2 Keyboard Locked (iButton not present)"
// needs two lines in its place).
class WrappingCheckBox final : public QCheckBox {
    Q_OBJECT

  public:
    using QCheckBox::QCheckBox;

  protected:
    void paintEvent(QPaintEvent* event) override;
    [[nodiscard]] bool hitButton(const QPoint& pos) const override;
};

}  // namespace rq::app
