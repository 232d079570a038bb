// Helpers for tests that read or write documents: parser start-up per test, scratch files,
// and capture of the standard error stream.
#pragma once

#include "zel_xml3.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

// Starts the parser library for each test and stops it afterwards.
class ParserTest : public ::testing::Test {
protected:
    void SetUp() override { XMLInit(); }
    void TearDown() override { XMLTerm(); }
};

// The whole contents of a file; "" when it cannot be read.
inline std::string file_contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A file in the system's temporary folder, removed when the test ends.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& contents = "", const char* suffix = ".xml") {
        char pattern[] = "/tmp/zel_xml3_testXXXXXX";
        int fd = mkstemp(pattern);
        ::close(fd);
        std::remove(pattern);
        path_ = std::string(pattern) + suffix;
        write(contents);
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const char* path() const { return path_.c_str(); }
    void write(const std::string& contents) const {
        std::ofstream(path_, std::ios::binary) << contents;
    }
    std::string read() const { return file_contents(path_); }

private:
    std::string path_;
};

// Runs `body` and returns what it wrote to the standard error stream (C and C++ streams).
template <typename Body>
std::string capture_stderr(Body body) {
    std::fflush(stderr);
    ::testing::internal::CaptureStderr();
    body();
    std::fflush(stderr);
    return ::testing::internal::GetCapturedStderr();
}
