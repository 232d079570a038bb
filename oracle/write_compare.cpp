// The library's writer against the reference writer: both write the same tree to the same
// outputs, one after the other, and what each left behind is compared.
#include "dom_write.hpp"
#include "stderr_capture.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace oracle {

namespace {

// What one run left behind. `output` holds everything that describes the output afterwards
// (bytes, stream position, names in the folder), so comparing it compares them all.
struct Run {
    ZEL_XML_RESULT result = -1;
    std::string messages;
    std::string output;
};

std::string bytes_of(int fd) {
    std::string out;
    char chunk[65536];
    for (off_t at = 0;;) {
        ssize_t n = pread(fd, chunk, sizeof chunk, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return out;
        out.append(chunk, static_cast<std::size_t>(n));
        at += n;
    }
}

// The bytes of the regular file `path`, or a marker saying what is there instead.
std::string file_state(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) return "<no file>";
    if (!S_ISREG(info.st_mode)) return "<not a regular file>";
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return "<unreadable>";
    std::string bytes = bytes_of(fd);
    ::close(fd);
    return bytes;
}

void put(const char* path, const char* contents) { std::ofstream(path, std::ios::binary) << contents; }

// The names in `folder`, sorted.
std::string names_in(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& name : names) out += name + " ";
    return out;
}

template <typename Write>
Run run(Write write) {
    Run out;
    StderrCapture capture;
    out.result = write();
    out.messages = capture.text();
    return out;
}

// A printable excerpt of `bytes` around `at`.
std::string excerpt(const std::string& bytes, std::size_t at) {
    std::size_t from = at > 40 ? at - 40 : 0;
    std::string out;
    for (std::size_t i = from; i < bytes.size() && i < at + 40; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

// "" when the two runs agree, else what differs first, the library's side first.
std::string compare(const char* what, const Run& mine, const Run& reference) {
    std::string head = std::string(what) + ": ";
    if (mine.result != reference.result)
        return head + "result " + std::to_string(mine.result) + " != " + std::to_string(reference.result);
    if (mine.messages != reference.messages)
        return head + "messages:\n" + mine.messages.substr(0, 1000) + "\n!=\n" + reference.messages.substr(0, 1000);
    if (mine.output != reference.output) {
        const std::string& a = mine.output;
        const std::string& b = reference.output;
        std::size_t at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
        return head + "output differs at byte " + std::to_string(at) + " (sizes " + std::to_string(a.size()) +
               ", " + std::to_string(b.size()) + "):\n" + excerpt(a, at) + "\n!=\n" + excerpt(b, at);
    }
    return "";
}

// The outputs both writers share, made once per process: a folder of its own holding at
// most the one file, and a stream over memory. Using the very same path and stream (the
// same descriptor) keeps the labels in the messages equal.
class Targets {
public:
    static Targets& get() {
        static Targets targets;
        return targets;
    }

    const char* path() const { return path_.c_str(); }

    // The file and the folder after a write.
    std::string file_output() const { return file_state(path()) + "\n<folder> " + names_in(folder_); }

    // An empty stream holding only the bytes the caller wrote before the document.
    std::FILE* fresh_stream() {
        std::fflush(stream_);
        if (ftruncate(fileno(stream_), 0) != 0) std::abort();
        std::rewind(stream_);  // also clears the error and end-of-file flags
        std::fputs("caller's bytes\n", stream_);  // still in the stream's buffer
        return stream_;
    }

    // What reached the descriptor, and the stream's position and error flag.
    std::string stream_output() const {
        return bytes_of(fileno(stream_)) + "\n<position> " + std::to_string(std::ftell(stream_)) + " <error> " +
               std::to_string(std::ferror(stream_) != 0);
    }

private:
    Targets() {
        // A memory-backed folder when there is one: the library syncs what it replaces.
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/zel_xml3_write_compareXXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        folder_ = pattern;
        path_ = folder_ + "/out.xml";
        // Above the standard descriptors, which a fuzzer may have closed: the capture of the
        // standard error stream must never take the stream's descriptor.
        int made = memfd_create("zel_xml3_write_compare", 0);
        int fd = made >= 0 ? fcntl(made, F_DUPFD_CLOEXEC, 3) : -1;
        if (made >= 0) ::close(made);
        stream_ = fd >= 0 ? fdopen(fd, "w+b") : nullptr;
        if (stream_ == nullptr) std::abort();
    }
    ~Targets() {
        std::fclose(stream_);
        std::remove(path_.c_str());
        ::rmdir(folder_.c_str());
    }

    std::string folder_;
    std::string path_;
    std::FILE* stream_;
};

// Runs `runner` for the library's writer, then for the reference: "" when the runs agree.
template <typename Runner>
std::string both(const char* what, Runner runner) {
    Run mine = runner(true);
    Run reference = runner(false);
    return compare(what, mine, reference);
}

}  // namespace

std::string stream_differences(const XMLNode* root, const char* encoding) {
    Targets& targets = Targets::get();
    return both("stream", [&](bool library) {
        std::FILE* stream = targets.fresh_stream();
        Run out = run([&] {
            return library ? XMLWriteFH(stream, encoding, root) : dom_write_fh(stream, encoding, root);
        });
        out.output = targets.stream_output();
        return out;
    });
}

std::string write_differences(const XMLNode* root, const char* encoding, ZEL_XML_RESULT* result) {
    Targets& targets = Targets::get();
    const char* path = targets.path();
    auto to_file = [&](bool library) {
        return run([&] { return library ? XMLWrite(path, encoding, root) : dom_write(path, encoding, root); });
    };
    std::string difference = both("new file", [&](bool library) {
        std::remove(path);
        Run out = to_file(library);
        out.output = targets.file_output();
        if (library && result != nullptr) *result = out.result;
        return out;
    });
    if (difference.empty()) {
        difference = both("existing file", [&](bool library) {
            put(path, "old");
            Run out = to_file(library);
            out.output = targets.file_output();
            return out;
        });
    }
    std::remove(path);
    if (difference.empty()) difference = stream_differences(root, encoding);
    // No output: the tree is still checked, and a refused one is reported.
    for (const char* name : {static_cast<const char*>(nullptr), ""}) {
        if (!difference.empty()) break;
        difference = both(name == nullptr ? "NULL file name" : "empty file name", [&](bool library) {
            return run([&] { return library ? XMLWrite(name, encoding, root) : dom_write(name, encoding, root); });
        });
    }
    if (difference.empty()) {
        difference = both("NULL handle", [&](bool library) {
            return run([&] {
                return library ? XMLWriteFH(nullptr, encoding, root) : dom_write_fh(nullptr, encoding, root);
            });
        });
    }
    return difference;
}

std::string write_differences_at(const char* path, const XMLNode* root, const char* encoding, const char* old) {
    struct stat info;
    const bool existed = lstat(path, &info) == 0;
    Run pair[2];
    for (bool library : {true, false}) {
        if (old != nullptr) put(path, old);
        Run& out = pair[library ? 0 : 1];
        out = run([&] { return library ? XMLWrite(path, encoding, root) : dom_write(path, encoding, root); });
        out.output = file_state(path);
        if (!existed) std::remove(path);  // the next writer finds the path as the first did
    }
    return compare(path, pair[0], pair[1]);
}

}  // namespace oracle
