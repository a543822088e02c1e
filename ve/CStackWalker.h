#pragma once

#include "VeGlobal.h"

#include <cstdint>

namespace ve {

// Resolves and prints a captured call stack and the loaded modules. The
// frames are taken beforehand (inside the signal handler, where resolving is
// not safe); resolving reads the modules' debug information with libdw.
class VE_EXPORT CStackWalker
{
public:
    static constexpr int MaxFrames = 128;

    CStackWalker() = default;
    virtual ~CStackWalker() = default;
    CStackWalker(const CStackWalker&) = delete;
    CStackWalker& operator=(const CStackWalker&) = delete;

    // frames[0] is the exact instruction; the others are return addresses.
    void setFrames(void* const* frames, int count);

    virtual void outputString(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // "Current User:", the header and one line per loaded module.
    virtual void showModuleList();
    // "Show CallStack:" and one line per frame.
    virtual void showCallStack();

    // The module that holds address, its 1-based loadable segment and the
    // offset within it; false when no module maps the address.
    static bool getLogicalAddress(
        std::uintptr_t address, char* module, int moduleSize, int& section, std::uintptr_t& offset);

protected:
    void* m_frames[MaxFrames] = {};
    int m_frameCount = 0;
};

} // namespace ve
