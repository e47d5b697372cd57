// The replay adapter: the simulated adapter (its SJA1000, filters, modes, record queue and
// transmit queue unchanged) on a bus whose other nodes are the frames and bus events of a trace
// file (trace_node.h), played from the moment the opener has applied its settings after the open
// (platform::Device::Configured): mode, filters and rate are then the operator's, so the file's
// first frame already goes out at the chosen rate and through the chosen filters.
//
// The file is read at every open, so a file corrected meanwhile plays at the next open. A file
// that cannot be read refuses the open: the reader's German text, naming the file and the line,
// goes to the operator as a message box (the channel layer reports an open failure by its error
// code alone), and the open fails with the system's code for a file that cannot be opened, or
// kErrorInvalidParameter for one that opens but does not parse. A file with nothing to play opens a
// quiet bus.
#pragma once

#include <memory>
#include <string>

#include "devices/sim/node_source.h"
#include "devices/sim/sim_adapter.h"
#include "trace/trace_reader.h"

namespace replay {

class TraceSource final : public sim::NodeSource {
  public:
    TraceSource(std::string path, bool loop) : path_(std::move(path)), loop_(loop) {}

    const std::string& Path() const { return path_; }
    std::string SourceFile() const override { return path_; }
    bool Loop() const { return loop_; }

    int Load() override;
    std::vector<std::unique_ptr<sim::Node>> Build(sim::Nanos now,
                                                  std::function<std::uint32_t()> baudrate) override;

  private:
    const std::string path_;
    const bool loop_;
    std::shared_ptr<const trace::TraceFile> file_;  // as the last open read it
};

// Options of a simulated adapter that replays `path`; the clock is real time.
sim::SimAdapterOptions ReplayOptions(const std::string& path, bool loop);

// Registers a new real-time replay adapter under `devicePath`, in place of whatever device was
// registered there. Returns it.
std::shared_ptr<sim::SimAdapter> RegisterReplayAdapter(const std::string& devicePath,
                                                       const std::string& tracePath, bool loop);

}  // namespace replay
