// Parsing paths and selecting the elements they name, in one walk without recursion.
#include "path.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zelxml {
namespace {

// Reads one path; `at` moves over what was read. Every syntax error names what it met.
class PathParser {
public:
    PathParser(const std::string& text, std::string& problem) : text_(text), problem_(problem) {}

    bool parse(Path& path) {
        if (text_.empty()) return error("the path is empty");
        bool first = true;
        while (at_ < text_.size() || first) {
            Step step;
            if (starts_with("//")) {
                step.descendants = true;
                at_ += 2;
            } else if (starts_with("/")) {
                ++at_;
            } else if (!first) {
                return error("expected '/' at '" + text_.substr(at_) + "'");
            }
            first = false;
            if (starts_with("@")) {
                ++at_;
                if (step.descendants) return error("'//@' is not supported; name the element: //NAME/@" + rest());
                if (path.steps.empty()) return error("the path names no element");
                if (!name(path.attribute, "attribute")) return false;
                path.target = Path::kAttribute;
                return at_ == text_.size() || error("@" + path.attribute + " must end the path");
            }
            if (starts_with("text()")) {
                at_ += 6;
                if (step.descendants) return error("'//text()' is not supported; name the element");
                if (path.steps.empty()) return error("the path names no element");
                path.target = Path::kText;
                return at_ == text_.size() || error("text() must end the path");
            }
            if (starts_with("*")) {
                ++at_;
                step.name = "*";
            } else if (!name(step.name, "element")) {
                return false;
            }
            while (starts_with("[")) {
                Predicate predicate;
                if (!parse_predicate(predicate)) return false;
                step.predicates.push_back(predicate);
            }
            path.steps.push_back(step);
        }
        if (path.steps.empty()) return error("the path names no element");
        return true;
    }

private:
    bool starts_with(const char* s) const { return text_.compare(at_, std::strlen(s), s) == 0; }
    std::string rest() const { return text_.substr(at_); }
    bool error(const std::string& message) {
        problem_ = message;
        return false;
    }

    // XML name characters, by byte: every byte of a multi-byte UTF-8 character is taken.
    static bool is_name_start_byte(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || (c & 0x80) != 0;
    }
    static bool is_name_byte(char c) {
        return is_name_start_byte(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }

    bool name(std::string& into, const char* what) {
        std::size_t start = at_;
        if (at_ < text_.size() && is_name_start_byte(text_[at_]))
            while (at_ < text_.size() && is_name_byte(text_[at_])) ++at_;
        into = text_.substr(start, at_ - start);
        if (into.empty()) {
            if (at_ == text_.size()) return error(std::string("the path ends where an ") + what + " name should be");
            if (text_[at_] == '/') return error(std::string("empty ") + what + " name at '" + rest() + "'");
            return error(std::string("expected an ") + what + " name at '" + rest() + "'");
        }
        return true;
    }

    bool quoted(std::string& into) {
        if (!starts_with("'") && !starts_with("\"")) return error("expected a quoted value at '" + rest() + "'");
        char quote = text_[at_++];
        std::size_t end = text_.find(quote, at_);
        if (end == std::string::npos) return error("unterminated quoted value");
        into = text_.substr(at_, end - at_);
        at_ = end + 1;
        return true;
    }

    // [N], [@a], [@a='v'], [child='v']
    bool parse_predicate(Predicate& predicate) {
        ++at_;  // '['
        if (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
            long long n = 0;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9' && n <= INT32_MAX)
                n = n * 10 + (text_[at_++] - '0');
            if (n < 1 || n > INT32_MAX) return error("bad index: positions count from 1");
            predicate.kind = Predicate::kPosition;
            predicate.position = static_cast<int32_t>(n);
        } else if (starts_with("@")) {
            ++at_;
            if (!name(predicate.name, "attribute")) return false;
            predicate.kind = Predicate::kHasAttribute;
            if (starts_with("=")) {
                ++at_;
                if (!quoted(predicate.value)) return false;
                predicate.kind = Predicate::kAttributeIs;
            }
        } else {
            if (!name(predicate.name, "element")) return error("bad index or test: " + problem_);
            if (!starts_with("=")) return error("bad index or test: expected ='VALUE' after " + predicate.name);
            ++at_;
            if (!quoted(predicate.value)) return false;
            predicate.kind = Predicate::kChildIs;
        }
        if (!starts_with("]")) return error("bad index or test: expected ']' at '" + rest() + "'");
        ++at_;
        return true;
    }

    const std::string& text_;
    std::string& problem_;
    std::size_t at_ = 0;
};

bool name_matches(const Step& step, const XMLNode* element) {
    return step.name == "*" || step.name == XMLGetNodeName(element);
}

bool has_child_with_value(const XMLNode* element, const Predicate& predicate, StringValues& values) {
    for (int32_t i = 0; i < element->children.count; ++i) {
        const XMLNode* child = element->children.items[i];
        if (is_element(child) && predicate.name == XMLGetNodeName(child) && values.of(child) == predicate.value)
            return true;
    }
    return false;
}

// Whether `element` passes the step's predicates. Positions count, under one parent, the
// elements that passed the name test and the predicates before them: `counts` holds one
// counter per predicate of the step for that parent.
bool passes(const Step& step, const XMLNode* element, int32_t* counts, StringValues& values) {
    for (std::size_t p = 0; p < step.predicates.size(); ++p) {
        const Predicate& predicate = step.predicates[p];
        switch (predicate.kind) {
            case Predicate::kPosition:
                if (++counts[p] != predicate.position) return false;
                break;
            case Predicate::kHasAttribute:
                if (XMLFindAttrWithKeyName(const_cast<XMLNode*>(element), predicate.name.c_str()) == nullptr)
                    return false;
                break;
            case Predicate::kAttributeIs: {
                const XMLAttr* attr = XMLFindAttrWithKeyName(const_cast<XMLNode*>(element), predicate.name.c_str());
                if (attr == nullptr || predicate.value != attr->value) return false;
                break;
            }
            case Predicate::kChildIs:
                if (!has_child_with_value(element, predicate, values)) return false;
                break;
        }
    }
    return true;
}

}  // namespace

bool Path::simple() const {
    for (const Step& step : steps)
        if (step.descendants || step.name == "*" || !step.predicates.empty()) return false;
    return true;
}

bool parse_path(const std::string& text, Path& path, std::string& problem) {
    return PathParser(text, problem).parse(path);
}

// An element's range opens where it is visited and closes when the walk next reaches a
// record no deeper than it, or ends. Text is that of text records, blank ones too, and CDATA
// sections, wherever they stand (an entity reference's text below the reference); comments,
// processing instructions and the DOCTYPE hold none.
void StringValues::build() {
    built_ = true;
    struct Open {
        const XMLNode* element;
        int depth;
        std::size_t start;
    };
    std::vector<Open> open;
    auto close_to = [&](int depth) {
        for (; !open.empty() && open.back().depth >= depth; open.pop_back())
            ranges_.emplace(open.back().element, std::make_pair(open.back().start, text_.size()));
    };
    walk(root_, [&](const XMLNode* node, int depth) {
        close_to(depth);
        if (holds_text(node)) {
            if (node->value != nullptr) text_ += node->value;
        } else if (is_element(node)) {
            open.push_back(Open{node, depth, text_.size()});
        }
    });
    close_to(0);
}

std::string_view StringValues::of(const XMLNode* element) {
    if (!built_) build();
    auto found = ranges_.find(element);
    if (found == ranges_.end()) return {};
    return std::string_view(text_).substr(found->second.first, found->second.second - found->second.first);
}

// One walk over the part of the tree the path can still reach. Each frame of the stack is
// an element together with its states: the steps it is the context of (it matched the step
// before, or a '//' step reaches below it). A child that matches a step's name test and
// predicates moves on to the next step, or is selected after the last one; a '//' step's
// state is handed down to every child. A frame without states is never pushed, so a plain
// path visits only the elements on its way. The first frame is the document record, whose
// one element child is the document element. Elements that come from an entity's text sit
// below a reference record and are not reached.
std::vector<XMLNode*> select_elements(XMLNode* root, const Path& path, std::size_t count, StringValues* values) {
    StringValues own(root);
    StringValues& value_of = values != nullptr ? *values : own;
    std::vector<XMLNode*> selected;
    if (root == nullptr || count == 0) return selected;
    struct Frame {
        XMLNode* node;
        int32_t next;            // the child to look at next
        std::size_t states;      // its states start here in `states`...
        std::size_t counters;    // ...and their position counters here in `counters`
    };
    std::vector<Frame> stack;
    std::vector<std::size_t> states;
    std::vector<int32_t> counters;
    auto push = [&](XMLNode* node, const std::vector<std::size_t>& with) {
        stack.push_back(Frame{node, 0, states.size(), counters.size()});
        for (std::size_t s : with) {
            states.push_back(s);
            counters.insert(counters.end(), path.steps[s].predicates.size(), 0);
        }
    };
    push(root, {0});
    std::vector<std::size_t> next_states;
    while (!stack.empty()) {
        Frame& top = stack.back();
        XMLNode* child = nullptr;
        while (top.next < top.node->children.count && child == nullptr) {
            XMLNode* candidate = top.node->children.items[top.next++];
            if (is_element(candidate)) child = candidate;
        }
        if (child == nullptr) {
            states.resize(top.states);
            counters.resize(top.counters);
            stack.pop_back();
            continue;
        }
        next_states.clear();
        bool chosen = false;
        int32_t* counts = counters.data() + top.counters;
        for (std::size_t i = top.states; i < states.size(); ++i) {
            const std::size_t s = states[i];
            const Step& step = path.steps[s];
            if (step.descendants) next_states.push_back(s);
            if (name_matches(step, child) && passes(step, child, counts, value_of)) {
                if (s + 1 == count) chosen = true;
                else next_states.push_back(s + 1);
            }
            counts += step.predicates.size();
        }
        if (chosen) selected.push_back(child);
        if (next_states.empty()) continue;
        std::sort(next_states.begin(), next_states.end());
        next_states.erase(std::unique(next_states.begin(), next_states.end()), next_states.end());
        push(child, next_states);
    }
    return selected;
}

}  // namespace zelxml
