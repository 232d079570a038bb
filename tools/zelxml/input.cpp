// Reading a document, from a file or standard input, and reporting its problems one line each.
#include "cli.hpp"

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace zelxml {
namespace {

// What the warnings about a DTD or external entity the read passed over start with.
constexpr const char* kNotRead[] = {"remote DTD or entity not fetched: ", "local DTD or entity not found: "};
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

// The state of one read, given to the library as userData.
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
    const char* message = XMLGetDiagnosticMessage();
    if (message == nullptr) message = "";
    for (const char* prefix : kNotRead)
        if (severity == 6 && std::strncmp(message, prefix, std::strlen(prefix)) == 0) listener->report.not_read = true;
    const bool counts = severity == 7 || (severity == 5 && listener->options.valid);
    if (counts) listener->report.failed = true;
    if (severity == 7) listener->fatal_shown = true;
    if (!counts && !(severity == 6 && !listener->options.quiet)) return;
    if (listener->drawing) progress_clear_line();
    const std::string text = one_line(message);
    std::fprintf(stderr, "%s:%ld:%ld: %s%s%s\n", listener->name.c_str(), static_cast<long>(line),
                 static_cast<long>(column), severity_name(severity), text.empty() ? "" : ": ", text.c_str());
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

}  // namespace

Tree::~Tree() {
    constexpr int32_t kLeftAtExit = 200000;  // records; smaller trees free in a few milliseconds
    if (lifetime_ == freed || records_ < kLeftAtExit) {
        XMLFreeRootNode(root_);
        return;
    }
    static auto* left = new std::vector<XMLNode*>;  // never destroyed: it keeps the trees reachable
    try {
        left->push_back(root_);
    } catch (const std::bad_alloc&) {
        XMLFreeRootNode(root_);
    }
}

int read_document(const std::string& path, Tree& tree, const ReadOptions& options, ReadReport& report) {
    if (tree.root() == nullptr) return fail(kIoError, "out of memory");
    const bool from_stdin = path == "-";
    const std::string name = from_stdin ? "<stdin>" : path;
    std::string bytes;
    struct stat st {};
    if (from_stdin) {
        if (!read_all(STDIN_FILENO, bytes))
            return fail(kIoError, std::string("cannot read standard input: ") + std::strerror(errno));
        report.bytes = static_cast<long long>(bytes.size());
    } else if (::stat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        report.bytes = static_cast<long long>(st.st_size);
    }
    if (report.bytes == 0 && (from_stdin || S_ISREG(st.st_mode)))
        return fail(kDocumentError, name + ": the input is empty, not an XML document");

    Listener listener{name, options, report, progress_wanted(options.progress, report.bytes), false};
    XMLParseCallbacks callbacks = progress_callbacks(listener.drawing);
    callbacks.errorCallback = on_problem;
    callbacks.userData = &listener;
    int32_t records = 0;
    const XMLReadOptions read_options{ZEL_XML_KEEP_ALL | (options.valid ? ZEL_XML_VALIDATE : 0u), &callbacks};
    const ZEL_XML_RESULT result = from_stdin
                                      ? XMLReadBuffer(bytes.data(), bytes.size(), tree.root(), &read_options, &records)
                                      : XMLReadFile(path.c_str(), tree.root(), &read_options, &records);
    tree.set_records(records);
    progress_finish(listener.drawing);

    if (result == ZEL_XML_OK) return report.failed ? kDocumentError : kOk;
    report.failed = true;
    if (result == ZEL_XML_ERROR) {
        if (options.closing_line || !listener.fatal_shown) fail(kDocumentError, name + ": not a well-formed document");
        return kDocumentError;
    }
    return fail(kIoError, about(name, XMLGetLastError()));
}

}  // namespace zelxml
