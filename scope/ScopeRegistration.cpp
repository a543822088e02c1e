// Plugs the oscilloscope into the shell: the Analyze tool strip and the oscilloscope page. The
// library is linked whole into the program, so this initialiser runs before main.
#include "AnalyzeTools.h"
#include "OscilloscopePage.h"
#include "ShellExtensions.h"

namespace {
const bool registered = ShellExtensions::registered([] {
    ShellExtensions::setToolFactory(
        ShellExtensions::AnalyzeTab, [](QWidget* parent) -> QWidget* { return new AnalyzeTools(parent); });
    ShellExtensions::setPageFactory(
        "oscilloscope", [](QWidget* parent) -> QWidget* { return new OscilloscopePage(parent); });
});
} // namespace
