#include "app/MenuBar.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <initializer_list>

namespace rq::app {
namespace {

// An entry without a caption is a separator.
struct Entry {
    const char* name;
    const char* caption = nullptr;
};

void AddMenu(QMenuBar& bar, const char* name, const char* caption,
             std::initializer_list<Entry> entries) {
    QMenu* menu = bar.addMenu(QString::fromUtf8(caption));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    for (const Entry& entry : entries) {
        QAction* action = entry.caption == nullptr
                              ? menu->addSeparator()
                              : menu->addAction(QString::fromUtf8(entry.caption));
        action->setObjectName(QString::fromLatin1(entry.name));
    }
}

}  // namespace

void CreateMenuBar(QMenuBar& bar) {
    // "&" marks the access key (Alt+F ...) and is not shown.
    AddMenu(bar, "file", "&File",
            {{"sopen", "Open file"},
             {"sfile", "Save file"},
             {"sp1"},
             {"CLRS", "Clear all setting fields to default"},
             {"sp2"},
             {"exit", "Exit"}});
    AddMenu(bar, "prog", "&Programming",
            {{"pusb", "Write settings to 4720"},
             {"reads", "Read settings from 4720"},
             {"sp3"},
             {"reset", "Reset 4720 settings to default"},
             {"sp4"},
             {"rver", "Read version from 4720"},
             {"fopen", "Firmware update"}});
    AddMenu(bar, "test", "&Communication", {{"stest", "Start Test"}, {"etest", "End Test"}});
    AddMenu(bar, "note", "&Release notes", {{"v20", "v2.0"}, {"v21", "v2.1"}, {"v22", "v2.2"}});
}

}  // namespace rq::app
