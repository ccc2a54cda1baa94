#include "app/SettingsControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace rq::app {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void Select(QComboBox* list, const QString& text) {
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0) {
        list->setCurrentIndex(index);
    }
}

void FillPositions(QComboBox* list, int selected) {
    for (int position = kMinPosition; position <= kMaxPosition; ++position) {
        list->addItem(QString::number(position));
    }
    Select(list, QString::number(selected));
}

void ShowText(QLineEdit* box, const std::string& text) {
    // setText() also resets the cursor and the undo history: only when the text differs.
    const QString shown = FromUtf8(CutToFieldLength(text));
    if (box->text() != shown) {
        box->setText(shown);
    }
}

}  // namespace

SettingsControls::SettingsControls(const Form1Controls& controls, ReaderSettings& settings,
                                   QObject* parent)
    : QObject(parent), controls_(controls), settings_(settings) {
    connectEdits();
}

void SettingsControls::connectEdits() {
    const auto text = [this](QLineEdit* box, std::string ReaderSettings::*field) {
        connect(box, &QLineEdit::textChanged, this,
                [this, field](const QString& shown) { settings_.*field = shown.toStdString(); });
    };
    text(controls_.text1, &ReaderSettings::prefix);
    text(controls_.text2, &ReaderSettings::postfix);
    text(controls_.text3, &ReaderSettings::onRemove);

    const auto position = [this](QComboBox* list, int ReaderSettings::*field) {
        connect(list, &QComboBox::currentTextChanged, this, [this, field](const QString& shown) {
            bool ok = false;
            const int value = shown.toInt(&ok);
            if (ok) {
                settings_.*field = value;
            }
        });
    };
    position(controls_.combo1, &ReaderSettings::startFrom);
    position(controls_.combo2, &ReaderSettings::charCount);

    // A changed selection, by the operator or the program, recomputes the code from the
    // shown text; a text without a code leaves the code as it was.
    connect(controls_.combo3, &QComboBox::currentIndexChanged, this, [this] {
        if (const auto code = DelimiterCodeForText(controls_.combo3->currentText().toStdString())) {
            settings_.delimiter = *code;
        }
    });
    connect(controls_.combo4, &QComboBox::currentIndexChanged, this, [this] {
        if (const auto code = BaudCodeForText(controls_.combo4->currentText().toStdString())) {
            settings_.baudCode = *code;
        }
    });

    const auto check = [this](QCheckBox* box, bool ReaderSettings::*field) {
        connect(box, &QCheckBox::toggled, this,
                [this, field](bool checked) { settings_.*field = checked; });
    };
    check(controls_.check1, &ReaderSettings::ps2KbLock);
    check(controls_.check2, &ReaderSettings::capsLock);
    check(controls_.check3, &ReaderSettings::buzzer);
}

void SettingsControls::fillInitialState() {
    FillPositions(controls_.combo1, 1);
    FillPositions(controls_.combo2, 16);

    for (const std::string_view name : DelimiterNames) {
        controls_.combo3->addItem(FromUtf8(name));
    }
    settings_.delimiter = static_cast<int>(DelimiterCode::CrLf);
    Select(controls_.combo3, FromUtf8(DelimiterNames[settings_.delimiter]));

    for (const int code : kBaudListCodes) {
        controls_.combo4->addItem(FromUtf8(BaudNames[code]));
    }
    settings_.baudCode = static_cast<int>(BaudCode::Baud9600);
    Select(controls_.combo4, FromUtf8(BaudNames[settings_.baudCode]));

    controls_.text1->clear();
    controls_.text2->clear();
    controls_.text3->clear();
    controls_.check3->setChecked(true);
    controls_.check1->setChecked(false);
    controls_.check2->setChecked(false);
    takeEnabledState();
}

void SettingsControls::show() {
    // Work on a copy: every control written below writes its field back into the record.
    ReaderSettings shown = settings_;
    shown.delimiter = NormaliseDelimiterCode(shown.delimiter);
    shown.baudCode = NormaliseBaudCode(shown.baudCode);

    ShowText(controls_.text1, shown.prefix);
    Select(controls_.combo1, QString::number(shown.startFrom));
    Select(controls_.combo2, QString::number(shown.charCount));
    ShowText(controls_.text2, shown.postfix);
    Select(controls_.combo3, FromUtf8(DelimiterNames[shown.delimiter]));
    ShowText(controls_.text3, shown.onRemove);
    controls_.check3->setChecked(shown.buzzer);
    Select(controls_.combo4, FromUtf8(BaudNames[shown.baudCode]));
    controls_.check1->setChecked(shown.ps2KbLock);
    controls_.check2->setChecked(shown.capsLock);

    takeShownValues();
    // The codes are the normalised ones even where the shown text did not change.
    settings_.delimiter = shown.delimiter;
    settings_.baudCode = shown.baudCode;
    showCapsLockEnabled();
}

void SettingsControls::takeShownValues() {
    // A control that was already showing a value sends no change, and a value that no
    // control can show (a position outside the lists) must not stay in the record.
    settings_.prefix = controls_.text1->text().toStdString();
    settings_.startFrom = controls_.combo1->currentText().toInt();
    settings_.charCount = controls_.combo2->currentText().toInt();
    settings_.postfix = controls_.text2->text().toStdString();
    settings_.onRemove = controls_.text3->text().toStdString();
    settings_.buzzer = controls_.check3->isChecked();
    settings_.ps2KbLock = controls_.check1->isChecked();
    settings_.capsLock = controls_.check2->isChecked();
}

void SettingsControls::takeEnabledState() {
    // The box's own state: a disabled window must not count as a disabled box.
    settings_.capsLockEnabled = controls_.check2->isEnabledTo(controls_.check2->parentWidget());
    capsLockEnabledTaken_ = settings_.capsLockEnabled;
}

void SettingsControls::showCapsLockEnabled() {
    if (settings_.capsLockEnabled != capsLockEnabledTaken_) {
        controls_.check2->setEnabled(settings_.capsLockEnabled);
        capsLockEnabledTaken_ = settings_.capsLockEnabled;
    }
}

}  // namespace rq::app
