#include "app/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace rq::app {

TwipScale::TwipScale(double dpiX, double dpiY)
    : dpiX_(dpiX > 0 ? dpiX : 96.0), dpiY_(dpiY > 0 ? dpiY : 96.0) {}

TwipScale TwipScale::of(const QWidget& widget) {
    // QWidget::screen() falls back to the primary screen before the window exists.
    const QScreen* screen = widget.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return {96.0, 96.0};
    }
    return {screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY()};
}

int TwipScale::toPixelsX(double twips) const {
    return static_cast<int>(std::lround(twips * dpiX_ / kTwipsPerInch));
}

int TwipScale::toPixelsY(double twips) const {
    return static_cast<int>(std::lround(twips * dpiY_ / kTwipsPerInch));
}

QRect TwipScale::toPixels(const TwipRect& rect) const {
    // Edges are rounded, not sizes, so neighbouring controls never gap or overlap.
    const int left = toPixelsX(rect.left);
    const int top = toPixelsY(rect.top);
    const int right = toPixelsX(rect.left + rect.width);
    const int bottom = toPixelsY(rect.top + rect.height);
    return {left, top, right - left, bottom - top};
}

QSize TwipScale::toPixels(int widthTwips, int heightTwips) const {
    return {toPixelsX(widthTwips), toPixelsY(heightTwips)};
}

QPointF TwipScale::toPixelsF(double xTwips, double yTwips) const {
    return {xTwips * dpiX_ / kTwipsPerInch, yTwips * dpiY_ / kTwipsPerInch};
}

double TwipScale::toTwipsX(double pixels) const {
    return pixels * kTwipsPerInch / dpiX_;
}

double TwipScale::toTwipsY(double pixels) const {
    return pixels * kTwipsPerInch / dpiY_;
}

}  // namespace rq::app
