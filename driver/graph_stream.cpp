#include "driver/graph_stream.hpp"

namespace pellimor {

GraphStream::GraphStream(OutputTarget target) : target_(std::move(target)) {}

std::optional<std::string> GraphStream::flush() {
    if (failure_ || buffer_.empty()) {
        return failure_;
    }
    // Written whole also after a stop (driver/stop_signals.hpp): every graph
    // buffered is whole, unless the reader stops taking data.
    failure_ = target_.write(buffer_);
    buffer_.clear();
    return failure_;
}

std::optional<std::string> GraphStream::add(std::string_view text) {
    if (text.size() < flush_size) {
        buffer_ += text;
        return maybe_flush();
    }
    if (auto error = flush()) {
        return error;
    }
    failure_ = target_.write(text);
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
