// fmt, get, set and delete: writing documents back, and reading or changing what a path selects.
#include "cli.hpp"
#include "path.hpp"

#include <cstdio>
#include <unordered_set>

namespace zelxml {
namespace {

// Reads FILE for a command that writes it back: the bytes are kept for the notes.
int read_for_writing(const Args& args, Tree& tree, std::string& bytes, ReadReport& report) {
    int code = check_encoding(args.encoding);
    if (code != kOk) return code;
    ReadOptions options = read_options(args);
    options.bytes = &bytes;
    return read_document(args.words[0], tree, options, report);
}

// Writes the edited tree to -o OUT, or back over FILE (standard output for "-").
int write_back(const Args& args, const XMLNode* root, const std::string& bytes, const ReadReport& report,
               const std::string& fallback) {
    int code = say_what_is_lost(args.words[0], bytes, report, args);
    if (code != kOk) return code;
    return write_document(args.output.empty() ? fallback : args.output, args.encoding, root);
}

int parse_path_argument(const std::string& text, Path& path) {
    std::string problem;
    if (!parse_path(text, path, problem)) return fail(kUsage, "bad PATH '" + text + "': " + problem);
    return kOk;
}

// A quick check that `text` is UTF-8, the only text the library writes (the writer itself
// refuses the rarer malformed forms this does not look for).
bool is_utf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::size_t extra = byte < 0x80 ? 0 : byte < 0xC2 ? 4 : byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : byte < 0xF5 ? 3 : 4;
        if (extra == 4 || text.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

bool holds_elements(const XMLNode* element) {
    for (int32_t i = 0; i < element->children.count; ++i)
        if (!is_text_like(element->children.items[i])) return true;
    return false;
}

// Takes out of `parent`, in one pass, the children `doomed` picks, freeing each with
// everything below it; the others keep their order. Returns how many went.
template <typename Doomed>
std::size_t remove_children(XMLNode* parent, Doomed doomed) {
    XMLNodeList& children = parent->children;
    int32_t kept = 0;
    for (int32_t i = 0; i < children.count; ++i) {
        XMLNode* child = children.items[i];
        if (doomed(child)) {
            child->parent = nullptr;
            XMLFreeRootNode(child);
        } else {
            children.items[kept++] = child;
        }
    }
    std::size_t removed = static_cast<std::size_t>(children.count - kept);
    children.count = kept;
    return removed;
}

// Removes the selected elements in one walk from the document element; a selected element
// inside another goes with it, and the walk never enters what it removes.
std::size_t remove_elements(XMLNode* root, const std::vector<XMLNode*>& selected) {
    std::unordered_set<const XMLNode*> doomed(selected.begin(), selected.end());
    std::size_t removed = 0;
    std::vector<XMLNode*> stack{root};
    while (!stack.empty()) {
        XMLNode* node = stack.back();
        stack.pop_back();
        removed += remove_children(node, [&](const XMLNode* child) { return doomed.count(child) != 0; });
        for (int32_t i = 0; i < node->children.count; ++i)
            if (!is_text_like(node->children.items[i])) stack.push_back(node->children.items[i]);
    }
    return removed;
}

std::size_t remove_text(XMLNode* element) { return remove_children(element, is_text_like); }

// An element's text becomes `value`: its children (text only: set refuses the others) go,
// one new one holds the value.
bool set_text(XMLNode* element, const std::string& value) {
    remove_children(element, [](const XMLNode*) { return true; });
    return value.empty() || XMLCreateTextNode(value.c_str(), element) != nullptr;
}

// For set on a simple path that selects nothing: the steps missing at the end are made
// under every element the longest matching part selects.
int create_missing(XMLNode* root, const Path& path, std::vector<XMLNode*>& elements, const std::string& file) {
    std::size_t found = path.steps.size();
    std::vector<XMLNode*> at;
    while (found > 0 && (at = select_elements(root, path, found)).empty()) --found;
    if (found == 0)
        return fail(kDocumentError, file + ": the document element is '" + root->name + "', not '" +
                                        path.steps[0].name + "'");
    for (XMLNode* element : at) {
        for (std::size_t s = found; s < path.steps.size(); ++s) {
            element = XMLCreateElementNode(path.steps[s].name.c_str(), element);
            if (element == nullptr) return fail(kIoError, "out of memory");
        }
        elements.push_back(element);
    }
    return kOk;
}

}  // namespace

int cmd_fmt(const Args& args) {
    if (args.words.size() != 1) return fail(kUsage, "fmt needs exactly one FILE (see zelxml fmt --help)");
    Tree tree;
    std::string bytes;
    ReadReport report;
    int code = read_for_writing(args, tree, bytes, report);
    if (code != kOk) return code;
    return write_back(args, tree.root(), bytes, report, "-");
}

int cmd_get(const Args& args) {
    if (args.words.size() != 2) return fail(kUsage, "get needs FILE and PATH (see zelxml get --help)");
    Path path;
    int code = parse_path_argument(args.words[1], path);
    if (code != kOk) return code;
    Tree tree;
    ReadOptions options = read_options(args);
    ReadReport report;
    code = read_document(args.words[0], tree, options, report);
    if (code != kOk) return code;
    std::size_t printed = 0;
    StringValues values(tree.root());
    for (XMLNode* element : select_elements(tree.root(), path, path.steps.size(), &values)) {
        if (path.target == Path::kAttribute) {
            if (const XMLAttr* attr = XMLFindAttrWithKeyName(element, path.attribute.c_str())) {
                std::printf("%s\n", attr->value);
                ++printed;
            }
        } else if (path.target == Path::kText) {
            for (int32_t i = 0; i < element->children.count; ++i) {
                const XMLNode* child = element->children.items[i];
                if (!is_text_like(child)) continue;
                std::printf("%s\n", child->value);
                ++printed;
            }
        } else {
            const std::string_view value = values.of(element);
            std::fwrite(value.data(), 1, value.size(), stdout);
            std::fputc('\n', stdout);
            ++printed;
        }
    }
    if (printed == 0) return fail(kDocumentError, (args.words[0] == "-" ? "<stdin>" : args.words[0]) + ": nothing matches " + args.words[1]);
    return kOk;
}

namespace {

// What set and delete start from: PATH parsed, FILE read for writing back, and the elements
// the path selects.
struct Edit {
    Path path;
    Tree tree;
    std::string bytes;
    ReadReport report;
    std::vector<XMLNode*> elements;

    int open(const Args& args) {
        int code = parse_path_argument(args.words[1], path);
        if (code != kOk) return code;
        code = read_for_writing(args, tree, bytes, report);
        if (code != kOk) return code;
        elements = select_elements(tree.root(), path, path.steps.size());
        return kOk;
    }
};

}  // namespace

int cmd_set(const Args& args) {
    if (args.words.size() != 3) return fail(kUsage, "set needs FILE, PATH and VALUE (see zelxml set --help)");
    const std::string& value = args.words[2];
    if (!is_utf8(value)) return fail(kUsage, "VALUE is not UTF-8 text");
    Edit edit;
    int code = edit.open(args);
    if (code != kOk) return code;
    const std::string& file = args.words[0];
    const Path& path = edit.path;
    std::vector<XMLNode*>& elements = edit.elements;
    Tree& tree = edit.tree;
    if (path.target == Path::kAttribute) {
        std::vector<XMLNode*> holding;
        for (XMLNode* element : elements)
            if (XMLFindAttrWithKeyName(element, path.attribute.c_str()) != nullptr) holding.push_back(element);
        // No element has it yet: on a simple path, every selected element gains it.
        if (!holding.empty() || !path.simple()) elements.swap(holding);
    }
    if (elements.empty() && path.simple()) {
        code = create_missing(tree.root(), path, elements, file);
        if (code != kOk) return code;
    }
    if (elements.empty()) return fail(kDocumentError, file + ": nothing matches " + args.words[1]);
    if (path.target != Path::kAttribute) {
        for (const XMLNode* element : elements)
            if (holds_elements(element))
                return fail(kDocumentError, file + ": " + element->name + " holds elements; set changes only text");
    }
    for (XMLNode* element : elements) {
        bool done = path.target == Path::kAttribute
                        ? XMLSetNodeAttribute(element, path.attribute.c_str(), value.c_str()) == 1
                        : set_text(element, value);
        if (!done) return fail(kIoError, "out of memory");
    }
    return write_back(args, tree.root(), edit.bytes, edit.report, file);
}

int cmd_delete(const Args& args) {
    if (args.words.size() != 2) return fail(kUsage, "delete needs FILE and PATH (see zelxml delete --help)");
    Edit edit;
    int code = edit.open(args);
    if (code != kOk) return code;
    const std::string& file = args.words[0];
    const Path& path = edit.path;
    const std::vector<XMLNode*>& elements = edit.elements;
    Tree& tree = edit.tree;
    std::size_t removed = 0;
    if (path.target == Path::kAttribute) {
        for (XMLNode* element : elements) removed += XMLRemoveAttrWithKeyName(element, path.attribute.c_str());
    } else if (path.target == Path::kText) {
        for (XMLNode* element : elements) removed += remove_text(element);
    } else {
        if (!elements.empty() && elements.front() == tree.root())
            return fail(kDocumentError, file + ": the document element cannot be deleted");
        removed = remove_elements(tree.root(), elements);
    }
    if (removed == 0) return fail(kDocumentError, file + ": nothing matches " + args.words[1]);
    return write_back(args, tree.root(), edit.bytes, edit.report, file);
}

}  // namespace zelxml
