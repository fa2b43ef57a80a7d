#pragma once

#include <stop_token>
#include <utility>

namespace veq {

// A stop token requested as soon as either of two others is: a task stopped by its own
// cancellation or by the end of the connection it works for. Lives on the thread that waits.
class StopEither {
public:
    StopEither(std::stop_token first, std::stop_token second)
        : first_(std::move(first), Request{&source_}), second_(std::move(second), Request{&source_}) {}
    StopEither(const StopEither&) = delete;
    StopEither& operator=(const StopEither&) = delete;

    std::stop_token token() const { return source_.get_token(); }

private:
    struct Request {
        std::stop_source* source;
        void operator()() const { source->request_stop(); }
    };

    // First: the callbacks below use it.
    std::stop_source source_;
    std::stop_callback<Request> first_;
    std::stop_callback<Request> second_;
};

} // namespace veq
