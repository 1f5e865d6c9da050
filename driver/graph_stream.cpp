#include "driver/graph_stream.hpp"

#include <algorithm>

#include "driver/stop_signals.hpp"

namespace pellimor {

namespace {

// How long the rest of a graph cut short by a stop may take to write.
constexpr int finish_patience_ms = 3000;

}  // namespace

GraphStream::GraphStream(OutputTarget target) : target_(std::move(target)) {}

void GraphStream::end_graph() {
    ends_.push_back(buffer_.size());
}

std::optional<std::string> GraphStream::flush() {
    if (failure_ || buffer_.empty()) {
        return failure_;
    }
    std::size_t written = 0;
    auto error = target_.write(buffer_, &written);
    if (error && stop_signal() != 0 && written < buffer_.size()) {
        // Cut short by a stop: finish the graph it was in, and no more.
        const auto end = std::lower_bound(ends_.begin(), ends_.end(), written);
        const std::size_t to = end == ends_.end() ? buffer_.size() : *end;
        error = to > written
                    ? target_.write_through(std::string_view(buffer_).substr(written, to - written),
                                            finish_patience_ms)
                    : std::nullopt;
    }
    buffer_.clear();
    ends_.clear();
    failure_ = error;
    return failure_;
}

std::optional<std::string> GraphStream::finish() {
    if (auto error = flush()) {
        return error;
    }
    failure_ = target_.commit();
    return failure_;
}

}  // namespace pellimor
