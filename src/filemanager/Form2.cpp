#include "filemanager/Form2.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

#include "core/Dialogs.h"
#include "core/Text.h"
#include "filemanager/DirectoryListing.h"
#include "filemanager/DriveDirectories.h"

namespace rq {
namespace {

// The entries of all three lists carry the bytes of the path or name they show, which
// the shown text need not hold (a name that is not UTF-8). Directory list entries carry
// the directory they lead to; the first entry, the shown directory itself, leads nowhere.
constexpr int kBytesRole = Qt::UserRole;

char Separator() {
    return QDir::separator().toLatin1();
}

QString Shown(const std::string& bytes) {
    return QString::fromStdString(text::PathForDisplay(bytes));
}

QByteArray Bytes(const std::string& bytes) {
    return QByteArray::fromStdString(bytes);
}

std::string BytesOf(const QVariant& data) {
    return data.toByteArray().toStdString();
}

// In a list where nothing is chosen yet, the first arrow key chooses the entry under the
// focus frame (the first one, after Tab) instead of moving past it, as desktop lists do.
bool ChooseFocusedEntry(QListWidget& list, const QKeyEvent& key) {
    const bool arrow = key.key() == Qt::Key_Down || key.key() == Qt::Key_Up;
    if (!arrow || (key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || list.count() == 0 ||
        !list.selectedItems().isEmpty()) {
        return false;
    }
    QListWidgetItem* focused = list.currentItem() != nullptr ? list.currentItem() : list.item(0);
    list.setCurrentItem(focused, QItemSelectionModel::ClearAndSelect);
    return true;
}

// Desktop fonts are wider than the ones the window's layout was made for: a caption
// that would be cut off gets a smaller font, down to a size that is still readable.
void FitLabelText(QLabel& label) {
    constexpr qreal kSmallestPointSize = 6.0;
    QFont font = label.parentWidget()->font();
    while (QFontMetrics(font).horizontalAdvance(label.text()) > label.width() &&
           font.pointSizeF() > kSmallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    label.setFont(font);
}

}  // namespace

Form2::Form2(ProgramState& state, Dialogs& dialogs, DriveDirectories& drives, VolumeSource volumes)
    : Drive1(new QComboBox(this)),
      Dir1(new QListWidget(this)),
      File1(new QListWidget(this)),
      Label1(new QLabel(QStringLiteral("FileName     *.kxs"), this)),
      Text1(new QLineEdit(this)),
      Command1(new QPushButton(this)),
      state_(state),
      dialogs_(dialogs),
      drives_(drives),
      volumes_(std::move(volumes)) {
    setWindowTitle(QStringLiteral("4720 File Manager"));
    // The main window alone decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    placeControls();
    connectControls();

    fillDriveList();
    if (!showDirectory(drives_.currentDirectory()).empty()) {
        showDirectory(NearestReadableDirectory(drives_.currentDirectory()));
    }
}

void Form2::placeControls() {
    const auto x = [this](int twips) { return (twips * logicalDpiX() + 720) / 1440; };
    const auto y = [this](int twips) { return (twips * logicalDpiY() + 720) / 1440; };
    const auto place = [&](QWidget* control, int left, int top, int width, int height) {
        control->setGeometry(x(left), y(top), x(width), y(height));
    };
    setFixedSize(x(6765), y(4395));
    place(Drive1, 120, 120, 2775, 315);
    place(Dir1, 120, 600, 2775, 3690);
    place(File1, 3000, 120, 3615, 2790);
    place(Label1, 3000, 3000, 3615, 255);
    place(Text1, 3000, 3240, 3615, 375);
    place(Command1, 3000, 3720, 3615, 495);

    Drive1->setObjectName(QStringLiteral("Drive1"));
    Dir1->setObjectName(QStringLiteral("Dir1"));
    File1->setObjectName(QStringLiteral("File1"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Text1->setObjectName(QStringLiteral("Text1"));
    Command1->setObjectName(QStringLiteral("Command1"));
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    Command1->installEventFilter(this);
    File1->installEventFilter(this);

    setTabOrder(Command1, File1);
    setTabOrder(File1, Drive1);
    setTabOrder(Drive1, Dir1);
    setTabOrder(Dir1, Text1);
    Command1->setFocus();
}

void Form2::connectControls() {
    connect(Drive1, &QComboBox::currentIndexChanged, this, &Form2::driveChanged);
    connect(Dir1, &QListWidget::itemActivated, this, &Form2::directoryActivated);
    // A click, a double click, Enter, or a selection moved with the arrow keys all choose
    // a file. Merely tabbing into the list does not: it would overwrite a typed name.
    connect(File1, &QListWidget::itemClicked, this, &Form2::fileChosen);
    connect(File1, &QListWidget::itemActivated, this, &Form2::fileChosen);
    connect(File1, &QListWidget::itemSelectionChanged, this, &Form2::fileSelectionChanged);
    connect(Command1, &QPushButton::clicked, this, &Form2::buttonPressed);
    connect(Text1, &QLineEdit::returnPressed, Command1, &QPushButton::click);
    connect(Text1, &QLineEdit::textEdited, this, [this] { chosenName_.reset(); });
}

void Form2::prepare(FileCommand command) {
    const FileManagerSetup setup = SetupFor(command);
    pattern_ = std::string(setup.pattern);
    Command1->setText(QString::fromUtf8(setup.buttonCaption.data(),
                                        static_cast<qsizetype>(setup.buttonCaption.size())));
    Label1->setText(QString::fromUtf8(setup.labelCaption.data(),
                                      static_cast<qsizetype>(setup.labelCaption.size())));
    Text1->setReadOnly(!setup.nameEditable);
    FitLabelText(*Label1);
    refreshFileList();
}

bool Form2::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        // After the activation has been handled, so that a message box does not open
        // inside it.
        QMetaObject::invokeMethod(this, &Form2::refreshOnActivation, Qt::QueuedConnection);
    }
    return QWidget::event(event);
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    emit discarded();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Command1 && event->type() == QEvent::Enter) {
        refreshFileList();  // files created meanwhile appear before the button is pressed
    }
    if (watched == File1 && event->type() == QEvent::KeyPress &&
        ChooseFocusedEntry(*File1, static_cast<const QKeyEvent&>(*event))) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::refreshOnActivation() {
    if (busy_ && busy_()) {
        return;
    }
    fillDriveList();
    // Showing the directory lists its files too.
    const std::string wanted = drives_.directoryOf(selectedDrive());
    const std::string problem = showDirectory(wanted);
    if (!problem.empty()) {
        // Stay usable: fall back to what can still be read.
        showDirectory(NearestReadableDirectory(wanted));
    }
    if (!problem.empty() && problem != lastActivationProblem_) {
        showProblem(problem);
    }
    lastActivationProblem_ = problem;
}

void Form2::refreshFileList() {
    (void)fillFileList();
}

void Form2::driveChanged(int index) {
    if (updatingLists_ || index < 0) {
        return;
    }
    const std::string root = BytesOf(Drive1->itemData(index));
    const std::string problem = showDirectory(drives_.directoryOf(root));
    if (problem.empty()) {
        return;
    }
    // Start at the volume's root next time, in case only the remembered directory is gone.
    drives_.forget(root);
    showProblem(problem);
    selectDrive(drives_.driveOf(directory_, roots_));
    fileListPath_ = directory_;
    refreshFileList();
}

void Form2::directoryActivated(QListWidgetItem* item) {
    const std::string target = BytesOf(item->data(kBytesRole));
    if (target.empty()) {
        return;
    }
    if (const std::string problem = showDirectory(target); !problem.empty()) {
        showProblem(problem);
    }
}

void Form2::fileChosen(QListWidgetItem* item) {
    if (item != nullptr) {
        chosenName_ = BytesOf(item->data(kBytesRole));
        Text1->setText(item->text());
    }
}

void Form2::fileSelectionChanged() {
    const auto selected = File1->selectedItems();
    if (!updatingLists_ && !selected.isEmpty()) {
        fileChosen(selected.front());
    }
}

void Form2::buttonPressed() {
    // The chosen file's own bytes while the box shows its name; else the typed name.
    const bool showsChosen = chosenName_ && Text1->text() == Shown(*chosenName_);
    const std::string name = showsChosen ? *chosenName_ : Text1->text().toStdString();
    if (name.empty()) {
        dialogs_.messageBox("Please select a file!", kApplicationTitle, DialogIcon::None,
                            DialogButtons::Ok);
        return;
    }
    ConfirmFileChoice(state_, fileListPath_, name, Separator());
    hide();
    emit choiceConfirmed();
}

std::string Form2::showDirectory(const std::string& directory) {
    const DirectoryListing subdirectories = ListSubdirectories(directory);
    if (!subdirectories.problem.empty()) {
        return subdirectories.problem;
    }
    directory_ = directory;
    const std::string root = drives_.driveOf(directory_, roots_);
    drives_.remember(root, directory_);
    selectDrive(root);

    updatingLists_ = true;
    Dir1->clear();
    const QStyle* look = style();
    auto* here =
        new QListWidgetItem(look->standardIcon(QStyle::SP_DirOpenIcon), Shown(directory_), Dir1);
    here->setToolTip(here->text());
    const std::string parent = ParentDirectory(directory_);
    if (parent != directory_) {
        auto* up = new QListWidgetItem(look->standardIcon(QStyle::SP_FileDialogToParent),
                                       QStringLiteral(".."), Dir1);
        up->setData(kBytesRole, Bytes(parent));
    }
    for (const auto& name : subdirectories.names) {
        auto* item = new QListWidgetItem(look->standardIcon(QStyle::SP_DirIcon), Shown(name), Dir1);
        item->setData(kBytesRole, Bytes(JoinDirectoryAndName(directory_, name, Separator())));
    }
    Dir1->setCurrentRow(0);
    updatingLists_ = false;

    // The file list follows the directory list.
    fileListPath_ = directory_;
    return fillFileList();
}

void Form2::fillDriveList() {
    roots_ = volumes_();
    updatingLists_ = true;
    Drive1->clear();
    for (const auto& root : roots_) {
        Drive1->addItem(Shown(root), Bytes(root));
    }
    updatingLists_ = false;
    if (!directory_.empty()) {
        selectDrive(drives_.driveOf(directory_, roots_));
    }
}

void Form2::selectDrive(const std::string& root) {
    updatingLists_ = true;
    Drive1->setCurrentIndex(Drive1->findData(Bytes(root)));
    updatingLists_ = false;
}

std::string Form2::selectedDrive() const {
    return BytesOf(Drive1->currentData());
}

std::string Form2::fillFileList() {
    const DirectoryListing files = ListMatchingFiles(fileListPath_, pattern_);
    const QVariant chosen =
        File1->currentItem() != nullptr ? File1->currentItem()->data(kBytesRole) : QVariant();
    updatingLists_ = true;
    File1->clear();
    for (const auto& name : files.names) {
        auto* item = new QListWidgetItem(Shown(name), File1);
        item->setData(kBytesRole, Bytes(name));
        if (item->data(kBytesRole) == chosen) {
            File1->setCurrentItem(item);
        }
    }
    updatingLists_ = false;
    return files.problem;
}

void Form2::showProblem(const std::string& description) {
    dialogs_.messageBox(description, kApplicationTitle, DialogIcon::None, DialogButtons::Ok);
}

}  // namespace rq
