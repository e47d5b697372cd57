#include "devices/replay/replay_adapter.h"

#include "devices/replay/trace_node.h"
#include "platform/data_file.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/message_box.h"

namespace replay {
namespace {

// The system's reason when the file cannot even be opened, so that the open fails with the code
// the operator expects ("No such file or directory"); kErrorInvalidParameter for a file that opens
// but is wrong, a FIFO among them.
int ReadFailureCode(const std::string& path) {
    const platform::DataFile file = platform::DataFile::OpenForReading(path);
    if (!file.IsOpen() && file.Error() != 0)
        return file.Error();
    return platform::kErrorInvalidParameter;
}

}  // namespace

int TraceSource::Load() {
    std::string error;
    auto file = trace::ReadTrace(path_, error);
    if (!file) {
        file_.reset();
        platform::MessageBox(error, "Error", platform::MessageIcon::kError);
        return ReadFailureCode(path_);
    }
    file_ = std::make_shared<const trace::TraceFile>(std::move(*file));
    return 0;
}

std::vector<std::unique_ptr<sim::Node>> TraceSource::Build(
    sim::Nanos now, std::function<std::uint32_t()> baudrate) {
    std::vector<std::unique_ptr<sim::Node>> nodes;
    if (file_ && !file_->entries.empty())
        nodes.push_back(std::make_unique<TraceNode>(file_, now, loop_, std::move(baudrate)));
    return nodes;
}

sim::SimAdapterOptions ReplayOptions(const std::string& path, bool loop) {
    sim::SimAdapterOptions options;
    options.scenario = sim::Scenario::kQuiet;
    options.nodeSource = std::make_shared<TraceSource>(path, loop);
    options.busName = "replay";
    return options;
}

std::shared_ptr<sim::SimAdapter> RegisterReplayAdapter(const std::string& devicePath,
                                                       const std::string& tracePath, bool loop) {
    auto adapter = std::make_shared<sim::SimAdapter>(ReplayOptions(tracePath, loop));
    platform::RegisterDevice(devicePath, adapter);
    return adapter;
}

}  // namespace replay
