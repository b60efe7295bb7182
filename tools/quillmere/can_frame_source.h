#pragma once
// Frames as a bus delivers them: a SocketCAN raw socket, or any file descriptor that delivers
// one `struct can_frame` or `struct canfd_frame` per read (a socket pair in the tests, a socket
// handed over by another program).
#include <cstdint>
#include <string>

namespace qmtool {

struct ReceivedFrame {
    uint32_t id = 0;
    bool extended = false;
    bool fd = false;
    bool remote = false;
    bool error = false;  // an error frame (CAN_ERR_FLAG): no data
    uint8_t size = 0;
    uint8_t data[64] = {};
    double timestamp = 0.0;  // seconds since the epoch, when the frame was read
};

class FrameSource {
  public:
    // Unreadable: a read of neither frame size, skipped.
    enum class Result { Frame, Timeout, Interrupted, End, Unreadable };

    virtual ~FrameSource() = default;
    // Waits at most timeoutMs for the next frame. Interrupted: a signal arrived; End: the source
    // has closed. Throws ToolError when reading fails.
    virtual Result Next(ReceivedFrame& frame, int timeoutMs) = 0;
    // How the source is named in the output (the interface, or "fd N").
    virtual const std::string& Channel() const = 0;
};

// Reads whole frames from a descriptor it does not own (16 bytes: classic CAN, 72: CAN FD).
class DescriptorFrameSource : public FrameSource {
  public:
    DescriptorFrameSource(int fd, std::string channel) : fd_(fd), channel_(std::move(channel)) {}
    Result Next(ReceivedFrame& frame, int timeoutMs) override;
    const std::string& Channel() const override { return channel_; }

  protected:
    int fd_;
    std::string channel_;
};

// A raw CAN socket bound to one interface, with CAN FD frames enabled where the kernel offers
// them. Throws ToolError naming the interface when it cannot be opened.
class SocketCanSource : public DescriptorFrameSource {
  public:
    explicit SocketCanSource(const std::string& interface);
    ~SocketCanSource() override;
    SocketCanSource(const SocketCanSource&) = delete;
    SocketCanSource& operator=(const SocketCanSource&) = delete;
};

}  // namespace qmtool
