// The evaluator: operators with XPath's conversion and comparison rules, location paths
// step by step, predicates with proximity positions.
#include "path/evaluate.hpp"

#include "path/number_text.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

namespace zel::path {
namespace {

bool is_reverse(Axis a) {
    return a == Axis::Ancestor || a == Axis::AncestorOrSelf || a == Axis::Preceding || a == Axis::PrecedingSibling ||
           a == Axis::Parent;
}

// Node-sets from these axes hold no node together with one of its ancestors.
bool keeps_flat(Axis a) {
    return a == Axis::Child || a == Axis::Attribute || a == Axis::Namespace || a == Axis::Self;
}

// From one context node, these axes give nodes none of which is below another.
bool flat_from_one(Axis a) {
    return keeps_flat(a) || a == Axis::Parent || a == Axis::FollowingSibling || a == Axis::PrecedingSibling;
}


}  // namespace

bool Evaluator::to_boolean(const Value& v) {
    switch (v.type) {
        case Type::NodeSet: return !v.nodes.empty();
        case Type::Boolean: return v.boolean;
        case Type::Number: return v.number != 0 && !std::isnan(v.number);
        case Type::String: return !v.string.empty();
    }
    return false;
}

std::string Evaluator::to_string(const Value& v) {
    switch (v.type) {
        case Type::NodeSet: return v.nodes.empty() ? std::string() : nav_.string_value(v.nodes.front());
        case Type::Boolean: return v.boolean ? "true" : "false";
        case Type::Number: return number_to_string(v.number);
        case Type::String: return v.string;
    }
    return {};
}

double Evaluator::to_number(const Value& v) {
    switch (v.type) {
        case Type::Boolean: return v.boolean ? 1 : 0;
        case Type::Number: return v.number;
        case Type::String: return string_to_number(v.string);
        case Type::NodeSet: return string_to_number(to_string(v));
    }
    return 0;
}

Value Evaluator::node_set(const Expr* e, const Context& c) {
    Value v = evaluate(e, c);
    if (v.type != Type::NodeSet) throw PathError("this needs a node-set", e->offset);
    return v;
}

Value Evaluator::evaluate(const Expr* e, const Context& c) {
    switch (e->op) {
        case Op::Or: return Value::of(truth(e->left, c) || truth(e->right, c));
        case Op::And: return Value::of(truth(e->left, c) && truth(e->right, c));
        case Op::Eq: case Op::Ne: case Op::Lt: case Op::Le: case Op::Gt: case Op::Ge: return compare(e, c);
        case Op::Add: return Value::of(to_number(evaluate(e->left, c)) + to_number(evaluate(e->right, c)));
        case Op::Sub: return Value::of(to_number(evaluate(e->left, c)) - to_number(evaluate(e->right, c)));
        case Op::Mul: return Value::of(to_number(evaluate(e->left, c)) * to_number(evaluate(e->right, c)));
        case Op::Div: return Value::of(to_number(evaluate(e->left, c)) / to_number(evaluate(e->right, c)));
        case Op::Mod: return Value::of(std::fmod(to_number(evaluate(e->left, c)), to_number(evaluate(e->right, c))));
        case Op::Neg: return Value::of(-to_number(evaluate(e->left, c)));
        case Op::Literal: return Value::of(e->text);
        case Op::Number: return Value::of(e->number);
        case Op::Variable:
            for (const auto& [name, value] : bindings_.variables)
                if (name == e->text) return value;
            throw PathError("undefined variable $" + e->text, e->offset);
        case Op::Call: return call(e, c);
        case Op::Path: return path(e, c);
        case Op::Union: {
            Value left = node_set(e->left, c);
            Value right = node_set(e->right, c);
            left.nodes.insert(left.nodes.end(), right.nodes.begin(), right.nodes.end());
            nav_.sort_unique(left.nodes);
            return left;
        }
        case Op::Filter: {
            Value v = node_set(e->left, c);
            filter(e->predicates, 0, v.nodes);
            return v;
        }
    }
    return {};
}

namespace {

bool compare_numbers(Op op, double x, double y) {
    switch (op) {
        case Op::Eq: return x == y;
        case Op::Ne: return x != y;
        case Op::Lt: return x < y;
        case Op::Le: return x <= y;
        case Op::Gt: return x > y;
        case Op::Ge: return x >= y;
        default: return false;
    }
}

// The operator with its operands swapped: a < b is b > a.
Op flipped(Op op) {
    switch (op) {
        case Op::Lt: return Op::Gt;
        case Op::Le: return Op::Ge;
        case Op::Gt: return Op::Lt;
        case Op::Ge: return Op::Le;
        default: return op;
    }
}

bool is_equality(Op op) { return op == Op::Eq || op == Op::Ne; }

}  // namespace

namespace {

// `@name`: a relative path of one unprefixed attribute step without predicates.
bool is_plain_attribute(const Expr* e) {
    if (e->op != Op::Path || e->absolute || e->left != nullptr || e->steps.size() != 1) return false;
    const Step& s = e->steps.front();
    return s.axis == Axis::Attribute && s.test == Test::Name && s.prefix.empty() && s.predicates.empty() &&
           s.local != "xmlns";
}

}  // namespace

Value Evaluator::compare(const Expr* e, const Context& c) {
    // @name = 'v' and @name < 3 look at the attribute in place: the usual predicate, asked of
    // every element a descendant walk meets.
    const bool left_attribute = is_plain_attribute(e->left);
    const Expr* attribute = left_attribute ? e->left : is_plain_attribute(e->right) ? e->right : nullptr;
    const Expr* literal = left_attribute ? e->right : e->left;
    if (attribute != nullptr && (literal->op == Op::Number || (literal->op == Op::Literal && is_equality(e->op)))) {
        const Op op = left_attribute ? e->op : flipped(e->op);
        bool result = false;
        if (c.node.kind == Kind::Element) {
            const std::string& name = attribute->steps.front().local;
            const XMLAttrList& list = c.node.rec->attributes;
            for (std::int32_t i = 0; i < list.count && !result; ++i) {
                if (name != list.items[i].name) continue;
                const char* value = list.items[i].value;
                result = literal->op == Op::Number ? compare_numbers(op, string_to_number(value), literal->number)
                                                   : (literal->text == value) == (op == Op::Eq);
            }
        }
        return Value::of(result);
    }
    Value a = evaluate(e->left, c);
    Value b = evaluate(e->right, c);
    return Value::of(compare_values(e->op, a, b));
}


bool Evaluator::compare_values(Op op, const Value& a, const Value& b) {
    const bool a_set = a.type == Type::NodeSet, b_set = b.type == Type::NodeSet;
    if (a_set && b_set) {
        if (a.nodes.empty() || b.nodes.empty()) return false;
        if (is_equality(op)) {
            std::unordered_set<std::string> right;
            for (const Node& n : b.nodes) right.insert(nav_.string_value(n));
            for (const Node& n : a.nodes) {
                const bool present = right.count(nav_.string_value(n)) != 0;
                if (op == Op::Eq && present) return true;
                if (op == Op::Ne && (!present || right.size() > 1)) return true;
            }
            return false;
        }
        // Some pair satisfies an ordering when the extremes of the two sides do.
        auto extremes = [&](const std::vector<Node>& nodes, double& low, double& high) {
            low = std::numeric_limits<double>::infinity();
            high = -low;
            bool any = false;
            for (const Node& n : nodes) {
                double x = string_to_number(nav_.string_value(n));
                if (std::isnan(x)) continue;
                low = std::min(low, x);
                high = std::max(high, x);
                any = true;
            }
            return any;
        };
        double al, ah, bl, bh;
        if (!extremes(a.nodes, al, ah) || !extremes(b.nodes, bl, bh)) return false;
        return op == Op::Lt || op == Op::Le ? compare_numbers(op, al, bh) : compare_numbers(op, ah, bl);
    }
    if (a_set || b_set) {
        const Value& set = a_set ? a : b;
        const Value& other = a_set ? b : a;
        if (!a_set) op = flipped(op);
        if (other.type == Type::Boolean) {
            return compare_numbers(op, !set.nodes.empty(), other.boolean);
        }
        const bool as_numbers = other.type == Type::Number || !is_equality(op);
        const double y = as_numbers ? to_number(other) : 0;
        for (const Node& n : set.nodes) {
            const std::string s = nav_.string_value(n);
            if (as_numbers ? compare_numbers(op, string_to_number(s), y) : (s == other.string) == (op == Op::Eq))
                return true;
        }
        return false;
    }
    if (is_equality(op)) {
        if (a.type == Type::Boolean || b.type == Type::Boolean)
            return compare_numbers(op, to_boolean(a), to_boolean(b));
        if (a.type == Type::Number || b.type == Type::Number) return compare_numbers(op, to_number(a), to_number(b));
        return (to_string(a) == to_string(b)) == (op == Op::Eq);
    }
    return compare_numbers(op, to_number(a), to_number(b));
}

// The nodes a path starts from; returns whether they are flat (none below another).
bool Evaluator::start(const Expr* e, const Context& c, std::vector<Node>& nodes) {
    if (e->left != nullptr) {
        nodes = node_set(e->left, c).nodes;
        return nodes.size() <= 1;
    }
    nodes.push_back(e->absolute ? nav_.root_of(c.node.rec) : c.node);
    return true;
}

Value Evaluator::path(const Expr* e, const Context& c) {
    Value result;
    result.type = Type::NodeSet;
    std::vector<Node>& nodes = result.nodes;
    bool flat = start(e, c, nodes);
    for (const Step& s : e->steps) {
        if (nodes.empty()) break;
        step(s, nodes, flat);
    }
    return result;
}

// The step's node test with its prefix bound; an unbound prefix is an error at the step.
Matcher Evaluator::matcher(const Step& s) {
    Matcher m{&s, s.axis == Axis::Attribute ? Kind::Attribute : s.axis == Axis::Namespace ? Kind::Namespace : Kind::Element,
              {}, &nav_};
    if ((s.test == Test::Name || s.test == Test::AnyLocal) && !s.prefix.empty()) {
        bool bound = false;
        if (s.prefix == "xml") {
            m.uri = kXmlNamespace;
            bound = true;
        }
        for (const auto& [prefix, uri] : bindings_.namespaces)
            if (!bound && prefix == s.prefix) {
                m.uri = uri;
                bound = true;
            }
        if (!bound) throw PathError("undefined namespace prefix '" + s.prefix + "'", s.offset);
    }
    return m;
}

void Evaluator::axis(const Step& s, const Node& n, std::vector<Node>& found, const NodeFilter& keep) {
    Node up;
    switch (s.axis) {
        case Axis::Child: nav_.children(n, found, keep); break;
        case Axis::Descendant: nav_.descendants(n, false, found, keep); break;
        case Axis::DescendantOrSelf: nav_.descendants(n, true, found, keep); break;
        case Axis::Self: if (keep(n)) found.push_back(n); break;
        case Axis::Parent: if (nav_.parent(n, up) && keep(up)) found.push_back(up); break;
        case Axis::Ancestor:
        case Axis::AncestorOrSelf:
            if (s.axis == Axis::AncestorOrSelf && keep(n)) found.push_back(n);
            for (Node x = n; found.size() < keep.limit && nav_.parent(x, up); x = up)
                if (keep(up)) found.push_back(up);
            break;
        case Axis::FollowingSibling: nav_.following_siblings(n, found, keep); break;
        case Axis::PrecedingSibling: nav_.preceding_siblings(n, found, keep); break;
        case Axis::Following: nav_.following(n, found, keep); break;
        case Axis::Preceding: nav_.preceding(n, found, keep); break;
        case Axis::Attribute: nav_.attributes(n, found, keep); break;
        case Axis::Namespace: nav_.namespaces(n, found, keep); break;
    }
}

namespace {

// [n] first: the walk stops at the n-th node of the axis (a million following siblings are
// not gathered to keep one).
std::size_t leading_position(const Step& s) {
    if (s.predicates.empty() || s.predicates.front()->op != Op::Number) return static_cast<std::size_t>(-1);
    const double n = s.predicates.front()->number;
    return n >= 1 && n < 1e15 ? static_cast<std::size_t>(n) : 1;
}

}  // namespace

// The walks of the forward axes that take predicates as they go (their walks hold no state a
// nested evaluation could disturb).
std::size_t Evaluator::walk_predicates(const Step& s) const {
    const bool forward = s.axis == Axis::Child || s.axis == Axis::Descendant || s.axis == Axis::DescendantOrSelf;
    return forward ? s.walk_predicates : 0;
}

bool Evaluator::WalkTest::keep(const Node& n, const void* data) {
    const auto* test = static_cast<const WalkTest*>(data);
    if (!test->matcher->matches(n)) return false;
    for (std::size_t i = 0; i < test->predicates; ++i)
        if (!test->evaluator->passes(test->matcher->step->predicates[i], n)) return false;
    return true;
}

NodeFilter Evaluator::walk_filter(const Step& s, const Matcher& m, WalkTest& test) {
    test = WalkTest{&m, this, walk_predicates(s)};
    if (test.predicates == 0) {
        NodeFilter keep{&Matcher::keep, &m};
        keep.limit = leading_position(s);
        return keep;
    }
    return NodeFilter{&WalkTest::keep, &test};
}

void Evaluator::step(const Step& s, std::vector<Node>& nodes, bool& flat) {
    const Matcher m = matcher(s);
    WalkTest test;
    const NodeFilter keep = walk_filter(s, m, test);
    std::vector<Node> out, found;
    for (const Node& n : nodes) {
        found.clear();
        axis(s, n, found, keep);
        if (s.predicates.size() > test.predicates) filter(s.predicates, test.predicates, found);
        if (is_reverse(s.axis)) out.insert(out.end(), found.rbegin(), found.rend());
        else out.insert(out.end(), found.begin(), found.end());
    }
    // One context gives document order (a reverse axis was turned round above); several do
    // only when none lies below another and the axis stays inside each one's subtree.
    const bool in_order = nodes.size() <= 1 || (flat && (keeps_flat(s.axis) || s.axis == Axis::Descendant ||
                                                         s.axis == Axis::DescendantOrSelf));
    if (!in_order) nav_.sort_unique(out);
    flat = nodes.size() <= 1 ? flat_from_one(s.axis) : flat && keeps_flat(s.axis);
    nodes.swap(out);
}

// Whether a path selects anything: the steps before the last as path() takes them, the last
// one stopping at the first node it keeps. [child] and not(following-sibling::x) ask no more.
bool Evaluator::exists(const Expr* e, const Context& c) {
    if (e->steps.empty()) return !path(e, c).nodes.empty();
    std::vector<Node> nodes;
    bool flat = start(e, c, nodes);
    for (std::size_t i = 0; i + 1 < e->steps.size() && !nodes.empty(); ++i) step(e->steps[i], nodes, flat);
    const Step& last = e->steps.back();
    const Matcher m = matcher(last);
    WalkTest test;
    NodeFilter keep = walk_filter(last, m, test);
    if (last.predicates.size() == test.predicates) keep.limit = 1;
    std::vector<Node> found;
    for (const Node& n : nodes) {
        found.clear();
        axis(last, n, found, keep);
        if (last.predicates.size() > test.predicates) filter(last.predicates, test.predicates, found);
        if (!found.empty()) return true;
    }
    return false;
}

bool Evaluator::truth(const Expr* e, const Context& c) {
    return e->op == Op::Path ? exists(e, c) : to_boolean(evaluate(e, c));
}

bool Evaluator::passes(const Expr* p, const Node& n) {
    const Context at{n, 1, 1};
    return p->op == Op::Path ? exists(p, at) : to_boolean(evaluate(p, at));
}

void Evaluator::filter(const std::vector<const Expr*>& predicates, std::size_t first, std::vector<Node>& nodes) {
    std::vector<Node> kept;
    for (std::size_t k = first; k < predicates.size(); ++k) {
        const Expr* p = predicates[k];
        if (nodes.empty()) return;
        kept.clear();
        const std::size_t size = nodes.size();
        if (p->op == Op::Number) {  // [n]: no evaluation per node
            const double n = p->number;
            if (n >= 1 && n <= static_cast<double>(size) && n == std::floor(n))
                kept.push_back(nodes[static_cast<std::size_t>(n) - 1]);
        } else {
            for (std::size_t i = 0; i < size; ++i) {
                const Context at{nodes[i], i + 1, size};
                bool pass;
                if (p->op == Op::Path) {
                    pass = exists(p, at);
                } else {
                    Value v = evaluate(p, at);
                    pass = v.type == Type::Number ? v.number == static_cast<double>(i + 1) : to_boolean(v);
                }
                if (pass) kept.push_back(nodes[i]);
            }
        }
        nodes.swap(kept);
    }
}

}  // namespace zel::path
