#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>

#include "SampleFirmware.h"
#include "TestWindow.h"
#include "app/StatusLogWidget.h"
#include "filemanager/Form2.h"
#include "filemanager/PendingFileActions.h"

namespace rq::app {
namespace {

using testing::TestWindow;

// The operator's way back from the file manager: its button, then the main window's
// activation, which runs the chosen action once.
void ConfirmInFileManager(TestWindow& w) {
    Form2* form = w->fileManager().window();
    ASSERT_NE(form, nullptr);
    form->findChild<QPushButton*>("Command1")->click();
    QCoreApplication::processEvents();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(w.window.get(), &activate);
}

TEST(FileRoundTrip, SaveClearAndLoadThroughTheFileManager) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));  // the file manager starts here
    {
        TestWindow w;
        w->settings().prefix = "AB,C";
        w->settings().charCount = 9;
        w->settings().baudCode = 8;
        w->showSettings();

        w.choose("sfile");
        w->fileManager().window()->findChild<QLineEdit*>("Text1")->setText("customer");
        ConfirmInFileManager(w);
        const std::string path =
            (std::filesystem::path(dir.path().toStdString()) / "customer.kxs").string();
        ASSERT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(w->statusLog().visibleLines(),
                  QStringList{QString::fromStdString("Settings saved ok to : " + path)});

        // Coming back to the window again does not save a second time.
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(w.window.get(), &activate);
        EXPECT_EQ(w->statusLog().visibleLines().size(), 1);

        w.choose("CLRS");
        EXPECT_EQ(w->settings(), ReaderSettings{});

        w.choose("sopen");
        auto* files = w->fileManager().window()->findChild<QListWidget*>("File1");
        const auto found = files->findItems("customer.kxs", Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        files->setCurrentItem(found.front());
        ConfirmInFileManager(w);

        EXPECT_EQ(w->settings().prefix, "AB,C");
        EXPECT_EQ(w->settings().charCount, 9);
        EXPECT_EQ(w->settings().baudCode, 8);
        EXPECT_EQ(w->statusLog().visibleLines(),
                  (QStringList{QString::fromStdString("Settings file: " + path + " opened."),
                               "Settings put on all fields."}));
    }
    QDir::setCurrent(previous);
}

TEST(FileRoundTrip, ErrorBoxShowsTheFieldsLoadedBeforeIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("broken.kxs").toStdString();
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const char content[] =
            "[4720-01 Settings File]\r\niButton Reader 4720 Quorrindel Inc.\r\n"
            "[PREFIX]\r\nNEW\r\n[START]\r\n4\r\n[NUMBER]\r\n5\r\n[POSTFIX]\r\n";
        std::fputs(content, file);
        std::fclose(file);
    }
    TestWindow w;
    QString shownPrefix;
    w.dialogs->onShow = [&](const rq::testing::FakeDialogs::Shown&) {
        shownPrefix = w->findChild<QLineEdit*>("Text1")->text();
    };
    w->state().ChosenFilePath = path;
    w->state().PendingFileAction = FileAction::LoadSettings;
    w->runCommand([](OperationContext& ctx) { RunPendingFileAction(ctx, {}); });
    ASSERT_EQ(w.dialogs->shown.size(), 1u);
    EXPECT_EQ(w.dialogs->shown[0].prompt, "Settings file error! 6");
    EXPECT_EQ(shownPrefix, "NEW");
}

// The firmware update runs from the file manager's choice; a close request that arrives
// meanwhile waits until the update has ended.
TEST(FileRoundTrip, FirmwareUpdateFromTheFileManagerDefersAClose) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        const sim::Bytes image = sim::MakeSampleFirmware(100, "V3.00");
        std::FILE* file = std::fopen(dir.filePath("new.bin").toLocal8Bit().constData(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(image.data(), 1, image.size(), file);
        std::fclose(file);
    }
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    {
        TestWindow w;
        w->show();
        int endsWhileAsked = -1;
        w.dialogs->onShow = [&](const rq::testing::FakeDialogs::Shown& shown) {
            EXPECT_EQ(
                shown.prompt,
                "The version message of binary file: \nV3.00\n\nAre you sure to start flash ?\n");
            w->close();
            endsWhileAsked = w.programEnds;
        };
        w.choose("fopen");
        auto* files = w->fileManager().window()->findChild<QListWidget*>("File1");
        const auto found = files->findItems("new.bin", Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        files->setCurrentItem(found.front());
        ConfirmInFileManager(w);

        EXPECT_EQ(endsWhileAsked, 0);
        EXPECT_GE(w.programEnds, 1);
        // Without a reader the update went on to both searches before the program ended,
        // and ends with the search's own line: no reader, not an unsupported one.
        const QString lines = w->statusLog().shownText();
        EXPECT_TRUE(lines.endsWith("\nCan not find 4720 at com 1~16 with all baud rate!"));
        EXPECT_FALSE(lines.contains("not support"));
    }
    QDir::setCurrent(previous);
}

}  // namespace
}  // namespace rq::app
