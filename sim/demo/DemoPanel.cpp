#include "DemoPanel.h"

#include "KeyboardTyping.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace rq::demo {
namespace {

QString Hex(const sim::SettingsBlock& block) {
    QString text;
    for (std::size_t i = 0; i < block.size(); ++i) {
        text += QString::asprintf("%02X%s", block[i], (i % 16 == 15) ? "\n" : " ");
    }
    return text.trimmed();
}

// The reader's version and the image its last firmware update brought.
QString FirmwareText(sim::ReaderModel& reader) {
    const sim::Bytes& image = reader.image();
    QString text = QStringLiteral("Firmware version: %1")
                       .arg(QString::fromLatin1(reader.config().version.c_str()));
    if (reader.erases() > 0) {
        text += QStringLiteral("\nLast update: %1 bytes received%2")
                    .arg(image.size())
                    .arg(reader.flashComplete() ? QStringLiteral(", complete")
                                                : QStringLiteral(", not complete"));
    }
    return text;
}

}  // namespace

DemoPanel::DemoPanel(sim::SimulatedUsbReader& usb, sim::PtyReader& serial, QWidget* parent)
    : QWidget(parent), usb_(usb), serial_(serial) {
    setWindowTitle(QStringLiteral("Simulated RQ-4720 readers"));
    auto* layout = new QVBoxLayout(this);

    usbPlugged_ = new QCheckBox(QStringLiteral("Reader on USB (revision B) plugged in"), this);
    usbPlugged_->setChecked(true);
    connect(usbPlugged_, &QCheckBox::toggled, this, [this](bool plugged) {
        if (plugged) {
            usb_.simLibrary().plugIn(0);
        } else {
            usb_.simLibrary().unplug(0);
        }
    });
    layout->addWidget(usbPlugged_);
    layout->addWidget(new QLabel(QStringLiteral("Unplug it to make the tool fall back to RS232.\n"
                                                "RS232 reader (COM1) on %1, revision %2.")
                                     .arg(QString::fromStdString(serial_.slavePath()),
                                          serial_.withReader([](sim::ReaderModel& r) {
                                              return r.revision() == sim::Revision::B
                                                         ? QStringLiteral("B")
                                                         : QStringLiteral("A");
                                          })),
                                 this));

    auto* id = new QLineEdit(QStringLiteral("0000012345678901"), this);
    // Both readers see the iButton: the RS232 reader sends its ID on the line, the USB
    // reader (while plugged in) types it into the tool's focused widget, as a keyboard.
    auto* place = new QPushButton(QStringLiteral("Place iButton"), this);
    connect(place, &QPushButton::clicked, this, [this, id] {
        const std::string text = id->text().toStdString();
        serial_.withReader([&text](sim::ReaderModel& r) {
            r.placeIButtonId(text, sim::PtyReader::Now());
            r.removeIButton(sim::PtyReader::Now());
        });
        if (usbPlugged_->isChecked() && keyboardWindow_ != nullptr) {
            keyboardWindow_->activateWindow();
            TypeIntoWindow(*keyboardWindow_, usb_.typeIButtonId(text));
        }
    });
    layout->addWidget(id);
    layout->addWidget(place);

    settingsView_ = new QPlainTextEdit(this);
    settingsView_->setReadOnly(true);
    settingsView_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    settingsView_->setMinimumSize(420, 250);
    layout->addWidget(settingsView_);

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &DemoPanel::refresh);
    timer->start(500);
    refresh();
}

void DemoPanel::setKeyboardWindow(QWidget* window) {
    keyboardWindow_ = window;
}

void DemoPanel::refresh() {
    const sim::SettingsBlock serialBlock =
        serial_.withReader([](sim::ReaderModel& r) { return r.settings(); });
    const QString serialFirmware = serial_.withReader(FirmwareText);
    settingsView_->setPlainText(QStringLiteral("Settings block of the USB reader:\n%1\n%2\n\n"
                                               "Settings block of the RS232 reader:\n%3\n%4")
                                    .arg(Hex(usb_.reader().settings()), FirmwareText(usb_.reader()),
                                         Hex(serialBlock), serialFirmware));
}

}  // namespace rq::demo
