// check, show and stats: reading documents and reporting on them.
#include "cli.hpp"
#include "walk.hpp"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace zelxml {
namespace {

struct CheckState {
    const char* path;
    bool failed;
    bool progress;
};

void report_problem(int32_t line, int32_t column, const char*, int32_t severity, void* user) {
    auto* state = static_cast<CheckState*>(user);
    if (state->progress) progress_clear_line();
    const char* kind = severity == 6 ? "warning" : severity == 5 ? "error" : "fatal error";
    if (severity != 6) state->failed = true;
    std::fprintf(stderr, "%s:%d:%d: %s\n", state->path, line, column, kind);
}

int check_one(const std::string& path, bool progress) {
    std::string reason = unreadable_reason(path);
    if (!reason.empty()) return fail(kIoError, "cannot read " + path + ": " + reason);
    if (file_size(path) == 0) return fail(kDocumentError, path + ": the file is empty, not an XML document");
    CheckState state{path.c_str(), false, progress};
    XMLParseCallbacks callbacks = progress_callbacks(progress);
    callbacks.errorCallback = report_problem;
    callbacks.userData = &state;
    Tree tree;
    ZEL_XML_RESULT result = SAX_XMLRead(path.c_str(), tree.root(), &callbacks, nullptr);
    progress_finish(progress);
    if (result == ZEL_XML_NO_FILE) return fail(kIoError, "cannot read " + path);
    if (result != ZEL_XML_OK && result != ZEL_XML_ERROR)
        return fail(kDocumentError, path + ": reading failed (result " + std::to_string(result) + ")");
    return state.failed || result == ZEL_XML_ERROR ? kDocumentError : kOk;
}

// Text as one quoted line: control characters escaped, long text cut with "...".
std::string quoted(const char* text) {
    constexpr std::size_t kMax = 60;
    std::string out = "\"";
    std::size_t n = 0;
    for (const char* p = text; *p != '\0'; ++p, ++n) {
        if (n == kMax) {
            out += "...";
            break;
        }
        if (*p == '\n') out += "\\n";
        else if (*p == '\t') out += "\\t";
        else if (*p == '\r') out += "\\r";
        else if (*p == '"' || *p == '\\') out += std::string("\\") + *p;
        else out += *p;
    }
    return out + "\"";
}

void print_record(const XMLNode* node, int depth) {
    std::printf("%*s", depth * 2, "");
    if (is_text_like(node)) {
        std::printf("%s\n", quoted(node->value).c_str());
        return;
    }
    std::printf("%s", node->name);
    for (int32_t i = 0; i < node->attributes.count; ++i) {
        const XMLAttr& a = node->attributes.items[i];
        std::printf(" %s=%s", a.name, quoted(a.value).c_str());
    }
    std::printf("\n");
}

}  // namespace

int cmd_check(const Args& args) {
    if (args.words.empty()) return fail(kUsage, "check needs at least one FILE (see zelxml check --help)");
    int worst = kOk;
    for (const std::string& path : args.words) {
        int code = check_one(path, progress_wanted(args.progress));
        if (code > worst) worst = code;
    }
    return worst;
}

int cmd_show(const Args& args) {
    if (args.words.size() != 1) return fail(kUsage, "show needs exactly one FILE (see zelxml show --help)");
    Tree tree;
    int code = read_document(args.words[0], tree, args.sax, args.sax && progress_wanted(args.progress), nullptr);
    if (code != kOk) return code;
    walk(tree.root(), print_record);
    return kOk;
}

int cmd_stats(const Args& args) {
    if (args.words.size() != 1) return fail(kUsage, "stats needs exactly one FILE (see zelxml stats --help)");
    const std::string& path = args.words[0];
    Tree tree;
    auto start = std::chrono::steady_clock::now();
    int code = read_document(path, tree, true, progress_wanted(args.progress), nullptr);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (code != kOk) return code;
    long long elements = 0, texts = 0, attributes = 0;
    int depth = 0;
    walk(tree.root(), [&](const XMLNode* node, int level) {
        if (is_text_like(node)) {
            ++texts;
            return;
        }
        ++elements;
        attributes += node->attributes.count;
        if (level + 1 > depth) depth = level + 1;  // element nesting; the document element is 1
    });
    long long bytes = file_size(path);
    std::printf("file:          %s\n", path.c_str());
    std::printf("bytes:         %lld\n", bytes);
    std::printf("elements:      %lld\n", elements);
    std::printf("text records:  %lld\n", texts);
    std::printf("attributes:    %lld\n", attributes);
    std::printf("max depth:     %d\n", depth);
    std::printf("read time:     %.3f ms\n", seconds * 1e3);
    std::printf("throughput:    %.1f MB/s\n", seconds > 0 ? bytes / seconds / 1e6 : 0.0);
    return kOk;
}

}  // namespace zelxml
