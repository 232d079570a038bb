// What the tool says, and what it keeps from the library's own lines on file descriptor 2.
#include "cli.hpp"

#include <iostream>
#include <unistd.h>

namespace zelxml {

std::FILE* user_err() {
    // A copy of descriptor 2 made before any library call, so that lines written while the
    // library's are collected still reach the user.
    static std::FILE* stream = [] {
        int fd = ::dup(STDERR_FILENO);
        std::FILE* s = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
        if (s == nullptr) return stderr;
        std::setvbuf(s, nullptr, _IOLBF, 0);
        return s;
    }();
    return stream;
}

int fail(int code, const std::string& message) {
    std::fprintf(user_err(), "zelxml: %s\n", message.c_str());
    return code;
}

void note(bool quiet, const std::string& message) {
    if (!quiet) std::fprintf(user_err(), "note: %s\n", message.c_str());
}

Captured::Captured() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    if (file_ == nullptr) return;  // no place to collect: the library's lines pass through
    saved_ = ::dup(STDERR_FILENO);
    if (saved_ < 0 || ::dup2(::fileno(file_), STDERR_FILENO) < 0) {
        if (saved_ >= 0) ::close(saved_);
        saved_ = -1;
        std::fclose(file_);
        file_ = nullptr;
    }
}

Captured::~Captured() { finish(); }

std::string Captured::finish() {
    std::string text;
    if (file_ == nullptr) return text;
    std::fflush(stderr);
    std::cerr.flush();
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    std::rewind(file_);
    char buffer[4096];
    std::size_t n;
    while (text.size() < 65536 && (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, n);
    std::fclose(file_);
    file_ = nullptr;
    return text;
}

std::string Captured::last_line(const std::string& text) {
    std::size_t end = text.find_last_not_of("\r\n ");
    if (end == std::string::npos) return "";
    std::size_t start = text.rfind('\n', end);
    start = start == std::string::npos ? 0 : start + 1;
    return text.substr(start, end + 1 - start);
}

std::size_t utf8_cut(const char* text, std::size_t length, std::size_t max_bytes) {
    if (length <= max_bytes) return length;
    std::size_t cut = max_bytes;
    // Back over continuation bytes (10xxxxxx) to the start of the character that crosses.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return cut;
}

}  // namespace zelxml
