#pragma once

namespace servobench {
// Registers the embedded images, style sheets and fonts (":/images", ":/qss",
// ":/fonts"). Needed once per process because they live in a static library.
void initUiResources();
} // namespace servobench
