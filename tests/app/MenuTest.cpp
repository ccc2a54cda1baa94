#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

#include "TestWindow.h"
#include "app/StatusLogWidget.h"

namespace rq::app {
namespace {

using testing::TestWindow;

// The caption as the menu shows it: "&&" is a literal ampersand, a single "&" marks
// the access key and is not shown.
QString Shown(QString caption) {
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return caption;
}

struct ExpectedMenu {
    const char* name;
    const char* caption;
    QKeySequence accessKey;
    std::vector<std::pair<const char*, const char*>> entries;  // separator: caption ""
};

TEST(MenuBar, MenusEntriesAndSeparatorsInOrder) {
    TestWindow w;
    const std::vector<ExpectedMenu> expected = {
        {"file",
         "File",
         QKeySequence(Qt::ALT | Qt::Key_F),
         {{"sopen", "Open file"},
          {"sfile", "Save file"},
          {"sp1", ""},
          {"CLRS", "Clear all setting fields to default"},
          {"sp2", ""},
          {"exit", "Exit"}}},
        {"prog",
         "Programming",
         QKeySequence(Qt::ALT | Qt::Key_P),
         {{"pusb", "Write settings to 4720"},
          {"reads", "Read settings from 4720"},
          {"sp3", ""},
          {"reset", "Reset 4720 settings to default"},
          {"sp4", ""},
          {"rver", "Read version from 4720"},
          {"fopen", "Firmware update"}}},
        {"test",
         "Communication",
         QKeySequence(Qt::ALT | Qt::Key_C),
         {{"stest", "Start Test"}, {"etest", "End Test"}}},
        {"note",
         "Release notes",
         QKeySequence(Qt::ALT | Qt::Key_R),
         {{"v20", "v2.0"}, {"v21", "v2.1"}, {"v22", "v2.2"}}},
    };

    const QList<QAction*> menus = w->menuBar()->actions();
    ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
    for (std::size_t m = 0; m < expected.size(); ++m) {
        const ExpectedMenu& menuWanted = expected[m];
        QMenu* menu = menus[static_cast<qsizetype>(m)]->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->objectName(), QString(menuWanted.name));
        EXPECT_EQ(Shown(menu->title()), QString(menuWanted.caption));
        EXPECT_EQ(QKeySequence::mnemonic(menu->title()), menuWanted.accessKey) << menuWanted.name;

        const QList<QAction*> entries = menu->actions();
        ASSERT_EQ(entries.size(), static_cast<qsizetype>(menuWanted.entries.size()))
            << menuWanted.name;
        for (std::size_t e = 0; e < menuWanted.entries.size(); ++e) {
            const QAction* entry = entries[static_cast<qsizetype>(e)];
            const auto& [name, caption] = menuWanted.entries[e];
            EXPECT_EQ(entry->objectName(), QString(name));
            EXPECT_EQ(entry->isSeparator(), *caption == '\0') << name;
            // Entries carry no access key of their own and no shortcut.
            EXPECT_EQ(entry->text(), QString(caption)) << name;
            EXPECT_TRUE(entry->shortcuts().isEmpty()) << name;
            EXPECT_TRUE(entry->isEnabled()) << name;
        }
    }
}

TEST(ReleaseNotes, ClearTheLogAndShowTheNotesExactly) {
    TestWindow w;
    const std::pair<const char*, std::string> notes[] = {
        {"v20",
         "1. Compatilbe to Quorrindel 4720 rev.A (RS232)\r\n"
         "2. New function for Quorrindel 4720 rev.B\r\n"
         "3. Support USB-KB,RS232(USB-RS232) programming\r\n"
         "4. Support 32/64bits WinXP/7/8\r\n"},
        {"v21",
         "1. Fix for compatible to 4720 rev.A issues.\r\n"
         "2. Fix Field: Number of character issue (Read).\r\n"},
        {"v22", "1. Fix USB-KB firmware update issue.\r\n"},
    };
    for (const auto& [entry, body] : notes) {
        w->statusLog().appendLine("an earlier line");
        w.dialogs->shown.clear();
        w.choose(entry);
        ASSERT_EQ(w.dialogs->shown.size(), 1u) << entry;
        const auto& box = w.dialogs->shown[0];
        EXPECT_EQ(box.prompt, body) << entry;
        EXPECT_EQ(box.title, "4720B Release Notes");
        EXPECT_EQ(box.icon, DialogIcon::Information);
        EXPECT_EQ(box.buttons, DialogButtons::Ok);
        EXPECT_TRUE(w->statusLog().isEmpty()) << entry;
        EXPECT_EQ(w->statusLog().printPosition(), (PrintPosition{0, 0}));
    }
}

TEST(MenuCommands, ExitEndsAtOnceWithoutAsking) {
    TestWindow w;
    w.choose("exit");
    EXPECT_EQ(w.programEnds, 1);
    EXPECT_TRUE(w.dialogs->shown.empty());
}

TEST(MenuCommands, ClearFieldsShowsTheDefaultsInTheControls) {
    TestWindow w;
    w->controls().text1->setText("ABC");
    w->controls().combo3->setCurrentText("<TAB>");
    w->controls().check3->setChecked(false);
    w.dialogs->answers.push_back(DialogAnswer::Cancel);
    w.choose("CLRS");
    EXPECT_EQ(w->settings().prefix, "ABC");
    EXPECT_TRUE(w->statusLog().isEmpty());

    w.choose("CLRS");
    EXPECT_EQ(w->settings(), ReaderSettings{});
    EXPECT_EQ(w->controls().text1->text(), QString());
    EXPECT_EQ(w->controls().combo3->currentText(), QString("<CR+LF>"));
    EXPECT_TRUE(w->controls().check3->isChecked());
    EXPECT_FALSE(w->statusLog().isEmpty());
}

TEST(MenuCommands, FileEntriesShowTheFileManagerForTheirAction) {
    TestWindow w;
    const std::pair<const char*, FileAction> entries[] = {
        {"sopen", FileAction::PickSettingsToLoad},
        {"sfile", FileAction::PickSettingsToSave},
        {"fopen", FileAction::PickFirmware},
    };
    for (const auto& [entry, action] : entries) {
        w.choose(entry);
        ASSERT_NE(w->fileManager().window(), nullptr) << entry;
        EXPECT_TRUE(w->fileManager().window()->isVisible()) << entry;
        EXPECT_EQ(w->state().PendingFileAction, action) << entry;
    }
    // Activating the main window without a confirmed choice runs nothing.
    EXPECT_FALSE(w->fileManager().takeReturnRequest());
}

TEST(MenuCommands, EveryEntryRunsACommand) {
    TestWindow w;
    for (const char* entry : {"stest", "etest"}) {
        w->statusLog().clear();
        w.choose(entry);
        EXPECT_FALSE(w->statusLog().isEmpty()) << entry;
    }
    EXPECT_EQ(w.programEnds, 0);
}

}  // namespace
}  // namespace rq::app
