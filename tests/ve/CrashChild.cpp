// A program that crashes on purpose, in the way its argument names, with the
// crash handler installed. CrashTest runs it and reads what it left.
#include "CrashHandler.h"
#include "DataManager.h"
#include "Setup.h"

#include <QXmlStreamWriter>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

#include <unistd.h>

namespace {

// Keeps the optimiser from folding the faults away.
volatile int g_zero = 0;
volatile int* volatile g_badPointer = reinterpret_cast<int*>(0x10);

// The sanitizers would report these faults themselves instead of letting
// them happen.
__attribute__((noinline, no_sanitize("address", "undefined"))) int divideByZero()
{
    return 100 / g_zero;
}

__attribute__((noinline, no_sanitize("address", "undefined"))) void writeBadAddress()
{
    *g_badPointer = 1;
}

__attribute__((noinline)) int recurseForever(int depth)
{
    volatile char frame[512];
    frame[0] = char(depth);
    if (depth < g_zero) // never true; tells the compiler the recursion may end
        return 0;
    return recurseForever(depth + 1) + frame[0];
}

// A branch whose export never ends, as when the crash left a lock held.
class BlockingNode : public ve::DataObject
{
public:
    using ve::DataObject::DataObject;
    void exportToXml(QXmlStreamWriter&, bool, bool) const override
    {
        for (;;)
            pause();
    }
};

// A branch whose export faults: a crash inside the report itself.
class FaultingNode : public ve::DataObject
{
public:
    using ve::DataObject::DataObject;
    void exportToXml(QXmlStreamWriter&, bool, bool) const override { writeBadAddress(); }
};

// Destroyed after main returned, when the data tree may already be gone.
struct CrashOnExit
{
    bool armed = false;
    ~CrashOnExit()
    {
        if (armed)
            writeBadAddress();
    }
};
CrashOnExit g_crashOnExit;

void previousHandler(int)
{
    const char text[] = "previous handler ran\n";
    (void)!write(STDOUT_FILENO, text, sizeof(text) - 1);
}

void buildTree()
{
    ve::DataObject* root = ve::d().rootDobj();
    root->set(nullptr, QStringLiteral("config.language"), QStringLiteral("en"), true);
    root->set(nullptr, QStringLiteral("wnd.title"), QStringLiteral("bench"), true);
    root->set(nullptr, QStringLiteral("project.version"), 1.0, true);
    // A hostile branch name must not place its copy outside ./crash.
    root->insert(nullptr, new ve::DataObject(QStringLiteral("../escaped")));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: ve_crash_child <mode>\n");
        return 2;
    }
    const std::string mode = argv[1];
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    if (mode == "chain") {
        struct sigaction action
        {
        };
        action.sa_handler = &previousHandler;
        sigemptyset(&action.sa_mask);
        sigaction(SIGSEGV, &action, nullptr);
    }
    buildTree();
    ve::setup();
    if (mode == "setup-twice")
        ve::setup();

    if (mode == "divide" || mode == "setup-twice")
        return divideByZero();
    if (mode == "bad-address" || mode == "chain")
        writeBadAddress();
    if (mode == "exception")
        throw std::runtime_error("bench lost its motor");
    if (mode == "overflow")
        return recurseForever(0);
    if (mode == "overflow-thread") {
        std::thread worker([] {
            ve::CrashHandler::prepareThread();
            recurseForever(0);
        });
        worker.join();
    }
    if (mode == "wait") {
        std::puts("ready");
        for (;;)
            pause();
    }
    if (mode == "two-threads") {
        std::atomic<int> ready {0};
        auto crash = [&ready] {
            ++ready;
            while (ready.load() < 2) { }
            writeBadAddress();
        };
        std::thread a(crash);
        std::thread b(crash);
        a.join();
        b.join();
    }
    if (mode == "blocking-dump") {
        ve::CrashHandler::setWatchdogSeconds(2);
        ve::d().rootDobj()->insert(nullptr, new BlockingNode(QStringLiteral("stuck")));
        writeBadAddress();
    }
    if (mode == "fault-in-dump") {
        ve::d().rootDobj()->insert(nullptr, new FaultingNode(QStringLiteral("broken")));
        return divideByZero();
    }
    if (mode == "static-destruction") {
        g_crashOnExit.armed = true;
        return 0;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}
