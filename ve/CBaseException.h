#pragma once

#include "CStackWalker.h"

#include <csignal>
#include <cstdint>

namespace ve {

// The report of one crash: exception code, fault address and call stack,
// each line sent to the standard output and to the log (level "S").
class VE_EXPORT CBaseException : public CStackWalker
{
public:
    // What a signal means in the report's terms.
    struct Code
    {
        std::uint32_t code; // the exception code of the report
        const char* name; // "ACCESS_VIOLATION", ...; null for a signal without one
        const char* description;
    };

    // info and context may be null (nothing but the signal is known then).
    CBaseException(int signal, const siginfo_t* info, const void* context);

    // Maps a signal and its si_code onto the report's code. stackPointer
    // tells a stack overflow from another bad address. Safe in a handler.
    static Code codeFor(int signal, int siCode, std::uintptr_t faultAddress, std::uintptr_t stackPointer);

    void outputString(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    virtual void showExceptionCode();
    virtual void closeFaultSection();
    // "Exceptions:", the code, the fault address, the section end, the stack.
    virtual void showExceptionReport();

    // The first part of the report, safe inside a signal handler:
    // "Exceptions:", the code line and the line with the Linux signal.
    void showExceptionHead() const;
    // The rest: fault address, section end and the call stack.
    void showExceptionTail();

    std::uintptr_t instructionAddress() const { return m_pc; }
    std::uintptr_t stackPointer() const { return m_sp; }

    // One report line: raw on the standard output, and as a log line.
    static void emitLine(const char* line);

private:
    int m_signal;
    int m_siCode = 0;
    int m_senderPid = 0;
    std::uintptr_t m_faultAddress = 0;
    std::uintptr_t m_pc = 0;
    std::uintptr_t m_sp = 0;
    bool m_hasFaultAddress = false;
};

} // namespace ve
