// Reading a document, from a file or standard input, and reporting its problems one line each.
#include "cli.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelxml {
namespace {

// The text of the diagnostic being reported, or nullptr where the library gives none. The
// one place that asks the library for it.
const char* diagnostic_message() { return XMLGetDiagnosticMessage(); }

constexpr char kRemoteSkipped[] = "remote DTD or entity not fetched: ";
constexpr std::size_t kMaxMessage = 300;

const char* severity_name(int32_t severity) {
    return severity == 6 ? "warning" : severity == 5 ? "error" : "fatal error";
}

// A message as one line of bounded length.
std::string one_line(const char* message) {
    std::string text = message;
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    std::size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    std::size_t cut = utf8_cut(text.data(), text.size(), kMaxMessage);
    if (cut < text.size()) text = text.substr(0, cut) + "...";
    return text;
}

void print_problem(const std::string& name, long line, long column, const char* kind, const std::string& message) {
    std::fprintf(user_err(), "%s:%ld:%ld: %s%s%s\n", name.c_str(), line, column, kind, message.empty() ? "" : ": ",
                 message.c_str());
}

// The state of one event-driven read, given to the library as userData.
struct Listener {
    const std::string& name;
    const ReadOptions& options;
    ReadReport& report;
    bool drawing;
    bool fatal_shown;
};

// Warnings are shown (unless --quiet), fatal errors always; errors, which the parser reports
// for validity against a DTD, only when validity was asked for.
void on_problem(int32_t line, int32_t column, const char*, int32_t severity, void* user) {
    auto* listener = static_cast<Listener*>(user);
    const char* message = diagnostic_message();
    if (severity == 6 && message != nullptr && std::strncmp(message, kRemoteSkipped, sizeof kRemoteSkipped - 1) == 0)
        listener->report.remote_skipped = true;
    bool shown = severity == 7 || (severity == 5 && listener->options.valid) || (severity == 6 && !listener->options.quiet);
    if (severity == 7 || (severity == 5 && listener->options.valid)) listener->report.failed = true;
    if (severity == 7) listener->fatal_shown = true;
    if (!shown) return;
    if (listener->drawing) progress_clear_line();
    print_problem(listener->name, line, column, severity_name(severity), message != nullptr ? one_line(message) : "");
}

std::string unreadable_reason(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "it is a directory";
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    return "";
}

// Reads all of `fd` into `bytes`; false with errno on a read error.
bool read_all(int fd, std::string& bytes) {
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

bool read_file(const std::string& path, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    bool ok = read_all(fd, bytes);
    ::close(fd);
    return ok;
}

// UTF-16 with a byte-order mark, as code units in this machine's order ending in a zero
// unit; false when the bytes are not whole units or hold a zero unit of their own.
bool utf16_units(const std::string& bytes, std::vector<uint16_t>& units) {
    if (bytes.size() % 2 != 0) return false;
    bool little = static_cast<unsigned char>(bytes[0]) == 0xFF;
    units.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        auto b0 = static_cast<unsigned char>(bytes[i]), b1 = static_cast<unsigned char>(bytes[i + 1]);
        uint16_t unit = little ? static_cast<uint16_t>(b0 | b1 << 8) : static_cast<uint16_t>(b0 << 8 | b1);
        if (unit == 0) return false;
        units.push_back(unit);
    }
    units.push_back(0);
    return true;
}

bool has_utf32_mark(const std::string& bytes) {
    return bytes.size() >= 4 && (bytes.compare(0, 4, std::string("\xFF\xFE\0\0", 4)) == 0 ||
                                 bytes.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0);
}

bool has_utf16_mark(const std::string& bytes) {
    if (bytes.size() < 2) return false;
    auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
    return (b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF);
}

}  // namespace

namespace {

// Refuses held bytes no in-memory reader takes; UTF-16 with a byte-order mark comes back as
// code units in `units`. Returns an exit code.
int refuse_held(const std::string& name, const std::string& bytes, std::vector<uint16_t>& units) {
    if (has_utf32_mark(bytes))
        return fail(kIoError, name + ": UTF-32 input is read from regular files only; convert it to UTF-8 or UTF-16");
    if (has_utf16_mark(bytes))
        return utf16_units(bytes, units) ? kOk
                                         : fail(kIoError, name + ": broken UTF-16 (an odd length or a NUL character)");
    if (std::memchr(bytes.data(), '\0', bytes.size()) != nullptr)
        return fail(kIoError, name + ": holds a NUL byte, which only UTF-16 with a byte-order mark may hold here");
    return kOk;
}

// Reads a document held whole in `bytes` (standard input, a pipe, a device) that
// refuse_held let through: as wide characters when `units` holds them, else as bytes.
ZEL_XML_RESULT read_held(const std::string& bytes, const std::vector<uint16_t>& units, Tree& tree,
                         Listener& listener) {
    XMLParseCallbacks callbacks = progress_callbacks(listener.drawing);
    callbacks.errorCallback = on_problem;
    callbacks.userData = &listener;
    Captured library_lines;
    if (!units.empty()) return SAX_XMLMemWideCharRead(units.data(), tree.root(), &callbacks, nullptr);
    return SAX_XMLMemRead(bytes.c_str(), tree.root(), &callbacks, nullptr);
}

// Opens what is not a regular file (a pipe, a FIFO, a character device) once and reads it
// whole; true with `bytes` filled, or false with the exit code in `code`.
bool read_stream(const std::string& path, std::string& bytes, int& code) {
    int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY);
    bool ok = fd >= 0 && read_all(fd, bytes);
    int saved = errno;
    if (fd >= 0 && fd != STDIN_FILENO) ::close(fd);
    if (ok) return true;
    code = fail(kIoError, "cannot read " + (path == "-" ? std::string("standard input") : path) + ": " +
                              std::strerror(saved));
    return false;
}

}  // namespace

int read_document(const std::string& path, Tree& tree, const ReadOptions& options, ReadReport& report) {
    if (tree.root() == nullptr) return fail(kIoError, "out of memory");
    const bool from_stdin = path == "-";
    const std::string name = from_stdin ? "<stdin>" : path;
    std::string held;
    std::string& bytes = options.bytes != nullptr ? *options.bytes : held;
    Listener listener{name, options, report, false, false};
    ZEL_XML_RESULT result = ZEL_XML_OK;
    struct stat st {};
    if (!from_stdin) {
        if (::stat(path.c_str(), &st) != 0) return fail(kIoError, "cannot read " + path + ": " + std::strerror(errno));
        if (S_ISDIR(st.st_mode)) return fail(kIoError, "cannot read " + path + ": it is a directory");
    }
    if (from_stdin || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        // Read whole first: the bar needs the size, and the reader a NUL-terminated buffer.
        int code = kOk;
        if (!read_stream(path, bytes, code)) return code;
        report.bytes = static_cast<long long>(bytes.size());
        if (bytes.empty()) return fail(kDocumentError, name + ": the input is empty, not an XML document");
        std::vector<uint16_t> units;
        code = refuse_held(name, bytes, units);
        if (code != kOk) return code;
        listener.drawing = progress_wanted(options.progress, report.bytes);
        result = read_held(bytes, units, tree, listener);
        progress_finish(listener.drawing);
    } else {
        std::string reason = unreadable_reason(path);
        if (!reason.empty()) return fail(kIoError, "cannot read " + path + ": " + reason);
        report.bytes = static_cast<long long>(st.st_size);
        if (report.bytes == 0 && S_ISREG(st.st_mode))
            return fail(kDocumentError, path + ": the file is empty, not an XML document");
        if (options.bytes != nullptr && !read_file(path, bytes))
            return fail(kIoError, "cannot read " + path + ": " + std::strerror(errno));
        listener.drawing = progress_wanted(options.progress, report.bytes);
        XMLParseCallbacks callbacks = progress_callbacks(listener.drawing);
        callbacks.errorCallback = on_problem;
        callbacks.userData = &listener;
        {
            Captured library_lines;
            result = SAX_XMLRead(path.c_str(), tree.root(), &callbacks, nullptr);
        }
        progress_finish(listener.drawing);
        if (result == ZEL_XML_NO_FILE) return fail(kIoError, "cannot read " + path);
    }
    if (result == ZEL_XML_OK) return report.failed ? kDocumentError : kOk;
    report.failed = true;
    if (result == ZEL_XML_ERROR) {
        if (options.closing_line || !listener.fatal_shown) fail(kDocumentError, name + ": not a well-formed document");
        return kDocumentError;
    }
    if (listener.fatal_shown) {
        if (options.closing_line) fail(kDocumentError, name + ": reading stopped");
        return kDocumentError;
    }
    return fail(kDocumentError, name + ": reading stopped (an element name longer than the 31 bytes a record "
                                       "holds, or memory ran out)");
}

namespace {

// The document reader prints its diagnostics in its own layout, "Fatal Error at file F, line
// L, char C" and a "Message" line; each becomes one line of the tool's.
void print_dom_problems(const std::string& name, const std::string& text) {
    std::size_t at = 0;
    while ((at = text.find(" at file ", at)) != std::string::npos) {
        std::size_t start = text.rfind('\n', at);
        start = start == std::string::npos ? 0 : start + 1;
        std::string kind = text.substr(start, at - start);
        std::size_t line_at = text.find("line ", at), char_at = text.find("char ", at);
        std::size_t end = text.find('\n', at);
        if (line_at == std::string::npos || char_at == std::string::npos || end == std::string::npos) break;
        long line = std::strtol(text.c_str() + line_at + 5, nullptr, 10);
        long column = std::strtol(text.c_str() + char_at + 5, nullptr, 10);
        std::size_t message_at = text.find("Message", end);
        std::string message;
        if (message_at != std::string::npos) {
            message_at = text.find_first_not_of(": ", message_at + 7);
            std::size_t message_end = text.find('\n', message_at);
            message = text.substr(message_at, message_end == std::string::npos ? std::string::npos : message_end - message_at);
            // A message has no line end of its own: the next line may follow on the same one.
            std::size_t summary = message.find("Total elements found = ");
            if (summary != std::string::npos) message.resize(summary);
        }
        const char* shown = kind == "Warning" ? "warning" : kind == "Error" ? "error" : "fatal error";
        print_problem(name, line, column, shown, one_line(message.c_str()));
        at = end;
    }
}

}  // namespace

int read_with_dom(const std::string& path, Tree& tree) {
    if (path == "-") return fail(kUsage, "--dom reads files only, not standard input");
    std::string reason = unreadable_reason(path);
    if (!reason.empty()) return fail(kIoError, "cannot read " + path + ": " + reason);
    if (tree.root() == nullptr) return fail(kIoError, "out of memory");
    Captured library_lines;
    ZEL_XML_RESULT result = XMLRead(path.c_str(), tree.root(), nullptr);
    std::string text = library_lines.finish();
    print_dom_problems(path, text);
    if (result == ZEL_XML_OK) return kOk;
    if (result == ZEL_XML_ERROR) return fail(kDocumentError, path + ": not a well-formed document");
    return fail(kDocumentError, path + ": reading failed: " + one_line(Captured::last_line(text).c_str()));
}

}  // namespace zelxml
