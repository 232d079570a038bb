// XPath through the library: the namespaces and variables of the command line, errors shown
// with a caret under their place, and results freed on every path out.
#pragma once

#include "cli.hpp"

#include <string>
#include <vector>

namespace zelxml {

// Owns one XMLPathResult and frees it.
class PathResult {
public:
    PathResult() = default;
    ~PathResult() { XMLFreePathResult(&result_); }
    PathResult(const PathResult&) = delete;
    PathResult& operator=(const PathResult&) = delete;
    XMLPathResult* get() { return &result_; }
    const XMLPathResult& operator*() const { return result_; }
    const XMLPathResult* operator->() const { return &result_; }
    bool nodes() const { return result_.type == ZEL_XML_PATH_NODE_SET; }

private:
    XMLPathResult result_{};
};

// The options of every evaluation of one run: -N PREFIX=URI and --var NAME=VALUE.
class Query {
public:
    // Keeps pointers into `args`, which must outlive the query.
    explicit Query(const Args& args);
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // Checks `expression` before any document is read, by evaluating it against an empty
    // one: every error XPath can have but running out of memory shows there. Prints a syntax
    // error with the expression and a caret under its place and returns kUsage; kOk otherwise,
    // with the type of result the expression gives in *type.
    int check(const std::string& expression, int32_t* type = nullptr) const;

    // Evaluates `expression` with `context` as the context node; kOk, or an exit code after
    // printing why.
    int evaluate(const XMLNode* context, const std::string& expression, PathResult& result) const;

private:
    std::vector<const char*> namespaces_;
    std::vector<XMLPathVariable> variables_;
    XMLPathOptions options_{};
};

// The string value of a node-set node.
std::string node_text(const XMLPathNode& node);

// Prints the string value of each node of a node-set on a line of its own. Elements nested in
// an earlier element of the set share one walk of that element's subtree, so that a deep chain
// of nested matches costs its size, not its size squared.
void print_values(const XMLPathResult& nodes, FILE* to);

// The words for a result type, as in "a number".
const char* type_name(int32_t type);

}  // namespace zelxml
