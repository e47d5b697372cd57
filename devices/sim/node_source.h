// Other nodes for a simulated bus that are set up afresh at every open instead of coming from a
// scenario, such as the frames of a trace file played from the moment the channel is opened.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devices/sim/sim_nodes.h"

namespace sim {

class NodeSource {
  public:
    virtual ~NodeSource() = default;
    // Called when a handle is being opened, before the adapter's lock is taken (it may read
    // files and report to the operator): 0, or a platform error code that refuses the open.
    virtual int Load() = 0;
    // Then, under the lock, once the opener has applied its settings: the nodes for a bus that
    // starts playing at `now`, whose bit rate `baudrate`
    // tells at any moment.
    virtual std::vector<std::unique_ptr<Node>> Build(Nanos now,
                                                     std::function<std::uint32_t()> baudrate) = 0;
    // The file the nodes are read from; empty for nodes made without one.
    virtual std::string SourceFile() const { return {}; }
};

}  // namespace sim
