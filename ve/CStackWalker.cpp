#include "CStackWalker.h"

#define BACKWARD_HAS_DW 1
#include <backward.hpp>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <link.h>
#include <pwd.h>
#include <unistd.h>

namespace ve {

namespace {

struct ModuleInfo
{
    std::uintptr_t base = 0;
    std::uintptr_t size = 0;
    std::string path;
};

std::string executablePath()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0)
        return std::string();
    return std::string(buf, std::size_t(n));
}

// Base and extent of a module's loadable segments.
ModuleInfo describe(const dl_phdr_info* info)
{
    ModuleInfo m;
    std::uintptr_t low = UINTPTR_MAX;
    std::uintptr_t high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD)
            continue;
        low = std::min<std::uintptr_t>(low, info->dlpi_addr + ph.p_vaddr);
        high = std::max<std::uintptr_t>(high, info->dlpi_addr + ph.p_vaddr + ph.p_memsz);
    }
    if (low < high) {
        m.base = low;
        m.size = high - low;
    }
    m.path = (info->dlpi_name && info->dlpi_name[0]) ? info->dlpi_name : executablePath();
    return m;
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "a.b.c.d" from the numeric suffix of the file a shared object really is
// (libfoo.so.5.15.8 gives 5.15.8.0); "0.0.0.0" when it has none.
std::string moduleVersion(const std::string& path)
{
    char real[PATH_MAX];
    const std::string name = baseName(realpath(path.c_str(), real) ? std::string(real) : path);
    int parts[4] = {0, 0, 0, 0};
    const std::size_t so = name.find(".so.");
    if (so != std::string::npos) {
        int n = 0;
        const char* p = name.c_str() + so + 4;
        while (*p && n < 4) {
            char* end = nullptr;
            const long v = std::strtol(p, &end, 10);
            if (end == p)
                break;
            parts[n++] = int(v);
            p = *end == '.' ? end + 1 : end;
        }
    }
    char buf[64];
    std::snprintf(buf, sizeof(buf), "%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
    return buf;
}

std::string currentUser()
{
    passwd pw {};
    passwd* result = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof(buf), &result) == 0 && result && pw.pw_name)
        return pw.pw_name;
    return std::to_string(getuid());
}

struct AddressQuery
{
    std::uintptr_t address;
    bool found;
    int section;
    std::uintptr_t offset;
    std::string module;
};

int findSegment(dl_phdr_info* info, size_t, void* data)
{
    auto* q = static_cast<AddressQuery*>(data);
    int section = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD)
            continue;
        ++section;
        const std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        if (q->address >= start && q->address < start + ph.p_memsz) {
            q->found = true;
            q->section = section;
            q->offset = q->address - start;
            q->module = (info->dlpi_name && info->dlpi_name[0]) ? info->dlpi_name : executablePath();
            return 1;
        }
    }
    return 0;
}

int collectModule(dl_phdr_info* info, size_t, void* data)
{
    auto* out = static_cast<std::vector<ModuleInfo>*>(data);
    const ModuleInfo m = describe(info);
    // The kernel's vDSO has no file; list only what was loaded from disk.
    if (m.size && !m.path.empty() && m.path.rfind("linux-vdso", 0) != 0)
        out->push_back(m);
    return 0;
}

} // namespace

void CStackWalker::setFrames(void* const* frames, int count)
{
    m_frameCount = 0;
    for (int i = 0; i < count && i < MaxFrames; ++i)
        m_frames[m_frameCount++] = frames[i];
}

void CStackWalker::outputString(const char* format, ...)
{
    char buf[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof(buf), format, args);
    va_end(args);
    std::fputs(buf, stdout);
}

bool CStackWalker::getLogicalAddress(
    std::uintptr_t address, char* module, int moduleSize, int& section, std::uintptr_t& offset)
{
    AddressQuery q {address, false, 0, 0, std::string()};
    dl_iterate_phdr(&findSegment, &q);
    if (!q.found)
        return false;
    section = q.section;
    offset = q.offset;
    if (module && moduleSize > 0)
        std::snprintf(module, std::size_t(moduleSize), "%s", q.module.c_str());
    return true;
}

void CStackWalker::showModuleList()
{
    outputString("Current User:%s\r\n", currentUser().c_str());
    outputString("BaseAddress:\tSize:\tName\tPath\tSymbolPath\tVersion\r\n");
    std::vector<ModuleInfo> modules;
    dl_iterate_phdr(&collectModule, &modules);
    for (const ModuleInfo& m : modules) {
        // Symbols are read from the module itself (or its separate debug file,
        // which libdw finds through the module's build id).
        outputString("%016llx\t%llu\t%s\t%s\t%s\t%s\r\n", static_cast<unsigned long long>(m.base),
            static_cast<unsigned long long>(m.size), baseName(m.path).c_str(), m.path.c_str(), m.path.c_str(),
            moduleVersion(m.path).c_str());
    }
}

void CStackWalker::showCallStack()
{
    outputString("Show CallStack:\r\n");
    backward::TraceResolver resolver;
    for (int i = 0; i < m_frameCount; ++i) {
        const auto address = reinterpret_cast<std::uintptr_t>(m_frames[i]);
        // A return address points after the call; the call's line is one byte back.
        const std::uintptr_t lookup = (i == 0 || address == 0) ? address : address - 1;
        int section = 0;
        std::uintptr_t offset = 0;
        char module[PATH_MAX] = "";
        if (!getLogicalAddress(lookup, module, sizeof(module), section, offset)) {
            outputString("Call SymGetSymFromAddr64 ,Address %016llx Error:%08x\r\n",
                static_cast<unsigned long long>(address), unsigned(EFAULT));
            continue;
        }
        const backward::ResolvedTrace trace = resolver.resolve(
            backward::ResolvedTrace(backward::Trace(reinterpret_cast<void*>(lookup), std::size_t(i))));
        std::string function = trace.source.function.empty() ? trace.object_function : trace.source.function;
        if (function.empty()) {
            outputString("Call SymGetSymFromAddr64 ,Address %016llx Error:%08x\r\n",
                static_cast<unsigned long long>(address), unsigned(ENOENT));
            char fallback[PATH_MAX + 32];
            std::snprintf(fallback, sizeof(fallback), "%s+0x%llx", baseName(module).c_str(),
                static_cast<unsigned long long>(offset));
            function = fallback;
        }
        // Names come from the modules' own data, which a crash may have left
        // damaged: keep the report printable.
        for (char& c : function) {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f)
                c = '?';
        }
        std::string file = trace.source.filename;
        if (trace.source.line == 0) {
            outputString("Call SymGetLineFromAddr64 ,Address %016llx Error:%08x\r\n",
                static_cast<unsigned long long>(address), unsigned(ENOENT));
            if (file.empty())
                file = module;
        }
        outputString("%016llx:%s [%s][%ld]\r\n", static_cast<unsigned long long>(address), function.c_str(),
            file.c_str(), long(trace.source.line));
    }
}

} // namespace ve
