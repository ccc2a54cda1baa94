#pragma once

class QMenuBar;

namespace rq::app {

// Fills the main window's menu bar: the four menus with their entries and separators,
// named as the window names them (menus file, prog, test, note; entries sopen ... v22;
// separators sp1 to sp4). No entry has a shortcut key; the menus have access keys.
void CreateMenuBar(QMenuBar& bar);

}  // namespace rq::app
