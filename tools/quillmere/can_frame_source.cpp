#include "can_frame_source.h"

#include <linux/can.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "format.h"

namespace qmtool {

namespace {

double Now() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The identifier bits of can_id: flags first, then 29 or 11 bits.
void TakeIdentifier(canid_t canId, ReceivedFrame& frame) {
    frame.error = (canId & CAN_ERR_FLAG) != 0;
    frame.remote = (canId & CAN_RTR_FLAG) != 0;
    frame.extended = (canId & CAN_EFF_FLAG) != 0;
    frame.id = canId & (frame.extended ? CAN_EFF_MASK : CAN_SFF_MASK);
}

}  // namespace

FrameSource::Result DescriptorFrameSource::Next(ReceivedFrame& frame, int timeoutMs) {
    pollfd wait{fd_, POLLIN, 0};
    const int ready = ::poll(&wait, 1, timeoutMs);
    if (ready < 0) {
        if (errno == EINTR) return Result::Interrupted;
        throw ToolError(channel_ + ": cannot wait for frames: " + std::strerror(errno));
    }
    if (ready == 0) return Result::Timeout;
    canfd_frame raw{};
    const ssize_t got = ::read(fd_, &raw, sizeof raw);
    if (got < 0) {
        if (errno == EINTR) return Result::Interrupted;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return Result::Timeout;
        throw ToolError(channel_ + ": cannot read frames: " + std::strerror(errno));
    }
    if (got == 0) return Result::End;
    if (got != CAN_MTU && got != CANFD_MTU) return Result::Unreadable;
    frame = ReceivedFrame{};
    frame.timestamp = Now();
    frame.fd = got == CANFD_MTU;
    TakeIdentifier(raw.can_id, frame);
    // A classic frame's length field is its DLC, which may exceed 8 on the bus: 8 bytes at most.
    frame.size = std::min<uint8_t>(raw.len, frame.fd ? CANFD_MAX_DLEN : CAN_MAX_DLEN);
    if (frame.remote || frame.error) frame.size = 0;
    std::memcpy(frame.data, raw.data, frame.size);
    return Result::Frame;
}

SocketCanSource::SocketCanSource(const std::string& interface)
    : DescriptorFrameSource(-1, interface) {
    if (interface.empty() || interface.size() >= IFNAMSIZ) {
        throw ToolError("'" + interface + "' is no network interface name");
    }
    fd_ = ::socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC, CAN_RAW);
    if (fd_ < 0) {
        throw ToolError("cannot open a CAN socket for '" + interface +
                        "': " + std::strerror(errno) + " (does the kernel offer SocketCAN?)");
    }
    sockaddr_can address{};
    address.can_family = AF_CAN;
    // "any" listens on every CAN interface, as candump does.
    if (interface != "any") {
        ifreq request{};
        std::memcpy(request.ifr_name, interface.c_str(), interface.size());
        if (::ioctl(fd_, SIOCGIFINDEX, &request) < 0) {
            const int error = errno;
            ::close(fd_);
            throw ToolError("no CAN interface '" + interface + "': " + std::strerror(error));
        }
        address.can_ifindex = request.ifr_ifindex;
    }
    // CAN FD frames too, where the kernel knows them; classic frames arrive either way.
    const int enable = 1;
    ::setsockopt(fd_, SOL_CAN_RAW, CAN_RAW_FD_FRAMES, &enable, sizeof enable);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        const int error = errno;
        ::close(fd_);
        throw ToolError("cannot listen on CAN interface '" + interface +
                        "': " + std::strerror(error));
    }
}

SocketCanSource::~SocketCanSource() {
    ::close(fd_);
}

}  // namespace qmtool
