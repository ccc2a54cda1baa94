#pragma once

#include "app/Form1Controls.h"
#include "testmode/TestModeControls.h"

class QMenuBar;
class QWidget;

namespace rq::app {

// The main window's controls and menus that the communication test locks.
class TestModeWidgets final : public rq::TestModeControls {
  public:
    TestModeWidgets(const Form1Controls& controls, QMenuBar& menuBar);

    void setEnabled(TestControl control, bool enabled) override;
    [[nodiscard]] bool isEnabled(TestControl control) const override;
    void setVisible(TestControl control, bool visible) override;
    [[nodiscard]] bool isVisible(TestControl control) const override;

  private:
    [[nodiscard]] QWidget& widget(TestControl control) const;

    Form1Controls controls_;
    QMenuBar& menuBar_;
};

}  // namespace rq::app
