#pragma once

#include <QPointer>
#include <QWidget>

#include "core/Dialogs.h"

namespace rq::app {

// Message boxes as modal QMessageBoxes over the main window.
class QtDialogs final : public rq::Dialogs {
  public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

    DialogAnswer messageBox(std::string_view prompt, std::string_view title, DialogIcon icon,
                            DialogButtons buttons) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace rq::app
