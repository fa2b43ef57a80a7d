#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace veq::testing {

// Sends standard error (where trace lines go) to a file while it lives; lines() reads what was
// written so far.
class StderrCapture {
public:
    StderrCapture() {
        char path[] = "/tmp/veq-trace-XXXXXX";
        const int fd = ::mkstemp(path);
        path_ = path;
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrCapture() {
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        ::unlink(path_.c_str());
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // The trace lines written so far, without their "[transport] " prefix; other output is left out.
    std::vector<std::string> lines() const {
        std::ifstream in(path_);
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) {
            constexpr std::string_view prefix = "[transport] ";
            if (line.starts_with(prefix)) out.push_back(line.substr(prefix.size()));
        }
        return out;
    }

private:
    std::string path_;
    int saved_ = -1;
};

} // namespace veq::testing
