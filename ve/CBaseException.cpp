#include "CBaseException.h"

#include "CrashWriter.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <climits>
#include <ucontext.h>

namespace ve {

namespace {

constexpr const char* Magenta = "\033[35m";

// A fault this close below (or at) the stack pointer is the stack running
// into its guard page; anything farther is an ordinary bad address.
constexpr std::uintptr_t StackSlack = 64 * 1024;

bool isFaultSignal(int signal)
{
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL || signal == SIGTRAP;
}

const char* siCodeName(int signal, int code)
{
    switch (code) {
    case SI_USER:
        return "SI_USER";
    case SI_KERNEL:
        return "SI_KERNEL";
    case SI_QUEUE:
        return "SI_QUEUE";
    case SI_TKILL:
        return "SI_TKILL";
    default:
        break;
    }
    switch (signal) {
    case SIGSEGV:
        return code == SEGV_MAPERR ? "SEGV_MAPERR" : code == SEGV_ACCERR ? "SEGV_ACCERR" : "";
    case SIGBUS:
        return code == BUS_ADRALN ? "BUS_ADRALN"
            : code == BUS_ADRERR  ? "BUS_ADRERR"
            : code == BUS_OBJERR  ? "BUS_OBJERR"
                                  : "";
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV:
            return "FPE_INTDIV";
        case FPE_INTOVF:
            return "FPE_INTOVF";
        case FPE_FLTDIV:
            return "FPE_FLTDIV";
        case FPE_FLTOVF:
            return "FPE_FLTOVF";
        case FPE_FLTUND:
            return "FPE_FLTUND";
        case FPE_FLTRES:
            return "FPE_FLTRES";
        case FPE_FLTINV:
            return "FPE_FLTINV";
        case FPE_FLTSUB:
            return "FPE_FLTSUB";
        default:
            return "";
        }
    case SIGILL:
        switch (code) {
        case ILL_ILLOPC:
            return "ILL_ILLOPC";
        case ILL_ILLOPN:
            return "ILL_ILLOPN";
        case ILL_ILLADR:
            return "ILL_ILLADR";
        case ILL_ILLTRP:
            return "ILL_ILLTRP";
        case ILL_PRVOPC:
            return "ILL_PRVOPC";
        case ILL_PRVREG:
            return "ILL_PRVREG";
        case ILL_COPROC:
            return "ILL_COPROC";
        case ILL_BADSTK:
            return "ILL_BADSTK";
        default:
            return "";
        }
    case SIGTRAP:
        return code == TRAP_BRKPT ? "TRAP_BRKPT" : code == TRAP_TRACE ? "TRAP_TRACE" : "";
    default:
        return "";
    }
}

} // namespace

CBaseException::CBaseException(int signal, const siginfo_t* info, const void* context)
    : m_signal(signal)
{
    if (info) {
        m_siCode = info->si_code;
        if (info->si_code <= 0)
            m_senderPid = info->si_pid;
        if (isFaultSignal(signal) && info->si_code > 0 && info->si_code != SI_KERNEL) {
            m_faultAddress = reinterpret_cast<std::uintptr_t>(info->si_addr);
            m_hasFaultAddress = true;
        }
    }
    if (context) {
        const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
        m_pc = std::uintptr_t(uc->uc_mcontext.gregs[REG_RIP]);
        m_sp = std::uintptr_t(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__aarch64__)
        m_pc = std::uintptr_t(uc->uc_mcontext.pc);
        m_sp = std::uintptr_t(uc->uc_mcontext.sp);
#else
        (void)uc;
#endif
    }
}

CBaseException::Code CBaseException::codeFor(
    int signal, int siCode, std::uintptr_t faultAddress, std::uintptr_t stackPointer)
{
    const bool fromKernel = siCode > 0 && siCode != SI_KERNEL;
    switch (signal) {
    case SIGSEGV:
        if (fromKernel && stackPointer && faultAddress + StackSlack >= stackPointer
            && faultAddress < stackPointer + StackSlack)
            return {0xC00000FD, "STACK_OVERFLOW", "栈溢出"};
        return {0xC0000005, "ACCESS_VIOLATION", "读写内存非法"};
    case SIGBUS:
        if (siCode == BUS_ADRALN)
            return {0x80000002, "DATATYPE_MISALIGNMENT", "线程视图在不支持对齐的硬件上读写未对齐的数据"};
        return {0xC0000006, "IN_PAGE_ERROR", "线程视图访问未加载的虚拟内存页或者不能加载的虚拟内存页"};
    case SIGFPE:
        switch (siCode) {
        case FPE_INTDIV:
            return {0xC0000094, "INT_DIVIDE_BY_ZERO", "整数除0异常"};
        case FPE_INTOVF:
            return {0xC0000095, "INT_OVERFLOW", "整数操作越界"};
        case FPE_FLTDIV:
            return {0xC000008E, "FLT_DIVIDE_BY_ZERO", "浮点数除0操作"};
        case FPE_FLTOVF:
            return {0xC0000091, "FLT_OVERFLOW", "浮点操作的指数超过了相应类型的最大值"};
        case FPE_FLTUND:
            return {0xC0000093, "FLT_UNDERFLOW", "浮点数操作的指数小于相应类型的最小值"};
        case FPE_FLTRES:
            return {0xC000008F, "FLT_INEXACT_RESULT", "浮点数操作的结果无法表示"};
        case FPE_FLTSUB:
            return {0xC000008C, "ARRAY_BOUNDS_EXCEEDED", "数组访问越界"};
        default:
            return {0xC0000090, "FLT_INVALID_OPERATION", "其他浮点数异常"};
        }
    case SIGILL:
        if (siCode == ILL_PRVOPC || siCode == ILL_PRVREG)
            return {0xC0000096, "PRIV_INSTRUCTION", "线程试图执行当前机器模式不支持的指令"};
        if (siCode == ILL_BADSTK)
            return {0xC0000092, "STACK_CHECK", "栈越界或者栈向下溢出"};
        return {0xC000001D, "ILLEGAL_INSTRUCTION", "线程视图执行无效指令"};
    case SIGTRAP:
        if (siCode == TRAP_TRACE)
            return {0x80000004, "SINGLE_STEP", "单步"};
        return {0x80000003, "BREAKPOINT", "遇到一个断点"};
    default:
        // No code of the table fits (an abort, a bad system call): the
        // report gives the signal's number and the system's description.
        return {std::uint32_t(signal), nullptr, sigdescr_np(signal)};
    }
}

void CBaseException::emitLine(const char* line)
{
    CrashWriter::console(line);
    CrashWriter::logLine('S', Magenta, line);
}

void CBaseException::outputString(const char* format, ...)
{
    char buf[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof(buf), format, args);
    va_end(args);
    emitLine(buf);
}

void CBaseException::showExceptionHead() const
{
    emitLine("Exceptions:\r\n");

    const Code c = codeFor(m_signal, m_siCode, m_faultAddress, m_sp);
    CrashLine line;
    line.text("Exception Code :").hex(c.code, 8).ch(' ');
    if (c.name)
        line.text(c.name).ch('(').text(c.description).text(")\r\n");
    else
        line.text(c.description ? c.description : "Unknown signal").text("\r\n");
    emitLine(line.c_str());

    line.clear();
    const char* abbrev = sigabbrev_np(m_signal);
    line.text("Signal: ").dec(m_signal).text(" (SIG").text(abbrev ? abbrev : "?").text(", ");
    const char* descr = sigdescr_np(m_signal);
    line.text(descr ? descr : "Unknown signal").text("), code ").dec(m_siCode);
    const char* codeName = siCodeName(m_signal, m_siCode);
    if (codeName[0])
        line.text(" (").text(codeName).ch(')');
    if (m_hasFaultAddress)
        line.text(", address ").hex(m_faultAddress, 16);
    if (m_siCode <= 0)
        line.text(", sent by pid ").dec(m_senderPid);
    line.text("\r\n");
    emitLine(line.c_str());
}

void CBaseException::showExceptionCode()
{
    const Code c = codeFor(m_signal, m_siCode, m_faultAddress, m_sp);
    if (c.name)
        outputString("Exception Code :%08x %s(%s)\r\n", c.code, c.name, c.description);
    else
        outputString("Exception Code :%08x %s\r\n", c.code, c.description ? c.description : "Unknown signal");
}

void CBaseException::closeFaultSection()
{
    outputString("\r\n");
}

void CBaseException::showExceptionTail()
{
    char module[PATH_MAX] = "";
    int section = 0;
    std::uintptr_t offset = 0;
    getLogicalAddress(m_pc, module, sizeof(module), section, offset);
    outputString("Fault address:  %016llX %02X:%016llX %s\r\n", static_cast<unsigned long long>(m_pc),
        unsigned(section), static_cast<unsigned long long>(offset), module);
    closeFaultSection();
    showCallStack();
}

void CBaseException::showExceptionReport()
{
    showExceptionHead();
    showExceptionTail();
}

} // namespace ve
