// fmt, get and set: writing documents back and reading or changing one value.
#include "cli.hpp"
#include "walk.hpp"

#include <cstdio>

namespace zelxml {
namespace {

// An element's value is the text of its first child. An element without children has the
// empty value; one whose first child is an element holds no value of its own.
bool holds_value(const XMLNode* element) {
    XMLNode* first = XMLGetNthChildData(element, 0);
    return first == nullptr || is_text_like(first);
}

// Reads FILE and resolves PATH in it; on success `element` is set.
int open_path(const Args& args, Tree& tree, Path& path, bool create, XMLNode*& element) {
    std::string problem;
    if (!parse_path(args.words[1], path, problem)) return fail(kUsage, "bad PATH '" + args.words[1] + "': " + problem);
    int code = read_document(args.words[0], tree, false, false, nullptr);
    if (code != kOk) return code;
    element = resolve_path(tree.root(), path, create, problem);
    if (element == nullptr) return fail(kDocumentError, args.words[0] + ": " + problem);
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

bool set_value(XMLNode* element, const Path& path, const std::string& value) {
    if (path.has_attribute) return XMLSetNodeAttribute(element, path.attribute.c_str(), value.c_str()) == 1;
    if (XMLGetChildrenCount(element) == 0) return XMLCreateTextNode(value.c_str(), element) != nullptr;
    return XMLAlterValueOfNode(element, value.c_str()) == 0;
}

}  // namespace

int cmd_fmt(const Args& args) {
    if (args.words.size() != 1) return fail(kUsage, "fmt needs exactly one FILE (see zelxml fmt --help)");
    Tree tree;
    int code = read_document(args.words[0], tree, false, false, nullptr);
    if (code != kOk) return code;
    return write_document_atomically(args.output.empty() ? "-" : args.output, args.encoding, tree.root());
}

int cmd_get(const Args& args) {
    if (args.words.size() != 2) return fail(kUsage, "get needs FILE and PATH (see zelxml get --help)");
    Tree tree;
    Path path;
    XMLNode* element = nullptr;
    int code = open_path(args, tree, path, false, element);
    if (code != kOk) return code;
    if (path.has_attribute) {
        XMLAttr* attr = XMLFindAttrWithKeyName(element, path.attribute.c_str());
        if (attr == nullptr) return fail(kDocumentError, args.words[0] + ": no attribute " + path.attribute);
        std::printf("%s\n", attr->value);
        return kOk;
    }
    if (!holds_value(element)) return fail(kDocumentError, args.words[0] + ": " + args.words[1] + " holds elements, not a value");
    XMLNode* first = XMLGetNthChildData(element, 0);
    std::printf("%s\n", first ? first->value : "");
    return kOk;
}

int cmd_set(const Args& args) {
    if (args.words.size() != 3) return fail(kUsage, "set needs FILE, PATH and VALUE (see zelxml set --help)");
    if (!is_utf8(args.words[2])) return fail(kUsage, "VALUE is not UTF-8 text");
    Tree tree;
    Path path;
    XMLNode* element = nullptr;
    int code = open_path(args, tree, path, true, element);
    if (code != kOk) return code;
    if (!path.has_attribute && !holds_value(element))
        return fail(kDocumentError, args.words[0] + ": " + args.words[1] + " holds elements, not a value");
    if (!set_value(element, path, args.words[2])) return fail(kIoError, "out of memory");
    return write_document_atomically(args.output.empty() ? args.words[0] : args.output, args.encoding, tree.root());
}

}  // namespace zelxml
