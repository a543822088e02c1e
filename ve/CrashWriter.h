#pragma once

#include <cstddef>
#include <cstdint>

namespace ve {

// Output for a crashing process. Everything here may run inside a signal
// handler: no allocation, no locks, no stdio, no locale; only write(2),
// open(2) and the class's own number formatting.
class CrashWriter
{
public:
    // Takes what cannot be found safely later (the local time offset) and
    // makes sure the log folder exists. Call once outside any handler.
    static void prepare();

    // Raw text to standard output.
    static void console(const char* text);
    // One log line at a level ('E', 'S', ...) with its colour: coloured on the
    // standard error (as the framework's log shows it), plain in the day's
    // log file "./log/global_yyyyMMdd.log". "\r\n" in text is dropped.
    static void logLine(char level, const char* colour, const char* text);
    // The open descriptor of the day's log file for appending, or -1.
    static int openLogFile();

    static void writeAll(int fd, const char* text, std::size_t size);
};

// A fixed-size text line built without allocation; silently truncates.
class CrashLine
{
public:
    static constexpr std::size_t Capacity = 1024;

    CrashLine& text(const char* s);
    CrashLine& hex(std::uint64_t value, int digits); // lower case, zero-padded
    CrashLine& hexUpper(std::uint64_t value, int digits);
    CrashLine& dec(std::int64_t value);
    CrashLine& dec2(unsigned value, int digits); // zero-padded decimal
    CrashLine& ch(char c);

    const char* c_str() const { return m_buf; }
    std::size_t size() const { return m_len; }
    void clear();

private:
    CrashLine& hexWith(std::uint64_t value, int digits, const char* table);

    char m_buf[Capacity] = {};
    std::size_t m_len = 0;
};

} // namespace ve
