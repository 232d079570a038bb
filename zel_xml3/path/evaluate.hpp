// Evaluating a compiled expression over records.
#pragma once

#include "path/expression.hpp"
#include "path/model.hpp"

#include <string>
#include <utility>
#include <vector>

namespace zel::path {

enum class Type : std::uint8_t { NodeSet, Boolean, Number, String };

struct Value {
    Type type = Type::Boolean;
    bool boolean = false;
    double number = 0;
    std::string string;
    std::vector<Node> nodes;  // a node-set in document order, each node once

    static Value of(bool b) {
        Value v;
        v.boolean = b;
        return v;
    }
    static Value of(double n) {
        Value v;
        v.type = Type::Number;
        v.number = n;
        return v;
    }
    static Value of(std::string s) {
        Value v;
        v.type = Type::String;
        v.string = std::move(s);
        return v;
    }
};

// What the host binds: prefixes to URIs, and variables.
struct Bindings {
    std::vector<std::pair<std::string, std::string>> namespaces;
    std::vector<std::pair<std::string, Value>> variables;
};

// The context of an evaluation: a node, its position (from 1) and the size of its set.
struct Context {
    Node node;
    std::size_t position = 1;
    std::size_t size = 1;
};

// A step's node test, checked while the axis is walked.
struct Matcher {
    const Step* step;
    Kind principal;
    std::string_view uri;  // the test's prefix bound
    Navigator* nav;

    static bool keep(const Node& n, const void* data) { return static_cast<const Matcher*>(data)->matches(n); }

    bool matches(const Node& n) const {
        switch (step->test) {
            case Test::Node: return true;
            case Test::Text: return n.kind == Kind::Text;
            case Test::Comment: return n.kind == Kind::Comment;
            case Test::PI: return n.kind == Kind::PI && (!step->has_target || nav->qname(n) == step->local);
            case Test::Any: return n.kind == principal;
            case Test::AnyLocal: return n.kind == principal && principal != Kind::Namespace && in_namespace(n);
            case Test::Name: break;
        }
        if (n.kind != principal) return false;
        const std::string_view name = nav->qname(n);
        if (principal == Kind::Namespace) return step->prefix.empty() && name == step->local;
        if (step->prefix.empty()) {
            if (name != step->local) return false;
            if (principal == Kind::Attribute) return true;
            bool found;
            return nav->resolve(n.rec, {}, found).empty();  // no default namespace in scope
        }
        return Navigator::local_part(name) == step->local && in_namespace(n);
    }

    bool in_namespace(const Node& n) const {
        bool found;
        std::string_view actual = nav->namespace_uri(n, found);
        return found && actual == uri;
    }
};

class Evaluator {
public:
    Evaluator(Navigator& nav, const Bindings& bindings) : nav_(nav), bindings_(bindings) {}
    // Throws PathError for an unbound variable or prefix, or a node-set operation on
    // another type; std::bad_alloc when memory runs out.
    Value evaluate(const Expr* e, const Context& c);

    // Conversions.
    std::string to_string(const Value& v);
    double to_number(const Value& v);
    static bool to_boolean(const Value& v);

private:
    Value call(const Expr* e, const Context& c);
    Value path(const Expr* e, const Context& c);
    Value compare(const Expr* e, const Context& c);
    bool compare_values(Op op, const Value& a, const Value& b);
    Value node_set(const Expr* e, const Context& c);
    bool start(const Expr* e, const Context& c, std::vector<Node>& nodes);
    Matcher matcher(const Step& s);
    void axis(const Step& s, const Node& n, std::vector<Node>& found, const NodeFilter& keep);
    void step(const Step& s, std::vector<Node>& nodes, bool& flat);
    bool exists(const Expr* path, const Context& c);
    // boolean() of an expression, a path's asked only whether it selects anything.
    bool truth(const Expr* e, const Context& c);
    // Applies predicates[first...] to `nodes`, in order.
    void filter(const std::vector<const Expr*>& predicates, std::size_t first, std::vector<Node>& nodes);
    // Whether `n` passes the predicate `p`, whose value does not depend on position.
    bool passes(const Expr* p, const Node& n);
    // The filter for a walk of step `s`: its node test, and the predicates the walk tests.
    struct WalkTest {
        const Matcher* matcher = nullptr;
        Evaluator* evaluator = nullptr;
        std::size_t predicates = 0;
        static bool keep(const Node& n, const void* data);
    };
    NodeFilter walk_filter(const Step& s, const Matcher& m, WalkTest& test);
    std::size_t walk_predicates(const Step& s) const;
    Value id(const Value& arg, const Context& c);
    bool lang(const std::string& wanted, const Node& n);

    Navigator& nav_;
    const Bindings& bindings_;
};

}  // namespace zel::path
