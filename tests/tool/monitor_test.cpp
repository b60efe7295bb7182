// "quillmere monitor" on frames from a socket pair (SOCK_SEQPACKET: one frame a message) or a
// vcan interface: decoding as "decode --log", the table, and stopping at end, --count, SIGTERM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/can.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tool_support.h"

namespace monitor {
namespace {

const std::string kDbcPath = (kExamples / "powertrain.dbc").string();
const std::string kDbc = Quote(kDbcPath);

// EngineData: EngineSpeed 1500 rpm (raw 6000), CoolantTemp 90 degC (raw 130).
const std::vector<uint8_t> kEngine1500 = {0x70, 0x17, 0x82, 0, 0, 0, 0, 0};
// EngineSpeed 2000 rpm (raw 8000), CoolantTemp 60 degC (raw 100).
const std::vector<uint8_t> kEngine2000 = {0x40, 0x1F, 0x64, 0, 0, 0, 0, 0};
// DashboardStatus (extended 0x18FEF000): AmbientTemp, a float, -5 degC.
const std::vector<uint8_t> kAmbientMinus5 = {0, 0, 0xA0, 0xC0, 0, 0, 0, 0};

// A struct can_frame, or canfd_frame, as a CAN socket delivers it.
template <class Frame = can_frame>
Frame Classic(canid_t id, const std::vector<uint8_t>& data) {
    Frame frame{};
    frame.can_id = id;
    frame.len = static_cast<uint8_t>(data.size());
    if (!data.empty()) std::memcpy(frame.data, data.data(), data.size());
    return frame;
}

// A socket pair: the tool reads one end (inherited through --fd), the test writes the other
// (close-on-exec, so that closing it ends the tool's source).
class FramePipe {
  public:
    FramePipe() {
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends_), 0) << std::strerror(errno);
        ::fcntl(ends_[1], F_SETFD, FD_CLOEXEC);
    }
    ~FramePipe() {
        CloseWriter();
        ::close(ends_[0]);
    }
    template <class Frame>
    void Send(const Frame& frame) {
        ASSERT_EQ(::write(ends_[1], &frame, sizeof frame), static_cast<ssize_t>(sizeof frame));
    }
    void CloseWriter() {
        if (ends_[1] >= 0) ::close(ends_[1]);
        ends_[1] = -1;
    }
    std::string FdOption() const { return " --fd " + std::to_string(ends_[0]); }

  private:
    int ends_[2] = {-1, -1};
};

std::vector<json> JsonLines(const std::string& text) {
    std::vector<json> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(json::parse(line));
    return lines;
}

// The monitor's run on the frames sent, the writer closed after them unless `keepOpen`.
template <class... Frames>
Output Monitor(const std::string& options, bool keepOpen, const Frames&... frames) {
    FramePipe pipe;
    (pipe.Send(frames), ...);
    if (!keepOpen) pipe.CloseWriter();
    const Output result = RunTool("monitor " + kDbc + options + pipe.FdOption());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result;
}

double Physical(const json& frame, const std::string& signal) {
    for (const json& entry : frame["signals"]) {
        if (entry["name"] == signal) return entry["physical"].get<double>();
    }
    ADD_FAILURE() << "no signal " << signal << " in " << frame.dump();
    return 0.0;
}

TEST(MonitorSocketPair, DecodesEveryKnownFrameAndCountsTheRest) {
    // The last frame is too short for all but nothing.
    const auto result = Monitor(" --json", false, Classic(0x100, kEngine1500),
                                Classic(0x18FEF000 | CAN_EFF_FLAG, kAmbientMinus5),
                                Classic(0x100 | CAN_RTR_FLAG, {}), Classic(0x7AB, {1, 2}),
                                Classic<canfd_frame>(0x100, kEngine2000), Classic(0x100, {0x70}));
    const auto lines = JsonLines(result.out);
    ASSERT_EQ(lines.size(), 4u) << result.out;
    ExpectJsonHas(lines[0], R"({"name": "EngineData", "extended": false})");
    EXPECT_DOUBLE_EQ(Physical(lines[0], "EngineSpeed"), 1500.0);
    EXPECT_DOUBLE_EQ(Physical(lines[0], "CoolantTemp"), 90.0);
    ExpectJsonHas(lines[1], R"({"name": "DashboardStatus", "extended": true})");
    EXPECT_DOUBLE_EQ(Physical(lines[1], "AmbientTemp"), -5.0);
    EXPECT_DOUBLE_EQ(Physical(lines[2], "EngineSpeed"), 2000.0);  // the CAN FD frame
    EXPECT_EQ(lines[3].value("truncated", false), true);
    EXPECT_NE(result.err.find("5 frames (4 decoded, 1 unknown, 1 truncated), 1 remote"),
              std::string::npos)
        << result.err;
}

// The text lines are those of "decode --log" for the same frame.
TEST(MonitorSocketPair, TextLinesAreThoseOfDecode) {
    const auto monitored = Monitor(" --view lines", false, Classic(0x100, kEngine1500));
    const auto decoded = RunTool("decode " + kDbc + " 0x100 7017820000000000");
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    const size_t head = monitored.out.find(") fd");
    ASSERT_EQ(monitored.out.rfind('(', 0), 0u) << monitored.out;  // "(seconds) fdN ..."
    ASSERT_NE(head, std::string::npos) << monitored.out;
    EXPECT_EQ(monitored.out.substr(monitored.out.find(' ', head + 2) + 1), decoded.out);
}

TEST(MonitorSocketPair, StopsAfterCount) {
    const auto frame = Classic(0x100, kEngine1500);
    const auto result = Monitor(" --json --count 2", true, frame, frame, frame, frame, frame);
    EXPECT_EQ(JsonLines(result.out).size(), 2u);
}

TEST(MonitorSocketPair, TableShowsTheLatestValuesOfEachFrame) {
    const std::string out =
        Monitor(" --view table", false, Classic(0x18FEF000 | CAN_EFF_FLAG, kAmbientMinus5),
                Classic(0x100, kEngine1500), Classic(0x100, kEngine2000),
                Classic(0x123, {0xDE, 0xAD}))
            .out;
    const std::string last = out.substr(out.rfind("\x1b[H"));  // the last drawing
    const size_t engine = last.find("0x100  EngineData (id 256)  count 2  period ");
    const size_t unknown = last.find("0x123  (not in the database)  count 1  [2] DE AD");
    const size_t dashboard = last.find("0x18FEF000  DashboardStatus");
    ASSERT_NE(engine, std::string::npos) << last;
    ASSERT_NE(unknown, std::string::npos) << last;
    ASSERT_NE(dashboard, std::string::npos) << last;
    EXPECT_LT(engine, unknown);  // sorted: standard identifiers, then extended ones
    EXPECT_LT(unknown, dashboard);
    ExpectTexts(last, {"EngineSpeed = 2000 rpm", "!EngineSpeed = 1500", "AmbientTemp = -5 degC",
                       "4 frames (3 decoded, 1 unknown)"});
}

// On a source that stays open, SIGTERM (sent once the first frame is out) ends it with exit 0.
TEST(MonitorSocketPair, StopsCleanlyOnSigterm) {
    FramePipe pipe;
    pipe.Send(Classic(0x100, kEngine1500));
    const std::string fd = pipe.FdOption().substr(6);
    int output[2];
    ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(output[1], STDOUT_FILENO);
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, STDERR_FILENO);
        ::execl(QM_TOOL_PATH, QM_TOOL_PATH, "monitor", kDbcPath.c_str(), "--json", "--fd",
                fd.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(output[1]);
    std::string firstLine;
    char c = 0;
    while (::read(output[0], &c, 1) == 1 && c != '\n') firstLine += c;
    ::close(output[0]);
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_NE(firstLine.find("\"EngineData\""), std::string::npos) << firstLine;
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(MonitorOptions, RefusesWhatItCannotDo) {
    const std::string monitor = "monitor " + kDbc;
    ExpectRuns({
        {monitor + " --interface qmnosuch0", 2, {}, {"qmnosuch0"}},
        {monitor + " --interface name_longer_than_ifnamsiz", 2, {}, {"no network interface name"}},
        {monitor + " --view table --json --fd 0", 2, {}, {"does not go with --view table"}},
        {monitor + " --view sideways --fd 0", 2, {}, {"--view takes auto, table or lines"}},
    });
}

// A virtual CAN interface, created for the test and removed after it.
struct VirtualCan {
    VirtualCan() {
        created = Run("ip link add dev " + name + " type vcan 2>&1", reason) &&
                  Run("ip link set up " + name + " 2>&1", reason);
    }
    ~VirtualCan() {
        std::string ignored;
        Run("ip link del dev " + name + " 2>&1", ignored);
    }
    static bool Run(const std::string& command, std::string& output) {
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return false;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        return ::pclose(pipe) == 0;
    }
    const std::string name = "qmvcan" + std::to_string(::getpid() % 100000);
    std::string reason;
    bool created = false;
};

int OpenRawSocket(const std::string& interface) {
    const int fd = ::socket(PF_CAN, SOCK_RAW, CAN_RAW);
    if (fd < 0) return -1;
    ifreq request{};
    std::strncpy(request.ifr_name, interface.c_str(), IFNAMSIZ - 1);
    sockaddr_can address{};
    address.can_family = AF_CAN;
    if (::ioctl(fd, SIOCGIFINDEX, &request) < 0) return ::close(fd), -1;
    address.can_ifindex = request.ifr_ifindex;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        return ::close(fd), -1;
    }
    return fd;
}

TEST(MonitorVcan, DecodesFramesFromAVirtualInterface) {
    const VirtualCan vcan;
    if (!vcan.created) {
        GTEST_SKIP() << "the kernel refused a vcan interface (needs root and the vcan module: "
                        "modprobe vcan): "
                     << vcan.reason;
    }
    const int sender = OpenRawSocket(vcan.name);
    ASSERT_GE(sender, 0) << std::strerror(errno);
    auto monitored = std::async(std::launch::async, [&] {
        return RunTool("monitor " + kDbc + " --json --count 2 --duration 10 --interface " +
                       vcan.name);
    });
    // The monitor binds its socket after loading the database: send until it has seen both.
    for (int i = 0;
         i < 50 && monitored.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready;
         ++i) {
        const can_frame engine = Classic(0x100, kEngine1500);
        const can_frame dashboard = Classic(0x18FEF000 | CAN_EFF_FLAG, kAmbientMinus5);
        ::write(sender, &engine, sizeof engine);
        ::write(sender, &dashboard, sizeof dashboard);
    }
    ::close(sender);
    const auto result = monitored.get();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto lines = JsonLines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    for (const json& line : lines) {
        EXPECT_EQ(line["channel"], vcan.name);
        if (line["name"] == "EngineData") {
            EXPECT_DOUBLE_EQ(Physical(line, "EngineSpeed"), 1500.0);
        } else {
            EXPECT_DOUBLE_EQ(Physical(line, "AmbientTemp"), -5.0);
        }
    }
}

}  // namespace
}  // namespace monitor
