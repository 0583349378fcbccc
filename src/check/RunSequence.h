// The order in which one check run's results reach the window. The run's tools answer in any order,
// but the report must read the same whatever the order: the run's own part (firmware lines, the
// security status block, the macOS line, the install history) in that order, and only then the
// results that come from the network or from long tools, in the order they arrive.
#pragma once

#include <functional>
#include <optional>
#include <vector>

namespace lq {

class RunSequence {
public:
    using Apply = std::function<void()>;

    // A run whose own part has `slots` pieces; with none, every result is applied as it arrives.
    explicit RunSequence(int slots) : slots_(static_cast<std::size_t>(slots)) {}

    // Hands in the piece of the run's own part at `slot`. It is applied as soon as every piece
    // before it has been; the last one lets the held results through.
    void fill(int slot, Apply apply);
    // Hands in a result that is not part of the run's own part: applied now when that part is
    // complete, otherwise held until it is, in the order the results arrived.
    void deliver(Apply apply);
    // Whether the run's own part has been applied whole.
    bool complete() const { return next_ == slots_.size(); }

private:
    void applyReady();

    std::vector<std::optional<Apply>> slots_;
    std::size_t next_ = 0;
    std::vector<Apply> held_;
    bool applying_ = false;
};

} // namespace lq
