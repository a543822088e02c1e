#include "CrashHandler.h"

#include "CBaseException.h"
#include "CrashWriter.h"
#include "DataManager.h"
#include "Version.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

#include <execinfo.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ve {

namespace {

constexpr const char* Red = "\033[31m";
constexpr int CrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS};
// Large enough for the second phase (symbol lookup, XML writing) to run on it.
constexpr std::size_t AltStackSize = 1024 * 1024;

std::atomic<bool> s_installed {false};
std::atomic<pid_t> s_reporter {0}; // the thread writing the report, once one crashed
std::atomic<int> s_signal {0};
std::atomic<bool> s_exiting {false};
std::atomic<unsigned> s_watchdogSeconds {10};
pid_t s_mainThread = 0;
struct sigaction s_previous[NSIG];
std::terminate_handler s_previousTerminate = nullptr;
void* s_frames[CStackWalker::MaxFrames];
char s_uncaught[512];

pid_t currentThread()
{
    return pid_t(syscall(SYS_gettid));
}

// Ends the process by sig with the default action: the exit status and the
// core file then tell what happened. Safe in a handler and from any thread.
[[noreturn]] void dieBy(int sig)
{
    struct sigaction dfl
    {
    };
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    raise(sig);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    // Not reached: the signal is fatal and no longer blocked.
    _exit(128 + sig);
}

void onWatchdog(int)
{
    CrashWriter::logLine('E', Red, "crash report timed out; ending the process");
    dieBy(s_signal.load());
}

// A stack that nobody frees for the main thread; threads hold theirs in a
// thread-local owner.
void* mapAltStack()
{
    void* base
        = mmap(nullptr, AltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (base == MAP_FAILED)
        return nullptr;
    // A guard page at the low end: overrunning the alternate stack faults
    // instead of writing over whatever lies below it.
    mprotect(base, std::size_t(sysconf(_SC_PAGESIZE)), PROT_NONE);
    return base;
}

// Uses the stack unless the thread already has one at least as large.
bool useAltStack(void* base)
{
    stack_t current {};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)
        && current.ss_size >= AltStackSize)
        return false;
    stack_t ss {};
    ss.ss_sp = base;
    ss.ss_size = AltStackSize;
    return sigaltstack(&ss, nullptr) == 0;
}

struct ThreadAltStack
{
    void* base = nullptr;
    ~ThreadAltStack()
    {
        if (!base)
            return;
        stack_t current {};
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == base) {
            stack_t off {};
            off.ss_flags = SS_DISABLE;
            sigaltstack(&off, nullptr);
        }
        munmap(base, AltStackSize);
    }
};

thread_local ThreadAltStack t_altStack;

// Keeps a branch name from leaving ./crash ("/", "\\", "..") or making a
// hidden file.
void safeFileName(const QString& name, QString& out)
{
    out.clear();
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20)
            out.append(QLatin1Char('_'));
        else
            out.append(c);
    }
    if (out.isEmpty() || out.startsWith(QLatin1Char('.')))
        out.prepend(QLatin1Char('_'));
}

void dumpTree()
{
    DataObject* root = d().rootDobj();
    QString file;
    for (DataObject* branch : root->cdobjs()) {
        safeFileName(branch->name(), file);
        // A branch that cannot be written is skipped; the others still are.
        DataManager::writeToXmlFile(QStringLiteral("./crash/%1.icex").arg(file), branch);
    }
}

// The first phase: only async-signal-safe calls.
int capture(const CBaseException& report, pid_t thread)
{
    CrashLine line;
    line.text("crash thread: ").dec(thread).text(", main thread: ").dec(s_mainThread);
    CrashWriter::logLine('E', Red, line.c_str());
    if (s_uncaught[0]) {
        line.clear();
        line.text("uncaught exception: ").text(s_uncaught);
        CrashWriter::logLine('E', Red, line.c_str());
    }
    report.showExceptionHead();

    // The stack as the unwinder sees it from here; the frames before the
    // faulting instruction are this handler's own.
    int count = backtrace(s_frames, CStackWalker::MaxFrames);
    const void* pc = reinterpret_cast<const void*>(report.instructionAddress());
    int first = -1;
    for (int i = 0; i < count && pc; ++i) {
        if (s_frames[i] == pc) {
            first = i;
            break;
        }
    }
    if (first > 0) {
        std::memmove(s_frames, s_frames + first, sizeof(void*) * std::size_t(count - first));
        count -= first;
    } else if (first < 0 && pc && count > 0) {
        // The unwinder did not cross the signal frame: keep at least where it happened.
        std::memmove(s_frames + 1, s_frames, sizeof(void*) * std::size_t(count - 1));
        s_frames[0] = const_cast<void*>(pc);
    }

    // Unresolved frames (module and offset) in case the second phase never ends.
    CBaseException::emitLine("Raw CallStack:\r\n");
    backtrace_symbols_fd(s_frames, count, STDOUT_FILENO);
    const int log = CrashWriter::openLogFile();
    if (log >= 0) {
        backtrace_symbols_fd(s_frames, count, log);
        close(log);
    }
    return count;
}

// The second phase: may allocate and lock; bounded by the watchdog.
void resolve(CBaseException& report, int frameCount)
{
    struct sigaction watchdog
    {
    };
    watchdog.sa_handler = &onWatchdog;
    sigemptyset(&watchdog.sa_mask);
    watchdog.sa_flags = SA_ONSTACK;
    sigaction(SIGALRM, &watchdog, nullptr);
    sigset_t alarmSet;
    sigemptyset(&alarmSet);
    sigaddset(&alarmSet, SIGALRM);
    pthread_sigmask(SIG_UNBLOCK, &alarmSet, nullptr);
    alarm(s_watchdogSeconds.load());

    // Symbol lookup must not wait on a debug-info server over the network.
    unsetenv("DEBUGINFOD_URLS");
    report.setFrames(s_frames, frameCount);
    report.showExceptionTail();
    report.showModuleList();
    // During static destruction the tree may be half gone.
    if (!s_exiting.load())
        dumpTree();
    alarm(0);
}

void onCrash(int sig, siginfo_t* info, void* context)
{
    const pid_t self = currentThread();
    pid_t none = 0;
    if (!s_reporter.compare_exchange_strong(none, self)) {
        if (none == self) {
            // A fault while reporting: end now rather than loop or hang.
            CrashWriter::logLine('E', Red, "crash inside the crash report; ending the process");
            dieBy(s_signal.load() ? s_signal.load() : sig);
        }
        // Another thread is reporting and will end the process.
        for (;;)
            pause();
    }
    s_signal.store(sig);

    CBaseException report(sig, info, context);
    const int frames = capture(report, self);
    resolve(report, frames);

    // A handler that was here before ours (a sanitizer's) has its say, but
    // the process must not survive it.
    const struct sigaction& previous = s_previous[sig];
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction)
            previous.sa_sigaction(sig, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN && previous.sa_handler) {
        previous.sa_handler(sig);
    }
    dieBy(sig);
}

void onTerminate()
{
    // Described here, outside any signal handler, and reported with the abort.
    if (std::exception_ptr current = std::current_exception()) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        int status = 0;
        char* demangled = type ? abi::__cxa_demangle(type->name(), nullptr, nullptr, &status) : nullptr;
        const char* typeName = demangled ? demangled : (type ? type->name() : "unknown");
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            std::snprintf(s_uncaught, sizeof(s_uncaught), "%s: %s", typeName, e.what());
        } catch (...) {
            std::snprintf(s_uncaught, sizeof(s_uncaught), "%s", typeName);
        }
        std::free(demangled);
    } else {
        std::snprintf(s_uncaught, sizeof(s_uncaught), "std::terminate without an exception");
    }
    // The handler in place before ours (the runtime's prints the exception)
    // still runs; it ends in abort(), which brings the report.
    if (s_previousTerminate && s_previousTerminate != &onTerminate)
        s_previousTerminate();
    std::abort();
}

void markExiting()
{
    s_exiting.store(true);
}

// Registered by the crash reporter, as every module registers its version.
const int s_stackHandlerVersion
    = versionManager().regist(QStringLiteral("vorn.stack.handler"), [] { return 1; });

} // namespace

void CrashHandler::install()
{
    bool expected = false;
    if (!s_installed.compare_exchange_strong(expected, true))
        return;
    s_mainThread = getpid();
    CrashWriter::prepare();
    // The first backtrace() loads the unwinder library, which allocates:
    // do it now rather than inside a handler.
    void* warm[2];
    backtrace(warm, 2);
    if (void* stack = mapAltStack()) {
        if (!useAltStack(stack))
            munmap(stack, AltStackSize);
    }
    atexit(&markExiting);

    for (const int sig : CrashSignals) {
        struct sigaction action
        {
        };
        action.sa_sigaction = &onCrash;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigaction(sig, &action, &s_previous[sig]);
    }
    s_previousTerminate = std::set_terminate(&onTerminate);
}

bool CrashHandler::isInstalled()
{
    return s_installed.load();
}

void CrashHandler::prepareThread()
{
    if (t_altStack.base)
        return;
    void* stack = mapAltStack();
    if (!stack)
        return;
    if (useAltStack(stack))
        t_altStack.base = stack;
    else
        munmap(stack, AltStackSize);
}

void CrashHandler::setWatchdogSeconds(unsigned seconds)
{
    s_watchdogSeconds.store(seconds ? seconds : 1);
}

} // namespace ve
