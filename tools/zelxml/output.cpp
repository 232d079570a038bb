// Writing a document through the library, to a file or standard output.
#include "cli.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>

namespace zelxml {
namespace {

// Standard output as the writer's sink; keeps the reason when the stream refuses bytes.
struct StdoutSink {
    int error = 0;
};

std::size_t to_stdout(const void* bytes, std::size_t length, void* user) {
    std::size_t taken = std::fwrite(bytes, 1, length, stdout);
    if (taken < length) static_cast<StdoutSink*>(user)->error = errno != 0 ? errno : EIO;
    return taken;
}

}  // namespace

int write_document(const std::string& target, const std::string& encoding, uint32_t flags, const XMLNode* root) {
    const XMLWriteOptions options{flags, encoding.empty() ? nullptr : encoding.c_str()};
    ZEL_XML_RESULT result;
    std::string reason;
    if (target == "-") {
        // Standard output has nothing to keep whole: an interrupt stops a long write into a
        // slow pipe at once.
        StdoutSink sink;
        result = XMLWriteToSink(to_stdout, &sink, root, &options);
        if (result == ZEL_XML_OK && std::fflush(stdout) != 0) sink.error = errno;
        if (sink.error != 0) {
            result = ZEL_XML_EXCEPTION;
            reason = std::strerror(sink.error);
        }
    } else {
        // An interrupt during the write of a file waits for its end, so the file is the old one
        // or the new one, and the library removes its temporary file either way.
        sigset_t held, old;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        sigprocmask(SIG_BLOCK, &held, &old);
        result = XMLWriteFile(target.c_str(), root, &options);
        sigprocmask(SIG_SETMASK, &old, nullptr);
    }
    if (result == ZEL_XML_OK) return kOk;
    const std::string shown = target == "-" ? "standard output" : target;
    if (reason.empty()) reason = XMLGetLastError();
    return fail(kIoError, "cannot write " + about(shown, reason));
}

}  // namespace zelxml
