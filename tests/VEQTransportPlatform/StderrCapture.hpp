#pragma once

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace veq::testing {

// Sends standard error (where trace lines go) to a file while it lives.
class StderrCapture {
public:
    StderrCapture() { const int fd = ::mkstemp(path_.data()); ::dup2(fd, STDERR_FILENO); ::close(fd); }
    ~StderrCapture() { ::dup2(saved_, STDERR_FILENO); ::close(saved_); ::unlink(path_.c_str()); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // The trace lines written so far, without their "[transport] " prefix.
    std::vector<std::string> lines() const {
        std::ifstream in(path_);
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);)
            if (line.starts_with("[transport] ")) out.push_back(line.substr(12));
        return out;
    }

private:
    std::string path_ = "/tmp/veq-trace-XXXXXX";
    int saved_ = ::dup(STDERR_FILENO);
};

} // namespace veq::testing
