// Shared pieces of the fuzz targets: start-up once, a memory-backed file, tree checks.
#pragma once

#include "zel_xml3.h"

#include <cstdint>
#include <cstdio>
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

// A file that lives only in memory, reachable by a path for the readers and through a
// FILE* for the writer (a /proc/self/fd path is no place to write a file by renaming).
class MemFile {
public:
    MemFile() : fd_(memfd_create("zel_xml3_fuzz", 0)), path_("/proc/self/fd/" + std::to_string(fd_)) {
        if (fd_ < 0) std::abort();
    }
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
    // Replaces the contents with the written tree; returns XMLWriteFH's result.
    ZEL_XML_RESULT write_tree(const XMLNode* root) const {
        if (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0) std::abort();
        FILE* out = fdopen(dup(fd_), "wb");
        if (out == nullptr) std::abort();
        ZEL_XML_RESULT result = XMLWriteFH(out, "UTF-8", root);
        if (std::fclose(out) != 0) std::abort();
        return result;
    }
    std::string contents() const {
        std::string text;
        char chunk[65536];
        for (off_t at = 0;;) {
            ssize_t n = pread(fd_, chunk, sizeof chunk, at);
            if (n < 0) std::abort();
            if (n == 0) return text;
            text.append(chunk, static_cast<size_t>(n));
            at += n;
        }
    }

private:
    int fd_;
    std::string path_;
};

// What a failed check does: by default it names the check and aborts, which the fuzzer
// reports as a crash; the regression tests install a function that throws instead.
using FailureHandler = void (*)(const char* what);
inline FailureHandler& failure_handler() {
    static FailureHandler handler = [](const char* what) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    };
    return handler;
}

inline void require(bool cond, const char* what = "tree invariant") {
    if (!cond) failure_handler()(what);
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

// The children of a record as a reader would see them in a written document: runs of
// adjacent text records become one text, since nothing marks their boundary in XML.
struct Content {
    std::vector<const XMLNode*> elements;  // null where a text run stands
    std::vector<std::string> texts;        // the run's text at the same position
};

inline Content content_of(const XMLNode* n, bool merge_text) {
    Content c;
    for (int32_t i = 0; i < n->children.count; ++i) {
        const XMLNode* child = n->children.items[i];
        bool text = child->type == XML_TEXT_NODE;
        if (text && merge_text && !c.elements.empty() && c.elements.back() == nullptr) {
            c.texts.back() += child->value;
            continue;
        }
        c.elements.push_back(text && merge_text ? nullptr : child);
        c.texts.emplace_back(text && merge_text ? child->value : "");
    }
    return c;
}

inline bool same_record(const XMLNode* x, const XMLNode* y) {
    if (std::strcmp(x->name, y->name) != 0 || x->type != y->type || std::strcmp(x->value, y->value) != 0 ||
        x->attributes.count != y->attributes.count)
        return false;
    for (int32_t i = 0; i < x->attributes.count; ++i)
        if (std::strcmp(x->attributes.items[i].name, y->attributes.items[i].name) != 0 ||
            std::strcmp(x->attributes.items[i].value, y->attributes.items[i].value) != 0)
            return false;
    return true;
}

// True when two trees hold the same names, types, values, attributes and children. With
// `merge_text`, adjacent text records compare as their concatenation (see content_of).
inline bool same_tree(const XMLNode* a, const XMLNode* b, bool merge_text = false) {
    std::vector<std::pair<const XMLNode*, const XMLNode*>> stack{{a, b}};
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        if (!same_record(x, y)) return false;
        Content cx = content_of(x, merge_text), cy = content_of(y, merge_text);
        if (cx.elements.size() != cy.elements.size() || cx.texts != cy.texts) return false;
        for (size_t i = 0; i < cx.elements.size(); ++i) {
            if ((cx.elements[i] == nullptr) != (cy.elements[i] == nullptr)) return false;
            if (cx.elements[i] != nullptr) stack.emplace_back(cx.elements[i], cy.elements[i]);
        }
    }
    return true;
}

}  // namespace zelfuzz
