// Shared pieces of the fuzz targets: start-up once, a memory-backed file, tree checks.
#pragma once

#include "zel_xml3.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace zelfuzz {

// Starts the parser library once for the whole fuzzing run.
inline void start_once() {
    static bool started = [] {
        XMLInit();
        return true;
    }();
    (void)started;
}

// A file that lives only in memory, reachable by a path for the readers and writers.
class MemFile {
public:
    MemFile() : fd_(memfd_create("zel_xml3_fuzz", 0)), path_("/proc/self/fd/" + std::to_string(fd_)) {}
    ~MemFile() { ::close(fd_); }
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;
    const char* path() const { return path_.c_str(); }
    void write(const uint8_t* data, size_t size) const {
        if (ftruncate(fd_, 0) != 0) std::abort();
        for (size_t done = 0; done < size;) {
            ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<size_t>(n);
        }
    }

private:
    int fd_;
    std::string path_;
};

// Aborts (a crash for the fuzzer) unless `cond` holds.
inline void require(bool cond) {
    if (!cond) std::abort();
}

// Checks the structural invariants of every record below `root`, iteratively: sequences
// within capacity, no null entries or strings, names terminated, children linked back.
inline void check_tree(const XMLNode* root) {
    std::vector<const XMLNode*> stack{root};
    while (!stack.empty()) {
        const XMLNode* n = stack.back();
        stack.pop_back();
        require(std::memchr(n->name, '\0', sizeof n->name) != nullptr);
        require(n->value != nullptr);
        require(n->children.count >= 0 && n->children.count <= n->children.capacity);
        require(n->attributes.count >= 0 && n->attributes.count <= n->attributes.capacity);
        for (int32_t i = 0; i < n->attributes.count; ++i)
            require(n->attributes.items[i].name != nullptr && n->attributes.items[i].value != nullptr);
        for (int32_t i = 0; i < n->children.count; ++i) {
            const XMLNode* child = n->children.items[i];
            require(child != nullptr && child->parent == n);
            stack.push_back(child);
        }
    }
}

// True when two trees hold the same names, types, values, attributes and children.
inline bool same_tree(const XMLNode* a, const XMLNode* b) {
    std::vector<std::pair<const XMLNode*, const XMLNode*>> stack{{a, b}};
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        if (std::strcmp(x->name, y->name) != 0 || x->type != y->type || std::strcmp(x->value, y->value) != 0 ||
            x->attributes.count != y->attributes.count || x->children.count != y->children.count)
            return false;
        for (int32_t i = 0; i < x->attributes.count; ++i)
            if (std::strcmp(x->attributes.items[i].name, y->attributes.items[i].name) != 0 ||
                std::strcmp(x->attributes.items[i].value, y->attributes.items[i].value) != 0)
                return false;
        for (int32_t i = 0; i < x->children.count; ++i) stack.emplace_back(x->children.items[i], y->children.items[i]);
    }
    return true;
}

}  // namespace zelfuzz
