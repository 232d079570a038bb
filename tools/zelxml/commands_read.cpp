// check, show and stats: reading documents and reporting on them.
#include "cli.hpp"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace zelxml {
namespace {

// Text as one quoted line: control characters escaped, text longer than 60 bytes cut at a
// character boundary and marked with "...".
std::string quoted(const char* text) {
    constexpr std::size_t kMax = 60;
    const std::size_t length = std::strlen(text);
    const std::size_t cut = utf8_cut(text, length, kMax);
    std::string out = "\"";
    for (const char* p = text; p != text + cut; ++p) {
        if (*p == '\n') out += "\\n";
        else if (*p == '\t') out += "\\t";
        else if (*p == '\r') out += "\\r";
        else if (*p == '"' || *p == '\\') out += std::string("\\") + *p;
        else out += *p;
    }
    if (cut < length) out += "...";
    return out + "\"";
}

bool is_blank_text(const XMLNode* node) {
    return node->type == XML_TEXT_NODE && node->value[std::strspn(node->value, " \t\r\n")] == '\0';
}

// One line for each record but the document record and blank text: an element's name and
// attributes, quoted text, and the other kinds marked as in "#comment" or "&name;".
void print_record(const XMLNode* node, int depth) {
    if (depth == 0 || is_blank_text(node)) return;
    std::printf("%*s", (depth - 1) * 2, "");
    switch (node->type) {
        case XML_TEXT_NODE: std::printf("%s\n", quoted(node->value).c_str()); return;
        case XML_CDATA_SECTION_NODE: std::printf("#cdata %s\n", quoted(node->value).c_str()); return;
        case XML_COMMENT_NODE: std::printf("#comment %s\n", quoted(node->value).c_str()); return;
        case XML_PROCESSING_INSTRUCTION_NODE:
            std::printf("#pi %s %s\n", XMLGetNodeName(node), quoted(node->value).c_str());
            return;
        case XML_ENTITY_REFERENCE_NODE: std::printf("&%s;\n", XMLGetNodeName(node)); return;
        case XML_DOCUMENT_TYPE_NODE: std::printf("#doctype %s", XMLGetNodeName(node)); break;
        default: std::printf("%s", XMLGetNodeName(node)); break;
    }
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
        Tree tree(Tree::freed);
        ReadOptions options = read_options(args);
        options.valid = args.valid;
        options.closing_line = false;  // the problem lines say it
        ReadReport report;
        int code = read_document(path, tree, options, report);
        if (code > worst) worst = code;
    }
    return worst;
}

int cmd_show(const Args& args) {
    if (args.words.size() != 1) return fail(kUsage, "show needs exactly one FILE (see zelxml show --help)");
    Tree tree;
    ReadReport report;
    int code = read_document(args.words[0], tree, read_options(args), report);
    if (code != kOk) return code;
    walk(tree.root(), print_record);
    return kOk;
}

int cmd_stats(const Args& args) {
    if (args.words.size() != 1) return fail(kUsage, "stats needs exactly one FILE (see zelxml stats --help)");
    const std::string& path = args.words[0];
    Tree tree;
    ReadOptions options = read_options(args);
    ReadReport report;
    auto start = std::chrono::steady_clock::now();
    int code = read_document(path, tree, options, report);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (code != kOk) return code;
    long long elements = 0, texts = 0, others = 0, attributes = 0;
    int depth = 0;
    walk(tree.root(), [&](const XMLNode* node, int level) {
        if (level == 0) return;  // the document record
        if (holds_text(node)) {
            ++texts;
        } else if (is_element(node)) {
            ++elements;
            attributes += node->attributes.count;
            if (level > depth) depth = level;  // the document element is 1
        } else {
            ++others;
        }
    });
    const long long bytes = report.bytes;
    std::printf("file:          %s\n", path == "-" ? "<stdin>" : path.c_str());
    if (bytes >= 0) std::printf("bytes:         %lld\n", bytes);
    else std::printf("bytes:         unknown (not a regular file)\n");
    std::printf("elements:      %lld\n", elements);
    std::printf("text records:  %lld\n", texts);
    std::printf("other records: %lld\n", others);
    std::printf("attributes:    %lld\n", attributes);
    std::printf("max depth:     %d\n", depth);
    std::printf("read time:     %.3f ms\n", seconds * 1e3);
    if (bytes >= 0) std::printf("throughput:    %.1f MB/s\n", seconds > 0 ? bytes / seconds / 1e6 : 0.0);
    return kOk;
}

}  // namespace zelxml
