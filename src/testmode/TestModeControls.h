#pragma once

namespace rq {

// The parts of the main window that the communication test locks and unlocks, named as
// the window names them.
enum class TestControl {
    Text1,
    Combo1,
    Combo2,
    Text2,
    Combo3,
    Text3,
    Combo4,
    Check1,
    Check2,
    Check3,
    Label12,   // the banner "T e s t i n g  . . ."
    FileMenu,  // the menu "File" (file)
    ProgMenu,  // the menu "Programming" (prog)
};

// The window's controls as the communication test sees them. Enabled and visible are the
// control's own flags, whatever its parent or the window's visibility.
class TestModeControls {
  public:
    virtual ~TestModeControls() = default;

    virtual void setEnabled(TestControl control, bool enabled) = 0;
    [[nodiscard]] virtual bool isEnabled(TestControl control) const = 0;
    virtual void setVisible(TestControl control, bool visible) = 0;
    [[nodiscard]] virtual bool isVisible(TestControl control) const = 0;
};

}  // namespace rq
