// The order of one check run's results.
#include "check/RunSequence.h"

#include <utility>

namespace lq {

void RunSequence::fill(int slot, Apply apply) {
    const auto index = static_cast<std::size_t>(slot);
    if (index >= slots_.size() || index < next_ || slots_[index])
        return; // a piece given twice, or for no slot, would reorder the report
    slots_[index] = std::move(apply);
    applyReady();
}

void RunSequence::deliver(Apply apply) {
    held_.push_back(std::move(apply));
    applyReady();
}

void RunSequence::applyReady() {
    // A piece may hand in more work while it is applied; the loop that is already running takes it.
    if (applying_)
        return;
    applying_ = true;
    while (next_ < slots_.size() && slots_[next_]) {
        Apply apply = std::move(*slots_[next_]);
        ++next_;
        apply();
    }
    if (complete()) {
        for (std::size_t i = 0; i < held_.size(); ++i) {
            Apply apply = std::move(held_[i]);
            apply();
        }
        held_.clear();
    }
    applying_ = false;
}

} // namespace lq
