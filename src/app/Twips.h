#pragma once

#include <QPointF>
#include <QRect>

class QWidget;

namespace rq::app {

// A rectangle in twips (1/1440 inch), as the window's layout gives it.
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

inline constexpr double kTwipsPerInch = 1440.0;

// Converts between twips and the pixels of a screen at its logical DPI. Every
// position and size of the windows goes through here, so the layout keeps its
// physical size at 96 DPI, 192 DPI or any other setting.
class TwipScale {
  public:
    TwipScale(double dpiX, double dpiY);
    // The logical DPI of the screen the widget is on (the primary screen before it is shown).
    [[nodiscard]] static TwipScale of(const QWidget& widget);

    [[nodiscard]] int toPixelsX(double twips) const;
    [[nodiscard]] int toPixelsY(double twips) const;
    [[nodiscard]] QRect toPixels(const TwipRect& rect) const;
    [[nodiscard]] QSize toPixels(int widthTwips, int heightTwips) const;
    // Unrounded, for drawing text at positions kept in twips.
    [[nodiscard]] QPointF toPixelsF(double xTwips, double yTwips) const;

    [[nodiscard]] double toTwipsX(double pixels) const;
    [[nodiscard]] double toTwipsY(double pixels) const;

    [[nodiscard]] double dpiX() const { return dpiX_; }
    [[nodiscard]] double dpiY() const { return dpiY_; }

  private:
    double dpiX_;
    double dpiY_;
};

}  // namespace rq::app
