#include "CrashWriter.h"

#include <atomic>
#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ve {

namespace {

// Offset of local time from UTC in seconds, sampled outside the handler:
// localtime_r takes the time-zone lock and may allocate.
std::atomic<long> s_utcOffset {0};

struct CivilTime
{
    int year, month, day, hour, minute, second, millisecond;
};

// Days since 1970-01-01 to a proleptic Gregorian date: pure integer
// arithmetic, safe in a handler.
void civilFromDays(long days, int& y, int& m, int& d)
{
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long doe = days - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

CivilTime now()
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    const long local = long(ts.tv_sec) + s_utcOffset.load(std::memory_order_relaxed);
    long days = local / 86400;
    long secs = local % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    CivilTime t {};
    civilFromDays(days, t.year, t.month, t.day);
    t.hour = int(secs / 3600);
    t.minute = int(secs / 60 % 60);
    t.second = int(secs % 60);
    t.millisecond = int(ts.tv_nsec / 1000000);
    return t;
}

} // namespace

void CrashWriter::prepare()
{
    const time_t t = time(nullptr);
    tm local {};
    if (localtime_r(&t, &local))
        s_utcOffset.store(local.tm_gmtoff, std::memory_order_relaxed);
}

void CrashWriter::writeAll(int fd, const char* text, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, text, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        text += n;
        size -= std::size_t(n);
    }
}

void CrashWriter::console(const char* text)
{
    std::size_t n = 0;
    while (text[n])
        ++n;
    writeAll(STDOUT_FILENO, text, n);
}

int CrashWriter::openLogFile()
{
    const CivilTime t = now();
    ::mkdir("./log", 0777);
    CrashLine path;
    path.text("./log/global_")
        .dec2(unsigned(t.year), 4)
        .dec2(unsigned(t.month), 2)
        .dec2(unsigned(t.day), 2)
        .text(".log");
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}

void CrashWriter::logLine(char level, const char* colour, const char* text)
{
    const CivilTime t = now();
    CrashLine header;
    header.ch('[').ch(level).ch('|').dec2(unsigned(t.month), 2).ch('/').dec2(unsigned(t.day), 2).ch(' ');
    header.dec2(unsigned(t.hour), 2).ch(':').dec2(unsigned(t.minute), 2).ch(':').dec2(unsigned(t.second), 2);
    header.ch('.').dec2(unsigned(t.millisecond), 3).ch(']');

    CrashLine body;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '\r' && p[1] == '\n') {
            ++p;
            continue;
        }
        body.ch(*p);
    }

    CrashLine shown;
    shown.text(colour).text(header.c_str()).text(body.c_str()).text("\033[0m\n");
    writeAll(STDERR_FILENO, shown.c_str(), shown.size());

    const int fd = openLogFile();
    if (fd < 0)
        return;
    CrashLine stored;
    stored.text(header.c_str()).text(body.c_str()).ch('\n');
    writeAll(fd, stored.c_str(), stored.size());
    ::close(fd);
}

// --------------------------------------------------------------- CrashLine

void CrashLine::clear()
{
    m_len = 0;
    m_buf[0] = '\0';
}

CrashLine& CrashLine::ch(char c)
{
    if (m_len + 1 < Capacity) {
        m_buf[m_len++] = c;
        m_buf[m_len] = '\0';
    }
    return *this;
}

CrashLine& CrashLine::text(const char* s)
{
    if (!s)
        return *this;
    while (*s && m_len + 1 < Capacity)
        m_buf[m_len++] = *s++;
    m_buf[m_len] = '\0';
    return *this;
}

CrashLine& CrashLine::hexWith(std::uint64_t value, int digits, const char* table)
{
    char tmp[16];
    int n = 0;
    do {
        tmp[n++] = table[value & 0xF];
        value >>= 4;
    } while (value && n < 16);
    while (n < digits && n < 16)
        tmp[n++] = '0';
    while (n > 0)
        ch(tmp[--n]);
    return *this;
}

CrashLine& CrashLine::hex(std::uint64_t value, int digits)
{
    return hexWith(value, digits, "0123456789abcdef");
}

CrashLine& CrashLine::hexUpper(std::uint64_t value, int digits)
{
    return hexWith(value, digits, "0123456789ABCDEF");
}

CrashLine& CrashLine::dec(std::int64_t value)
{
    char tmp[21];
    int n = 0;
    const bool negative = value < 0;
    std::uint64_t v = negative ? std::uint64_t(0) - std::uint64_t(value) : std::uint64_t(value);
    do {
        tmp[n++] = char('0' + v % 10);
        v /= 10;
    } while (v);
    if (negative)
        ch('-');
    while (n > 0)
        ch(tmp[--n]);
    return *this;
}

CrashLine& CrashLine::dec2(unsigned value, int digits)
{
    char tmp[12];
    int n = 0;
    do {
        tmp[n++] = char('0' + value % 10);
        value /= 10;
    } while (value && n < 10);
    while (n < digits && n < 11)
        tmp[n++] = '0';
    while (n > 0)
        ch(tmp[--n]);
    return *this;
}

} // namespace ve
