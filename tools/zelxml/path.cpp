// Slash paths into a document: config/server[1]/port, config/server/@name.
#include "cli.hpp"

#include <cstdlib>

namespace zelxml {
namespace {

constexpr std::size_t kMaxName = 31;  // a record's name holds at most 31 bytes

bool parse_step(const std::string& text, Step& step, std::string& problem) {
    std::string::size_type open = text.find('[');
    step.name = text.substr(0, open);
    step.index = 0;
    if (open != std::string::npos) {
        if (text.back() != ']' || open + 2 >= text.size()) return problem = "bad index in '" + text + "'", false;
        std::string digits = text.substr(open + 1, text.size() - open - 2);
        char* end = nullptr;
        long n = std::strtol(digits.c_str(), &end, 10);
        if (*end != '\0' || digits.empty() || n < 0 || n > INT32_MAX)
            return problem = "bad index in '" + text + "'", false;
        step.index = static_cast<int32_t>(n);
    }
    if (step.name.empty()) return problem = "empty element name in the path", false;
    if (step.name.size() > kMaxName) return problem = "element name longer than 31 bytes: " + step.name, false;
    return true;
}

}  // namespace

bool parse_path(const std::string& text, Path& path, std::string& problem) {
    std::string::size_type start = 0;
    while (start <= text.size()) {
        std::string::size_type slash = text.find('/', start);
        std::string part = text.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        bool last = slash == std::string::npos;
        if (last && !part.empty() && part[0] == '@') {
            path.attribute = part.substr(1);
            path.has_attribute = true;
            if (path.attribute.empty()) return problem = "empty attribute name in the path", false;
        } else {
            Step step;
            if (!parse_step(part, step, problem)) return false;
            path.steps.push_back(step);
        }
        if (last) break;
        start = slash + 1;
    }
    if (path.steps.empty()) return problem = "the path names no element", false;
    return true;
}

XMLNode* resolve_path(XMLNode* root, const Path& path, bool create, std::string& problem) {
    const Step& first = path.steps.front();
    if (first.name != root->name || first.index != 0) {
        problem = "the document element is '" + std::string(root->name) + "', not '" + first.name + "'";
        return nullptr;
    }
    XMLNode* at = root;
    for (std::size_t i = 1; i < path.steps.size(); ++i) {
        const Step& step = path.steps[i];
        XMLNode* next = XMLGetNthChildWithKey(at, step.index, step.name.c_str());
        if (next == nullptr && create && XMLGetNumChildrenWithKeyName(at, step.name.c_str()) == step.index)
            next = XMLCreateElementNode(step.name.c_str(), at);
        if (next == nullptr) {
            problem = "no element " + step.name + "[" + std::to_string(step.index) + "] under " + at->name;
            return nullptr;
        }
        at = next;
    }
    return at;
}

}  // namespace zelxml
