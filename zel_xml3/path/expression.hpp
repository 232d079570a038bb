// A compiled XPath 1.0 expression: the tree the parser builds and the evaluator walks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zel::path {

// A problem with an expression: what, and the byte offset where it was found.
struct PathError : std::runtime_error {
    PathError(const std::string& message, std::size_t at) : std::runtime_error(message), offset(at) {}
    std::size_t offset;
};

enum class Axis : std::uint8_t {
    Ancestor, AncestorOrSelf, Attribute, Child, Descendant, DescendantOrSelf, Following,
    FollowingSibling, Namespace, Parent, Preceding, PrecedingSibling, Self
};

enum class Test : std::uint8_t {
    Name,      // prefix (maybe empty) and local
    Any,       // *
    AnyLocal,  // prefix:*
    Node, Text, Comment,
    PI         // processing-instruction(), with `local` the target when one is given
};

enum class Function : std::uint8_t {
    Last, Position, Count, Id, LocalName, NamespaceUri, Name, String, Concat, StartsWith,
    Contains, SubstringBefore, SubstringAfter, Substring, StringLength, NormalizeSpace,
    Translate, Boolean, Not, True, False, Lang, Number, Sum, Floor, Ceiling, Round
};

struct Expr;

struct Step {
    Axis axis = Axis::Child;
    Test test = Test::Node;
    std::string prefix;
    std::string local;
    bool has_target = false;  // processing-instruction('target')
    std::vector<const Expr*> predicates;
    std::size_t offset = 0;
    // How many leading predicates do not depend on position: tested on each node as a
    // forward walk finds it, so no node-set of every candidate is built.
    std::size_t walk_predicates = 0;
};

enum class Op : std::uint8_t {
    Or, And, Eq, Ne, Lt, Le, Gt, Ge, Add, Sub, Mul, Div, Mod, Neg, Union,
    Literal, Number, Variable, Call,
    Path,    // [filter] steps: `absolute` paths start at the root, a filter's at its nodes
    Filter   // primary[predicate]...
};

struct Expr {
    Op op = Op::Literal;
    std::size_t offset = 0;
    std::uint32_t height = 1;     // the longest chain of nested expressions below and with it
    const Expr* left = nullptr;   // binary operands; Neg's operand; Path's and Filter's primary
    const Expr* right = nullptr;
    std::string text;             // Literal's string, Variable's name
    double number = 0;            // Number
    Function function = Function::Last;
    std::vector<const Expr*> args;        // Call
    bool absolute = false;                // Path
    std::vector<Step> steps;              // Path
    std::vector<const Expr*> predicates;  // Filter
};

// A parsed expression; owns its nodes.
struct Compiled {
    std::vector<std::unique_ptr<Expr>> nodes;
    const Expr* top = nullptr;
    // The variables and namespace prefixes it names, with their offsets: an evaluation checks
    // them all against the host's bindings before it starts, whatever the data.
    std::vector<std::pair<std::string, std::size_t>> variables;
    std::vector<std::pair<std::string, std::size_t>> prefixes;
};

// Parses `text`; throws PathError for a syntax error, an unknown function or a wrong
// number of arguments.
std::shared_ptr<const Compiled> compile(const std::string& text);

// Whether a predicate may depend on the position of the node it tests: a number result, a
// variable (of unknown type), or a call of position() or last() anywhere in it.
bool may_use_position(const Expr* predicate);

}  // namespace zel::path
