#pragma once

#include <utility>
#include <vector>

#include "app/Twips.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace rq::app {

class StatusLogWidget;

// The controls of the main window's client area, named as the window names them.
struct Form1Controls {
    QLabel* label1 = nullptr;
    QLabel* label2 = nullptr;
    QLabel* label3 = nullptr;
    QLabel* label4 = nullptr;
    QLabel* label5 = nullptr;
    QLabel* label6 = nullptr;
    QLabel* label7 = nullptr;
    QLabel* label8 = nullptr;
    QLabel* label9 = nullptr;
    QLabel* label10 = nullptr;
    QLabel* label11 = nullptr;
    QLabel* label12 = nullptr;  // the test banner, hidden
    QLabel* label14 = nullptr;
    QLineEdit* text1 = nullptr;   // prefix
    QLineEdit* text2 = nullptr;   // postfix
    QLineEdit* text3 = nullptr;   // on remove
    QComboBox* combo1 = nullptr;  // start from
    QComboBox* combo2 = nullptr;  // number of characters
    QComboBox* combo3 = nullptr;  // delimiter
    QComboBox* combo4 = nullptr;  // baud rate
    QCheckBox* check1 = nullptr;  // PS/2 keyboard lock
    QCheckBox* check2 = nullptr;  // Caps Lock
    QCheckBox* check3 = nullptr;  // buzzer
    StatusLogWidget* picture1 = nullptr;

    // Every control with its place in twips.
    std::vector<std::pair<QWidget*, TwipRect>> placements;
};

// The client area's size in twips.
inline constexpr int kClientWidthTwips = 9780;
inline constexpr int kClientHeightTwips = 7665;

// Creates the controls as children of `client` (empty lists, captions, limits, focus
// order) and places them at the screen's scale.
[[nodiscard]] Form1Controls CreateForm1Controls(QWidget& client);

// Sizes the client area and puts every control at its place for `scale`.
void PlaceForm1Controls(QWidget& client, const Form1Controls& controls, const TwipScale& scale);

}  // namespace rq::app
