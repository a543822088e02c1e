#pragma once

#include <functional>

// Waits in the GUI thread for a condition that other threads or queued signals bring about,
// running the event loop (without user input) between tests so the window keeps painting.
class EventWait
{
public:
    // True as soon as `condition` holds; false once `limitMs` has passed (-1: never expires).
    static bool until(const std::function<bool()>& condition, int limitMs);
};
