#include "SimPty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {
struct SpeedName
{
    speed_t code;
    quint32 rate;
};
const SpeedName Speeds[] = {
    {B0, 0},
    {B50, 50},
    {B75, 75},
    {B110, 110},
    {B134, 134},
    {B150, 150},
    {B200, 200},
    {B300, 300},
    {B600, 600},
    {B1200, 1200},
    {B1800, 1800},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
    {B460800, 460800},
    {B500000, 500000},
    {B576000, 576000},
    {B921600, 921600},
    {B1000000, 1000000},
    {B1152000, 1152000},
    {B1500000, 1500000},
    {B2000000, 2000000},
    {B2500000, 2500000},
    {B3000000, 3000000},
};

// The kernel's termios2 carries arbitrary rates (BOTHER); glibc's termios does not.
struct KernelTermios2
{
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};
#ifndef BOTHER
#define BOTHER 0010000
#endif
} // namespace

SimPty::~SimPty()
{
    close();
}

bool SimPty::open(quint32 initialBaud, QString* error)
{
    close();
    auto fail = [&](const char* what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(
                QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        close();
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail("unlockpt");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    path_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0)
        return fail("open slave");
    termios t {};
    if (::tcgetattr(slave_, &t) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&t);
    for (const SpeedName& s : Speeds)
        if (s.rate == initialBaud) {
            ::cfsetispeed(&t, s.code);
            ::cfsetospeed(&t, s.code);
        }
    if (::tcsetattr(slave_, TCSANOW, &t) != 0)
        return fail("tcsetattr");
    return true;
}

void SimPty::close()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
}

quint32 SimPty::lineBaud() const
{
    if (slave_ < 0)
        return 0;
    termios t {};
    if (::tcgetattr(slave_, &t) != 0)
        return 0;
    const speed_t code = ::cfgetospeed(&t);
    if (code == BOTHER) {
        KernelTermios2 t2 {};
        if (::ioctl(slave_, _IOR('T', 0x2A, KernelTermios2), &t2) == 0)
            return t2.c_ospeed;
        return 0;
    }
    for (const SpeedName& s : Speeds)
        if (s.code == code)
            return s.rate;
    return 0;
}

} // namespace sim
