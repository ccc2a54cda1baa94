#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "filemanager/FileManager.h"
#include "settings/SettingsFile.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace rq {
namespace {

using testing::FakeDialogs;
using testing::FakeStatusLog;
namespace fs = std::filesystem;

// A directory tree of its own: three settings files, a firmware image and a subdirectory.
class TempTree {
  public:
    TempTree() {
        std::string pattern = (fs::temp_directory_path() / "rq-form2-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        for (const char* name : {"conf.kxs", "other.kxs", "UPPER.KXS", "fw.bin", "notes.txt"}) {
            touch(name);
        }
        fs::create_directory(fs::path(root_) / "sub");
        touch("sub/inner.kxs");
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    ~TempTree() { fs::remove_all(root_); }
    void touch(const std::string& name) const { std::ofstream(fs::path(root_) / name) << "x"; }
    [[nodiscard]] const std::string& root() const { return root_; }

  private:
    std::string root_;
};

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts << list->item(i)->text();
    }
    return texts;
}

// The control that Tab moves to from `from`.
QWidget* NextByTab(QWidget* from) {
    QWidget* next = from->nextInFocusChain();
    while (next != from && ((next->focusPolicy() & Qt::TabFocus) == 0 || !next->isVisible())) {
        next = next->nextInFocusChain();
    }
    return next;
}

int Pixels(int twips, int dpi) {
    return (twips * dpi + 720) / 1440;
}

class FileManagerWindow : public ::testing::Test {
  protected:
    FileManagerWindow() { state.ChosenFilePath = "previous"; }

    Form2& open(FileCommand command, QWidget* mainWindow = nullptr) {
        manager.show(command, mainWindow);
        Form2* window = manager.window();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        QCoreApplication::processEvents();
        return *window;
    }
    std::string inRoot(const std::string& name) const { return tree.root() + "/" + name; }
    // The directory list entry with this text, made current.
    void pickDirectory(Form2& window, const QString& text) {
        const auto found = window.Dir1->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        window.Dir1->setCurrentItem(found.front());
    }

    TempTree tree;
    std::vector<std::string> volumes = {"/", tree.root()};
    ProgramState state;
    FakeStatusLog log;
    FakeDialogs dialogs;
    int bringBacks = 0;
    FileManager manager{
        state, log, dialogs, [this] { ++bringBacks; }, [this] { return volumes; }, tree.root()};
};

TEST_F(FileManagerWindow, EachCommandPreparesTheWindowAndRecordsItsAction) {
    state.PendingFileAction = FileAction::SaveSettings;
    Form2& window = open(FileCommand::OpenSettings);
    EXPECT_EQ(window.windowTitle(), "4720 File Manager");
    EXPECT_EQ(state.PendingFileAction, FileAction::PickSettingsToLoad);
    EXPECT_EQ(log.clears, 1);
    EXPECT_EQ(window.Command1->text(), "Open the settings file");
    EXPECT_EQ(window.Label1->text(), "*.kxs to open:");
    EXPECT_TRUE(window.Text1->isReadOnly());
    EXPECT_EQ(Texts(window.File1), (QStringList{"conf.kxs", "other.kxs", "UPPER.KXS"}));
    EXPECT_EQ(window.Drive1->currentText().toStdString(), tree.root());
    EXPECT_EQ(window.directoryPath(), tree.root());

    open(FileCommand::SaveSettings);
    EXPECT_EQ(manager.window(), &window);
    EXPECT_EQ(state.PendingFileAction, FileAction::PickSettingsToSave);
    EXPECT_EQ(window.Command1->text(), "Save settings file");
    EXPECT_EQ(window.Label1->text(), "Save to .kxs (manually keyin for Save as)");
    EXPECT_FALSE(window.Text1->isReadOnly());

    open(FileCommand::UpdateFirmware);
    EXPECT_EQ(state.PendingFileAction, FileAction::PickFirmware);
    EXPECT_EQ(window.Command1->text(), "Open the bin file and update");
    EXPECT_EQ(window.Label1->text(), "Firmware *.bin to open:");
    EXPECT_TRUE(window.Text1->isReadOnly());
    EXPECT_EQ(Texts(window.File1), QStringList{"fw.bin"});
    EXPECT_EQ(log.clears, 3);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(FileManagerWindow, LayoutFollowsTheTwipsAndTheTabOrder) {
    QWidget mainWindow;
    mainWindow.move(300, 200);
    mainWindow.show();
    Form2& window = open(FileCommand::OpenSettings, &mainWindow);
    const int dpiX = window.logicalDpiX();
    const int dpiY = window.logicalDpiY();
    EXPECT_EQ(window.size(), QSize(Pixels(6765, dpiX), Pixels(4395, dpiY)));
    EXPECT_EQ(window.Command1->geometry(),
              QRect(Pixels(3000, dpiX), Pixels(3720, dpiY), Pixels(3615, dpiX), Pixels(495, dpiY)));
    EXPECT_EQ(window.Dir1->geometry().topLeft(), QPoint(Pixels(120, dpiX), Pixels(600, dpiY)));
    EXPECT_EQ(window.pos(), mainWindow.pos() + QPoint(Pixels(100, mainWindow.logicalDpiX()),
                                                      Pixels(800, mainWindow.logicalDpiY())));
    EXPECT_EQ(NextByTab(window.Command1), window.File1);
    EXPECT_EQ(NextByTab(window.File1), window.Drive1);
    EXPECT_EQ(NextByTab(window.Drive1), window.Dir1);
    EXPECT_EQ(NextByTab(window.Dir1), window.Text1);
    EXPECT_EQ(NextByTab(window.Text1), window.Command1);
}

TEST_F(FileManagerWindow, EmptyNameShowsTheBoxAndChangesNothing) {
    Form2& window = open(FileCommand::SaveSettings);
    QTest::mouseClick(window.Command1, Qt::LeftButton);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].prompt, "Please select a file!");
    EXPECT_EQ(dialogs.shown[0].title, "4720-01");
    EXPECT_EQ(dialogs.shown[0].buttons, DialogButtons::Ok);
    EXPECT_EQ(state.PendingFileAction, FileAction::PickSettingsToSave);
    EXPECT_EQ(state.ChosenFilePath, "previous");
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(manager.takeReturnRequest());
    EXPECT_EQ(bringBacks, 0);
}

TEST_F(FileManagerWindow, SavingATypedNameAppendsTheExtensionAndReturnsOnce) {
    Form2& window = open(FileCommand::SaveSettings);
    QTest::keyClicks(window.Text1, "new");
    QTest::keyClick(window.Text1, Qt::Key_Return);
    EXPECT_EQ(state.ChosenFilePath, inRoot("new.kxs"));
    EXPECT_EQ(state.PendingFileAction, FileAction::SaveSettings);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(bringBacks, 1);
    EXPECT_TRUE(manager.takeReturnRequest());
    EXPECT_FALSE(manager.takeReturnRequest());

    // Shown again, the window still holds the name.
    Form2& again = open(FileCommand::OpenSettings);
    EXPECT_EQ(&again, &window);
    EXPECT_EQ(window.Text1->text(), "new");
    EXPECT_EQ(state.PendingFileAction, FileAction::PickSettingsToLoad);
}

TEST_F(FileManagerWindow, KeyboardChoosesTheFirstFileAndOpenNeverAppends) {
    Form2& window = open(FileCommand::OpenSettings);
    // Tab puts the focus frame on the first file; the first arrow key or Space chooses it.
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Space}) {
        window.File1->setCurrentItem(nullptr);
        window.Text1->clear();
        window.Command1->setFocus();
        QTest::keyClick(window.Command1, Qt::Key_Tab);
        ASSERT_TRUE(window.File1->hasFocus());
        EXPECT_EQ(window.Text1->text(), "") << "tabbing into the list chooses nothing";
        QTest::keyClick(window.File1, key);
        EXPECT_EQ(window.Text1->text(), "conf.kxs") << key;
    }
    QTest::keyClick(window.File1, Qt::Key_Down);
    EXPECT_EQ(window.Text1->text(), "other.kxs");
    QTest::keyClick(window.Command1, Qt::Key_Space);
    EXPECT_EQ(state.ChosenFilePath, inRoot("other.kxs"));
    EXPECT_EQ(state.PendingFileAction, FileAction::LoadSettings);
}

TEST_F(FileManagerWindow, NameThatIsNotUtf8IsChosenLoadedAndSavedUnderItsOwnBytes) {
    const std::string name = "caf\xE9.kxs";  // Windows-1252, copied from old media
    tree.touch(name);
    Form2& window = open(FileCommand::OpenSettings);
    const auto found =
        window.File1->findItems(QString::fromUtf8("caf\u00E9.kxs"), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    window.File1->setCurrentItem(found.front());
    window.Command1->click();
    EXPECT_EQ(state.ChosenFilePath, inRoot(name));

    open(FileCommand::SaveSettings);  // the name box still shows the chosen file
    window.Command1->click();
    ASSERT_EQ(state.ChosenFilePath, inRoot(name));
    ReaderSettings settings;
    settings.prefix = "NEW";
    SaveSettingsFile(state.ChosenFilePath, settings, log, dialogs);
    settings = ReaderSettings{};
    LoadSettingsFile(state.ChosenFilePath, settings, log, dialogs);
    EXPECT_EQ(settings.prefix, "NEW");
    EXPECT_TRUE(dialogs.shown.empty());
    const std::string shown = inRoot("caf\u00E9.kxs");
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"Settings saved ok to : " + shown,
                                                     "Settings file: " + shown + " opened.",
                                                     "Settings put on all fields."}));
}

TEST_F(FileManagerWindow, TabbingThroughTheListKeepsATypedName) {
    Form2& window = open(FileCommand::SaveSettings);
    QTest::keyClicks(window.Text1, "typed");
    window.File1->setFocus(Qt::TabFocusReason);
    window.refreshFileList();
    EXPECT_EQ(window.Text1->text(), "typed");
    // A click chooses, also the file that is already current.
    QTest::mouseClick(window.File1->viewport(), Qt::LeftButton, {},
                      window.File1->visualItemRect(window.File1->item(0)).center());
    EXPECT_EQ(window.Text1->text(), "conf.kxs");
}

TEST_F(FileManagerWindow, FilesInTheRootGetASingleSeparator) {
    FileManager atRoot(
        state, log, dialogs, {}, [] { return std::vector<std::string>{"/"}; }, "/");
    atRoot.show(FileCommand::SaveSettings, nullptr);
    Form2& window = *atRoot.window();
    window.Text1->setText("x");
    window.Command1->click();
    EXPECT_EQ(state.ChosenFilePath, "/x.kxs");

    atRoot.show(FileCommand::UpdateFirmware, nullptr);
    window.Text1->setText("fw.bin");
    window.Command1->click();
    EXPECT_EQ(state.ChosenFilePath, "/fw.bin");
    EXPECT_EQ(state.PendingFileAction, FileAction::FlashFirmware);
}

TEST_F(FileManagerWindow, CloseBoxDiscardsTheWindowAndKeepsTheAction) {
    Form2* window = &open(FileCommand::OpenSettings);
    window->File1->setCurrentRow(0);
    EXPECT_EQ(window->Text1->text(), "conf.kxs");
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(manager.window(), nullptr);
    EXPECT_EQ(state.PendingFileAction, FileAction::PickSettingsToLoad);
    EXPECT_EQ(state.ChosenFilePath, "previous");
    EXPECT_FALSE(manager.takeReturnRequest());
    EXPECT_EQ(bringBacks, 0);

    window = &open(FileCommand::OpenSettings);
    EXPECT_EQ(window->Text1->text(), "");
    EXPECT_EQ(window->directoryPath(), tree.root());
}

TEST_F(FileManagerWindow, DirectoriesAreEnteredWithTheKeyboard) {
    Form2& window = open(FileCommand::OpenSettings);
    EXPECT_EQ(Texts(window.Dir1), (QStringList{QString::fromStdString(tree.root()), "..", "sub"}));
    pickDirectory(window, "sub");
    QTest::keyClick(window.Dir1, Qt::Key_Return);
    EXPECT_EQ(window.directoryPath(), inRoot("sub"));
    EXPECT_EQ(window.fileListPath(), inRoot("sub"));
    EXPECT_EQ(Texts(window.File1), QStringList{"inner.kxs"});

    window.Text1->setText("inner.kxs");
    window.Command1->click();
    EXPECT_EQ(state.ChosenFilePath, inRoot("sub/inner.kxs"));

    // Leaving the volume's root moves the drive list to the volume above.
    open(FileCommand::OpenSettings);
    EXPECT_EQ(window.directoryPath(), inRoot("sub")) << "the directory is kept";
    pickDirectory(window, "..");
    QTest::keyClick(window.Dir1, Qt::Key_Return);
    pickDirectory(window, "..");
    QTest::keyClick(window.Dir1, Qt::Key_Return);
    EXPECT_EQ(window.directoryPath(), fs::path(tree.root()).parent_path().string());
    EXPECT_EQ(window.Drive1->currentText(), "/");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(FileManagerWindow, DriveThatCannotBeReadShowsWhyAndReturns) {
    volumes.push_back("/nonexistent-rq-volume");
    Form2& window = open(FileCommand::OpenSettings);
    window.Drive1->setCurrentIndex(2);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].prompt.find("/nonexistent-rq-volume"), std::string::npos);
    EXPECT_EQ(dialogs.shown[0].title, "4720-01");
    EXPECT_EQ(window.Drive1->currentText().toStdString(), tree.root());
    EXPECT_EQ(window.directoryPath(), tree.root());
    EXPECT_EQ(window.fileListPath(), tree.root());

    // Another volume is shown at the directory last shown on it.
    window.Drive1->setCurrentIndex(0);
    EXPECT_EQ(window.directoryPath(), "/");
    window.Drive1->setCurrentIndex(1);
    EXPECT_EQ(window.directoryPath(), tree.root());
}

TEST_F(FileManagerWindow, PointingAtTheButtonShowsNewFiles) {
    Form2& window = open(FileCommand::OpenSettings);
    tree.touch("late.kxs");
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(window.Command1, &enter);
    EXPECT_TRUE(Texts(window.File1).contains("late.kxs"));
}

TEST_F(FileManagerWindow, VanishedDirectoryIsReportedOnceOnActivation) {
    Form2& window = open(FileCommand::OpenSettings);
    pickDirectory(window, "sub");
    QTest::keyClick(window.Dir1, Qt::Key_Return);
    fs::remove_all(inRoot("sub"));
    window.refreshOnActivation();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].prompt.find(inRoot("sub")), std::string::npos);
    EXPECT_EQ(window.directoryPath(), tree.root());
    window.refreshOnActivation();
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(FileManagerWindow, ActivationDuringACommandOpensNoBox) {
    Form2& window = open(FileCommand::OpenSettings);
    pickDirectory(window, "sub");
    QTest::keyClick(window.Dir1, Qt::Key_Return);
    fs::remove_all(inRoot("sub"));
    bool commandRuns = true;
    window.setBusyCheck([&commandRuns] { return commandRuns; });
    window.refreshOnActivation();
    EXPECT_TRUE(dialogs.shown.empty());
    commandRuns = false;
    window.refreshOnActivation();
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

}  // namespace
}  // namespace rq
