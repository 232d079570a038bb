// XPath 1.0's core function library. Strings are UTF-8; lengths and positions count
// characters.
#include "path/evaluate.hpp"
#include "path/number_text.hpp"

#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace zel::path {
namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The byte length of the UTF-8 character starting with `lead` (1 for a stray byte).
std::size_t char_length(unsigned char lead) {
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// The string split into its characters, each a view into it.
std::vector<std::string_view> characters(std::string_view s) {
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t n = std::min(char_length(static_cast<unsigned char>(s[i])), s.size() - i);
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

std::size_t character_count(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

double xpath_round(double x) {
    if (std::isnan(x) || std::isinf(x)) return x;
    if (x < 0 && x >= -0.5) return -0.0;
    double r = std::floor(x);
    return x - r >= 0.5 ? r + 1 : r;
}

// substring(s, start, length): the characters at positions p (from 1) with
// round(start) <= p < round(start) + round(length), compared as doubles.
std::string substring(std::string_view s, double start, double length, bool has_length) {
    const double first = xpath_round(start);
    const double end = has_length ? first + xpath_round(length) : std::numeric_limits<double>::infinity();
    std::string out;
    double position = 1;
    for (std::string_view c : characters(s)) {
        if (position >= first && position < end) out += c;
        ++position;
    }
    return out;
}

std::string normalize_space(std::string_view s) {
    std::string out;
    bool pending_space = false;
    for (char c : s) {
        if (is_space(c)) {
            pending_space = !out.empty();
            continue;
        }
        if (pending_space) out += ' ';
        pending_space = false;
        out += c;
    }
    return out;
}

std::string translate(std::string_view s, std::string_view from, std::string_view to) {
    const std::vector<std::string_view> f = characters(from), t = characters(to);
    // Each character of `from` maps to its first place there: to that place in `to`, or away.
    std::unordered_map<std::string_view, std::size_t> place;
    for (std::size_t i = 0; i < f.size(); ++i) place.emplace(f[i], i);
    std::string out;
    for (std::string_view c : characters(s)) {
        auto found = place.find(c);
        if (found == place.end()) out += c;
        else if (found->second < t.size()) out += t[found->second];
    }
    return out;
}

bool lowercase_equal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool Evaluator::lang(const std::string& wanted, const Node& n) {
    Node e = n;
    if (e.kind != Kind::Element && !nav_.parent(n, e)) return false;
    for (Node up;; e = up) {
        if (e.kind == Kind::Element) {
            for (std::int32_t i = 0; i < e.rec->attributes.count; ++i) {
                const XMLAttr& a = e.rec->attributes.items[i];
                if (std::string_view(a.name) != "xml:lang") continue;
                std::string_view value = a.value;
                if (value.size() > wanted.size() && value[wanted.size()] == '-') value = value.substr(0, wanted.size());
                return lowercase_equal(value, wanted);
            }
        }
        if (!nav_.parent(e, up)) return false;
    }
}

Value Evaluator::id(const Value& arg, const Context& c) {
    std::unordered_set<std::string> wanted;
    auto add_tokens = [&](std::string_view s) {
        std::size_t i = 0;
        while (i < s.size()) {
            while (i < s.size() && is_space(s[i])) ++i;
            std::size_t start = i;
            while (i < s.size() && !is_space(s[i])) ++i;
            if (i > start) wanted.emplace(s.substr(start, i - start));
        }
    };
    if (arg.type == Type::NodeSet) {
        for (const Node& n : arg.nodes) add_tokens(nav_.string_value(n));
    } else {
        add_tokens(to_string(arg));
    }
    Value result;
    result.type = Type::NodeSet;
    if (wanted.empty()) return result;
    std::vector<Node> elements;
    NodeFilter elements_only{[](const Node& n, const void*) { return n.kind == Kind::Element; }, nullptr};
    nav_.descendants(nav_.root_of(c.node.rec), false, elements, elements_only);
    for (const Node& e : elements) {
        for (std::int32_t i = 0; i < e.rec->attributes.count; ++i) {
            const XMLAttr& a = e.rec->attributes.items[i];
            if (std::string_view(a.name) == "xml:id" && wanted.erase(a.value) != 0) {
                result.nodes.push_back(e);
                break;
            }
        }
        if (wanted.empty()) break;
    }
    return result;
}

Value Evaluator::call(const Expr* e, const Context& c) {
    const auto& args = e->args;
    auto string_arg = [&](std::size_t i) { return to_string(evaluate(args[i], c)); };
    auto number_arg = [&](std::size_t i) { return to_number(evaluate(args[i], c)); };
    // The node a name function asks about: the first of its node-set argument, or the context.
    auto subject = [&](Node& n) {
        if (args.empty()) {
            n = c.node;
            return true;
        }
        Value v = node_set(args[0], c);
        if (v.nodes.empty()) return false;
        n = v.nodes.front();
        return true;
    };
    auto context_string = [&]() { return args.empty() ? nav_.string_value(c.node) : string_arg(0); };
    switch (e->function) {
        case Function::Last: return Value::of(static_cast<double>(c.size));
        case Function::Position: return Value::of(static_cast<double>(c.position));
        case Function::Count: return Value::of(static_cast<double>(node_set(args[0], c).nodes.size()));
        case Function::Id: return id(evaluate(args[0], c), c);
        case Function::LocalName:
        case Function::Name:
        case Function::NamespaceUri: {
            Node n;
            if (!subject(n)) return Value::of(std::string());
            std::string_view name = nav_.qname(n);
            if (e->function == Function::Name) return Value::of(std::string(name));
            if (e->function == Function::LocalName)
                return Value::of(std::string(n.kind == Kind::PI || n.kind == Kind::Namespace ? name
                                                                                             : Navigator::local_part(name)));
            bool found;
            return Value::of(std::string(nav_.namespace_uri(n, found)));
        }
        case Function::String: return Value::of(context_string());
        case Function::Concat: {
            std::string out;
            for (std::size_t i = 0; i < args.size(); ++i) out += string_arg(i);
            return Value::of(std::move(out));
        }
        case Function::StartsWith: {
            std::string s = string_arg(0), p = string_arg(1);
            return Value::of(s.compare(0, p.size(), p) == 0);
        }
        case Function::Contains: return Value::of(string_arg(0).find(string_arg(1)) != std::string::npos);
        case Function::SubstringBefore:
        case Function::SubstringAfter: {
            std::string s = string_arg(0), p = string_arg(1);
            std::size_t at = s.find(p);
            if (at == std::string::npos) return Value::of(std::string());
            return Value::of(e->function == Function::SubstringBefore ? s.substr(0, at) : s.substr(at + p.size()));
        }
        case Function::Substring: {
            std::string s = string_arg(0);
            double start = number_arg(1);
            double length = args.size() == 3 ? number_arg(2) : 0;
            return Value::of(substring(s, start, length, args.size() == 3));
        }
        case Function::StringLength: return Value::of(static_cast<double>(character_count(context_string())));
        case Function::NormalizeSpace: return Value::of(normalize_space(context_string()));
        case Function::Translate: return Value::of(translate(string_arg(0), string_arg(1), string_arg(2)));
        case Function::Boolean: return Value::of(truth(args[0], c));
        case Function::Not: return Value::of(!truth(args[0], c));
        case Function::True: return Value::of(true);
        case Function::False: return Value::of(false);
        case Function::Lang: return Value::of(lang(string_arg(0), c.node));
        case Function::Number:
            return Value::of(args.empty() ? string_to_number(nav_.string_value(c.node)) : number_arg(0));
        case Function::Sum: {
            double sum = 0;
            for (const Node& n : node_set(args[0], c).nodes) sum += string_to_number(nav_.string_value(n));
            return Value::of(sum);
        }
        case Function::Floor: return Value::of(std::floor(number_arg(0)));
        case Function::Ceiling: return Value::of(std::ceil(number_arg(0)));
        case Function::Round: return Value::of(xpath_round(number_arg(0)));
    }
    return {};
}

}  // namespace zel::path
