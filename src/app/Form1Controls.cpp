#include "app/Form1Controls.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <algorithm>

#include "app/FieldLengthValidator.h"
#include "app/StatusLogWidget.h"
#include "app/WrappingCheckBox.h"
#include "settings/ReaderSettings.h"

namespace rq::app {
namespace {

enum class LabelStyle { Plain, Heading };

template <typename Control>
Control* Add(QWidget& client, Form1Controls& controls, const char* name, TwipRect place) {
    auto* control = new Control(&client);  // owned by the client area
    control->setObjectName(QString::fromLatin1(name));
    controls.placements.emplace_back(control, place);
    return control;
}

QLabel* AddLabel(QWidget& client, Form1Controls& controls, const char* name, const char* caption,
                 TwipRect place, LabelStyle style = LabelStyle::Plain) {
    auto* label = Add<QLabel>(client, controls, name, place);
    label->setText(QString::fromUtf8(caption));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (style == LabelStyle::Heading) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

QLineEdit* AddTextBox(QWidget& client, Form1Controls& controls, const char* name, TwipRect place) {
    auto* box = Add<QLineEdit>(client, controls, name, place);
    box->setValidator(new FieldLengthValidator(kMaxFieldCharacters, box));  // owned by the box
    return box;
}

QComboBox* AddList(QWidget& client, Form1Controls& controls, const char* name, TwipRect place) {
    auto* list = Add<QComboBox>(client, controls, name, place);
    list->setEditable(false);  // pick from the list only, no free text
    return list;
}

QCheckBox* AddCheckBox(QWidget& client, Form1Controls& controls, const char* name,
                       const char* caption, TwipRect place) {
    auto* box = Add<WrappingCheckBox>(client, controls, name, place);
    box->setText(QString::fromUtf8(caption));
    return box;
}

}  // namespace

Form1Controls CreateForm1Controls(QWidget& client) {
    Form1Controls c;
    // The status area comes first so that it is first in the focus chain as well.
    c.picture1 = Add<StatusLogWidget>(client, c, "Picture1", {600, 4560, 8535, 2895});

    c.label1 = AddLabel(client, c, "Label1", "* iButton ID output settings *",
                        {360, 480, 4215, 375}, LabelStyle::Heading);
    c.label5 = AddLabel(client, c, "Label5", "Prefix characters:", {600, 1080, 2055, 255});
    c.text1 = AddTextBox(client, c, "Text1", {3120, 1080, 2415, 315});
    c.label2 = AddLabel(client, c, "Label2", "Start from character:", {600, 1560, 2055, 255});
    c.combo1 = AddList(client, c, "Combo1", {3120, 1560, 2415, 300});
    c.label3 = AddLabel(client, c, "Label3", "Number of  character:", {600, 2040, 2415, 255});
    c.combo2 = AddList(client, c, "Combo2", {3120, 2040, 2415, 300});
    c.label6 = AddLabel(client, c, "Label6", "Postfix characters:", {600, 2520, 2055, 255});
    c.text2 = AddTextBox(client, c, "Text2", {3120, 2520, 2415, 315});
    c.label4 = AddLabel(client, c, "Label4", "Delimiter:", {600, 3000, 2055, 255});
    c.combo3 = AddList(client, c, "Combo3", {3120, 3000, 2415, 300});
    c.label7 = AddLabel(client, c, "Label7", "Onremove characters:", {600, 3480, 2415, 255});
    c.text3 = AddTextBox(client, c, "Text3", {3120, 3480, 2415, 315});
    c.check3 = AddCheckBox(client, c, "Check3", "Buzzer sound", {600, 3960, 1935, 375});

    c.label12 = AddLabel(client, c, "Label12", "T e s t i n g  . . .", {3120, 3960, 3855, 615});
    QFont bannerFont = c.label12->font();
    bannerFont.setPointSize(24);
    c.label12->setFont(bannerFont);
    QPalette bannerPalette = c.label12->palette();
    bannerPalette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    c.label12->setPalette(bannerPalette);
    c.label12->hide();  // shown while the communication test runs

    c.label8 = AddLabel(client, c, "Label8", "* RS232/USB-RS232 setting *", {6120, 960, 3375, 375},
                        LabelStyle::Heading);
    c.label9 = AddLabel(client, c, "Label9", "Baud Rate:", {6360, 1320, 2055, 255});
    c.combo4 = AddList(client, c, "Combo4", {7800, 1320, 1335, 300});
    c.label11 = AddLabel(client, c, "Label11", "* PS2-KB setting *", {6120, 1920, 2535, 375},
                         LabelStyle::Heading);
    c.check1 = AddCheckBox(client, c, "Check1", "PS2 Keyboard Locked (iButton not present)",
                           {6360, 2160, 2895, 615});
    c.label14 = AddLabel(client, c, "Label14", "* USB-KB setting *", {6120, 3000, 2535, 375},
                         LabelStyle::Heading);
    c.check2 = AddCheckBox(client, c, "Check2", "Always CapsLock ON", {6360, 3360, 2775, 375});
    c.label10 = AddLabel(client, c, "Label10", "Status Messages ", {7800, 4320, 1335, 375});

    QWidget* const focusOrder[] = {c.picture1, c.combo1, c.combo2, c.combo3, c.combo4, c.text1,
                                   c.text2,    c.text3,  c.check1, c.check2, c.check3};
    for (std::size_t i = 1; i < std::size(focusOrder); ++i) {
        QWidget::setTabOrder(focusOrder[i - 1], focusOrder[i]);
    }

    PlaceForm1Controls(client, c, TwipScale::of(client));
    return c;
}

void PlaceForm1Controls(QWidget& client, const Form1Controls& controls, const TwipScale& scale) {
    client.setFixedSize(scale.toPixels(kClientWidthTwips, kClientHeightTwips));
    for (const auto& [control, place] : controls.placements) {
        QRect geometry = scale.toPixels(place);
        // A caption wider than its place in the chosen font grows to the right rather
        // than being cut ("Status Messages " in a wide sans-serif).
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
            geometry.setWidth(std::max(geometry.width(), label->sizeHint().width()));
        }
        control->setGeometry(geometry);
    }
}

}  // namespace rq::app
