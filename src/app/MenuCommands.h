#pragma once

namespace rq::app {

class Form1;

// Connects every menu entry of the main window to the function it runs.
void ConnectMenuCommands(Form1& window);

}  // namespace rq::app
