#pragma once

#include <QObject>

#include "app/Form1Controls.h"
#include "settings/ReaderSettings.h"

namespace rq::app {

// Binds the settings controls of the main window to the window's ReaderSettings.
// Edits in the controls go into the record at once; after a core operation has
// changed the record, show() brings the controls up to date.
//
// Whether Check2 can be changed has two writers: reads from the reader (through
// capsLockEnabled in the record) and the communication test (on the control itself).
// takeEnabledState() copies the control's state into the record before an operation;
// show() applies the record's value only when the operation changed it.
class SettingsControls final : public QObject {
    Q_OBJECT

  public:
    SettingsControls(const Form1Controls& controls, ReaderSettings& settings,
                     QObject* parent = nullptr);

    // Fills the lists and selects the defaults, in the order the window opens with.
    void fillInitialState();

    // Shows the record in the controls. Texts are cut to what a text box holds and
    // codes without a list text are normalised, so record and controls agree after.
    void show();

    // Copies whether Check2 can be changed into the record.
    void takeEnabledState();

  private:
    void connectEdits();
    void takeShownValues();
    void showCapsLockEnabled();

    Form1Controls controls_;
    ReaderSettings& settings_;
    bool capsLockEnabledTaken_ = true;
};

}  // namespace rq::app
