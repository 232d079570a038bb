// Capture of the standard error stream at its descriptor, so that what the C stream, the C++
// streams and the parser library print all lands in one place. Used by the comparisons.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace oracle {

// Sends the standard error stream into memory while it lives; text() gives what came.
class StderrCapture {
public:
    StderrCapture() : memory_(memfd_create("oracle_stderr", 0)) {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        if (memory_ < 0 || saved_ < 0 || dup2(memory_, STDERR_FILENO) < 0) std::abort();
    }
    ~StderrCapture() {
        release();
        ::close(memory_);
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    std::string text() {
        release();
        std::string out;
        char chunk[4096];
        for (off_t at = 0;;) {
            ssize_t n = pread(memory_, chunk, sizeof chunk, at);
            if (n <= 0) break;
            out.append(chunk, static_cast<std::size_t>(n));
            at += n;
        }
        return out;
    }

private:
    void release() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }

    int memory_;
    int saved_ = -1;
};

}  // namespace oracle
