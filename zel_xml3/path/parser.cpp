// Parsing XPath 1.0: the lexical rules that tell names, operators and node types apart,
// then one recursive descent over the tokens into a Compiled tree.
#include "path/expression.hpp"
#include "path/number_text.hpp"

#include <cstring>

namespace zel::path {
namespace {

// Expressions nested deeper than this are refused: the evaluator recurses on them.
constexpr std::uint32_t kMaxHeight = 200;

enum class Tok : std::uint8_t {
    End, LParen, RParen, LBracket, RBracket, Dot, DotDot, At, Comma, ColonColon,
    NameTest, NodeType, FunctionName, AxisName, Literal, Number, Variable,
    Slash, SlashSlash, Pipe, Plus, Minus, Eq, Ne, Lt, Le, Gt, Ge, Multiply, And, Or, Mod, Div
};

struct Token {
    Tok tok = Tok::End;
    std::size_t offset = 0;
    std::string text;    // names (a name test's local part, or "*"), literals, variables
    std::string prefix;  // a name test's prefix
    double number = 0;
};

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_name_start(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (static_cast<unsigned char>(c) & 0x80);
}
bool is_name_char(char c) { return is_name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// An operator, or a token after which a name is a name again rather than an operator name.
bool opens_operand(Tok t) {
    switch (t) {
        case Tok::At: case Tok::ColonColon: case Tok::LParen: case Tok::LBracket: case Tok::Comma:
        case Tok::Slash: case Tok::SlashSlash: case Tok::Pipe: case Tok::Plus: case Tok::Minus:
        case Tok::Eq: case Tok::Ne: case Tok::Lt: case Tok::Le: case Tok::Gt: case Tok::Ge:
        case Tok::Multiply: case Tok::And: case Tok::Or: case Tok::Mod: case Tok::Div:
            return true;
        default: return false;
    }
}

class Lexer {
public:
    explicit Lexer(const std::string& text) : s_(text) {}

    std::vector<Token> run() {
        std::vector<Token> out;
        for (;;) {
            skip_space();
            Token t;
            t.offset = at_;
            if (at_ == s_.size()) {
                out.push_back(t);
                return out;
            }
            const bool operand_next = out.empty() || opens_operand(out.back().tok);
            lex_one(t, operand_next);
            out.push_back(std::move(t));
        }
    }

private:
    void skip_space() {
        while (at_ < s_.size() && is_space(s_[at_])) ++at_;
    }
    char peek(std::size_t ahead = 0) const { return at_ + ahead < s_.size() ? s_[at_ + ahead] : '\0'; }
    bool next_is(const char* what) {
        std::size_t i = at_;
        while (i < s_.size() && is_space(s_[i])) ++i;
        return s_.compare(i, std::strlen(what), what) == 0;
    }
    std::string ncname() {
        std::size_t start = at_;
        while (at_ < s_.size() && is_name_char(s_[at_])) ++at_;
        return s_.substr(start, at_ - start);
    }

    void lex_one(Token& t, bool operand_next) {
        const char c = peek();
        auto single = [&](Tok tok, std::size_t length) {
            t.tok = tok;
            at_ += length;
        };
        switch (c) {
            case '(': return single(Tok::LParen, 1);
            case ')': return single(Tok::RParen, 1);
            case '[': return single(Tok::LBracket, 1);
            case ']': return single(Tok::RBracket, 1);
            case '@': return single(Tok::At, 1);
            case ',': return single(Tok::Comma, 1);
            case '|': return single(Tok::Pipe, 1);
            case '+': return single(Tok::Plus, 1);
            case '-': return single(Tok::Minus, 1);
            case '=': return single(Tok::Eq, 1);
            case '/': return peek(1) == '/' ? single(Tok::SlashSlash, 2) : single(Tok::Slash, 1);
            case '<': return peek(1) == '=' ? single(Tok::Le, 2) : single(Tok::Lt, 1);
            case '>': return peek(1) == '=' ? single(Tok::Ge, 2) : single(Tok::Gt, 1);
            case '!':
                if (peek(1) == '=') return single(Tok::Ne, 2);
                throw PathError("unexpected '!' (did you mean '!=' ?)", at_);
            case ':':
                if (peek(1) == ':') return single(Tok::ColonColon, 2);
                throw PathError("unexpected ':'", at_);
            case '*':
                if (!operand_next) return single(Tok::Multiply, 1);
                t.tok = Tok::NameTest;
                t.text = "*";
                ++at_;
                return;
            case '"':
            case '\'': {
                std::size_t end = s_.find(c, at_ + 1);
                if (end == std::string::npos) throw PathError("unterminated string literal", at_);
                t.tok = Tok::Literal;
                t.text = s_.substr(at_ + 1, end - at_ - 1);
                at_ = end + 1;
                return;
            }
            case '$': {
                ++at_;
                if (!is_name_start(peek())) throw PathError("expected a variable name after '$'", at_);
                t.tok = Tok::Variable;
                t.text = ncname();
                if (peek() == ':' && is_name_start(peek(1))) {
                    ++at_;
                    t.text += ":" + ncname();
                }
                return;
            }
            default: break;
        }
        if (c == '.' && !is_digit(peek(1))) return peek(1) == '.' ? single(Tok::DotDot, 2) : single(Tok::Dot, 1);
        if (is_digit(c) || c == '.') return number(t);
        if (!is_name_start(c)) throw PathError(std::string("unexpected '") + c + "'", at_);
        std::string name = ncname();
        if (!operand_next) {
            static const struct { const char* name; Tok tok; } kOperators[] = {
                {"and", Tok::And}, {"or", Tok::Or}, {"mod", Tok::Mod}, {"div", Tok::Div}};
            for (const auto& o : kOperators)
                if (name == o.name) {
                    t.tok = o.tok;
                    return;
                }
            throw PathError("expected an operator, found '" + name + "'", t.offset);
        }
        if (peek() == ':' && peek(1) != ':') {
            ++at_;
            if (peek() == '*') {
                ++at_;
                t.tok = Tok::NameTest;
                t.prefix = name;
                t.text = "*";
                return;
            }
            if (!is_name_start(peek())) throw PathError("expected a name after '" + name + ":'", at_);
            t.prefix = name;
            name = ncname();
        }
        t.text = name;
        if (t.prefix.empty() && next_is("::")) {
            t.tok = Tok::AxisName;
        } else if (next_is("(")) {
            const bool node_type = t.prefix.empty() && (name == "comment" || name == "text" || name == "node" ||
                                                        name == "processing-instruction");
            t.tok = node_type ? Tok::NodeType : Tok::FunctionName;
        } else {
            t.tok = Tok::NameTest;
        }
    }

    void number(Token& t) {
        std::size_t start = at_;
        while (is_digit(peek())) ++at_;
        if (peek() == '.') {
            ++at_;
            while (is_digit(peek())) ++at_;
        }
        t.tok = Tok::Number;
        t.number = string_to_number(std::string_view(s_).substr(start, at_ - start));  // too large: Infinity
    }

    const std::string& s_;
    std::size_t at_ = 0;
};

struct FunctionInfo {
    const char* name;
    Function function;
    int min_args;
    int max_args;  // -1: any number
};

const FunctionInfo kFunctions[] = {
    {"last", Function::Last, 0, 0}, {"position", Function::Position, 0, 0},
    {"count", Function::Count, 1, 1}, {"id", Function::Id, 1, 1},
    {"local-name", Function::LocalName, 0, 1}, {"namespace-uri", Function::NamespaceUri, 0, 1},
    {"name", Function::Name, 0, 1}, {"string", Function::String, 0, 1},
    {"concat", Function::Concat, 2, -1}, {"starts-with", Function::StartsWith, 2, 2},
    {"contains", Function::Contains, 2, 2}, {"substring-before", Function::SubstringBefore, 2, 2},
    {"substring-after", Function::SubstringAfter, 2, 2}, {"substring", Function::Substring, 2, 3},
    {"string-length", Function::StringLength, 0, 1}, {"normalize-space", Function::NormalizeSpace, 0, 1},
    {"translate", Function::Translate, 3, 3}, {"boolean", Function::Boolean, 1, 1},
    {"not", Function::Not, 1, 1}, {"true", Function::True, 0, 0}, {"false", Function::False, 0, 0},
    {"lang", Function::Lang, 1, 1}, {"number", Function::Number, 0, 1}, {"sum", Function::Sum, 1, 1},
    {"floor", Function::Floor, 1, 1}, {"ceiling", Function::Ceiling, 1, 1}, {"round", Function::Round, 1, 1},
};

struct AxisInfo {
    const char* name;
    Axis axis;
};

const AxisInfo kAxes[] = {
    {"ancestor", Axis::Ancestor}, {"ancestor-or-self", Axis::AncestorOrSelf}, {"attribute", Axis::Attribute},
    {"child", Axis::Child}, {"descendant", Axis::Descendant}, {"descendant-or-self", Axis::DescendantOrSelf},
    {"following", Axis::Following}, {"following-sibling", Axis::FollowingSibling},
    {"namespace", Axis::Namespace}, {"parent", Axis::Parent}, {"preceding", Axis::Preceding},
    {"preceding-sibling", Axis::PrecedingSibling}, {"self", Axis::Self},
};

const char* describe(const Token& t) {
    switch (t.tok) {
        case Tok::End: return "the end of the expression";
        case Tok::RParen: return "')'";
        case Tok::RBracket: return "']'";
        case Tok::Comma: return "','";
        default: return nullptr;
    }
}

class Parser {
public:
    Parser(std::vector<Token> tokens, Compiled& out) : t_(std::move(tokens)), out_(out) {}

    const Expr* parse() {
        if (t_.front().tok == Tok::End) throw PathError("the expression is empty", 0);
        const Expr* e = expr();
        if (cur().tok != Tok::End) unexpected("an operator or the end of the expression");
        return e;
    }

private:
    const Token& cur() const { return t_[i_]; }
    bool at(Tok tok) const { return cur().tok == tok; }
    bool accept(Tok tok) {
        if (!at(tok)) return false;
        ++i_;
        return true;
    }
    [[noreturn]] void unexpected(const std::string& wanted) const {
        const Token& t = cur();
        std::string found = describe(t) != nullptr ? describe(t) : "'" + token_text(t) + "'";
        throw PathError("expected " + wanted + ", found " + found, t.offset);
    }
    static std::string token_text(const Token& t) {
        switch (t.tok) {
            case Tok::Literal: return "\"" + t.text + "\"";
            case Tok::Variable: return "$" + t.text;
            case Tok::Number: return "number";
            case Tok::NameTest:
            case Tok::NodeType:
            case Tok::FunctionName:
            case Tok::AxisName: return t.prefix.empty() ? t.text : t.prefix + ":" + t.text;
            default: break;
        }
        static const char* const kSpelling[] = {"", "(", ")", "[", "]", ".", "..", "@", ",", "::", "", "", "", "",
                                                "", "", "", "/", "//", "|", "+", "-", "=", "!=", "<", "<=", ">",
                                                ">=", "*", "and", "or", "mod", "div"};
        return kSpelling[static_cast<int>(t.tok)];
    }
    void expect(Tok tok, const char* spelled) {
        if (!accept(tok)) unexpected(spelled);
    }

    Expr* make(Op op, std::size_t offset) {
        out_.nodes.push_back(std::make_unique<Expr>());
        Expr* e = out_.nodes.back().get();
        e->op = op;
        e->offset = offset;
        return e;
    }
    void grow(Expr* e, const Expr* child) {
        if (child == nullptr) return;
        if (child->height + 1 > e->height) e->height = child->height + 1;
        if (e->height > kMaxHeight) throw PathError("the expression is nested too deeply", e->offset);
    }
    const Expr* binary(Op op, std::size_t offset, const Expr* l, const Expr* r) {
        Expr* e = make(op, offset);
        e->left = l;
        e->right = r;
        grow(e, l);
        grow(e, r);
        return e;
    }

    // One level of left-associative binary operators.
    template <typename Next>
    const Expr* chain(Next next, std::initializer_list<std::pair<Tok, Op>> ops) {
        const Expr* left = (this->*next)();
        for (;;) {
            bool matched = false;
            for (auto [tok, op] : ops) {
                if (!at(tok)) continue;
                std::size_t offset = cur().offset;
                ++i_;
                left = binary(op, offset, left, (this->*next)());
                matched = true;
                break;
            }
            if (!matched) return left;
        }
    }

    const Expr* expr() {
        if (++depth_ > kMaxHeight) throw PathError("the expression is nested too deeply", cur().offset);
        const Expr* e = chain(&Parser::and_expr, {{Tok::Or, Op::Or}});
        --depth_;
        return e;
    }
    const Expr* and_expr() { return chain(&Parser::equality, {{Tok::And, Op::And}}); }
    const Expr* equality() { return chain(&Parser::relational, {{Tok::Eq, Op::Eq}, {Tok::Ne, Op::Ne}}); }
    const Expr* relational() {
        return chain(&Parser::additive, {{Tok::Lt, Op::Lt}, {Tok::Le, Op::Le}, {Tok::Gt, Op::Gt}, {Tok::Ge, Op::Ge}});
    }
    const Expr* additive() { return chain(&Parser::multiplicative, {{Tok::Plus, Op::Add}, {Tok::Minus, Op::Sub}}); }
    const Expr* multiplicative() {
        return chain(&Parser::unary, {{Tok::Multiply, Op::Mul}, {Tok::Div, Op::Div}, {Tok::Mod, Op::Mod}});
    }
    const Expr* unary() {
        if (!at(Tok::Minus)) return union_expr();
        std::size_t offset = cur().offset;
        ++i_;
        if (++depth_ > kMaxHeight) throw PathError("the expression is nested too deeply", offset);
        const Expr* operand = unary();
        --depth_;
        Expr* e = make(Op::Neg, offset);
        e->left = operand;
        grow(e, operand);
        return e;
    }
    const Expr* union_expr() { return chain(&Parser::path_expr, {{Tok::Pipe, Op::Union}}); }

    bool starts_primary() const {
        switch (cur().tok) {
            case Tok::Variable: case Tok::LParen: case Tok::Literal: case Tok::Number: case Tok::FunctionName:
                return true;
            default: return false;
        }
    }
    bool starts_step() const {
        switch (cur().tok) {
            case Tok::Dot: case Tok::DotDot: case Tok::At: case Tok::AxisName: case Tok::NameTest: case Tok::NodeType:
                return true;
            default: return false;
        }
    }

    const Expr* path_expr() {
        const std::size_t offset = cur().offset;
        if (starts_primary()) {
            const Expr* primary = this->primary();
            if (at(Tok::LBracket)) {
                Expr* filter = make(Op::Filter, offset);
                filter->left = primary;
                grow(filter, primary);
                predicates(filter->predicates, filter);
                primary = filter;
            }
            if (!at(Tok::Slash) && !at(Tok::SlashSlash)) return primary;
            Expr* path = make(Op::Path, offset);
            path->left = primary;
            grow(path, primary);
            relative_path(*path, true);
            return path;
        }
        Expr* path = make(Op::Path, offset);
        if (at(Tok::Slash) || at(Tok::SlashSlash)) {
            path->absolute = true;
            if (at(Tok::Slash)) {
                ++i_;
                if (!starts_step()) return path;  // "/" alone: the root
                relative_path(*path, false);
                return path;
            }
        } else if (!starts_step()) {
            unexpected("a location step, a value or '('");
        }
        relative_path(*path, !path->absolute ? false : true);
        return path;
    }

    // Steps separated by '/' and '//'; `separator_first` when a '/' or '//' comes first.
    void relative_path(Expr& path, bool separator_first) {
        bool need_step = !separator_first;
        for (;;) {
            if (!need_step) {
                if (accept(Tok::SlashSlash)) {
                    Step any;
                    any.axis = Axis::DescendantOrSelf;
                    any.test = Test::Node;
                    any.offset = t_[i_ - 1].offset;
                    path.steps.push_back(any);
                } else if (!accept(Tok::Slash)) {
                    return;
                }
            }
            need_step = false;
            path.steps.push_back(step(path));
        }
    }

    Step step(Expr& owner) {
        Step s;
        s.offset = cur().offset;
        if (accept(Tok::Dot)) {
            s.axis = Axis::Self;
            return s;
        }
        if (accept(Tok::DotDot)) {
            s.axis = Axis::Parent;
            return s;
        }
        if (accept(Tok::At)) {
            s.axis = Axis::Attribute;
        } else if (at(Tok::AxisName)) {
            const std::string& name = cur().text;
            bool known = false;
            for (const AxisInfo& a : kAxes)
                if (name == a.name) {
                    s.axis = a.axis;
                    known = true;
                }
            if (!known) throw PathError("unknown axis '" + name + "'", cur().offset);
            ++i_;
            expect(Tok::ColonColon, "'::'");
        }
        node_test(s);
        predicates(s.predicates, &owner);
        return s;
    }

    void node_test(Step& s) {
        const Token& t = cur();
        if (t.tok == Tok::NameTest) {
            s.prefix = t.prefix;
            s.local = t.text;
            if (!t.prefix.empty() && t.prefix != "xml") out_.prefixes.emplace_back(t.prefix, t.offset);
            s.test = t.text == "*" ? (t.prefix.empty() ? Test::Any : Test::AnyLocal) : Test::Name;
            ++i_;
            return;
        }
        if (t.tok != Tok::NodeType) unexpected("a node test");
        const std::string type = t.text;
        ++i_;
        expect(Tok::LParen, "'('");
        if (type == "processing-instruction") {
            s.test = Test::PI;
            if (at(Tok::Literal)) {
                s.local = cur().text;
                s.has_target = true;
                ++i_;
            }
        } else {
            s.test = type == "node" ? Test::Node : type == "text" ? Test::Text : Test::Comment;
        }
        expect(Tok::RParen, "')'");
    }

    void predicates(std::vector<const Expr*>& into, Expr* owner) {
        while (accept(Tok::LBracket)) {
            const Expr* e = expr();
            grow(owner, e);
            into.push_back(e);
            expect(Tok::RBracket, "']'");
        }
    }

    const Expr* primary() {
        const Token& t = cur();
        switch (t.tok) {
            case Tok::Variable: {
                Expr* e = make(Op::Variable, t.offset);
                e->text = t.text;
                out_.variables.emplace_back(t.text, t.offset);
                ++i_;
                return e;
            }
            case Tok::Literal: {
                Expr* e = make(Op::Literal, t.offset);
                e->text = t.text;
                ++i_;
                return e;
            }
            case Tok::Number: {
                Expr* e = make(Op::Number, t.offset);
                e->number = t.number;
                ++i_;
                return e;
            }
            case Tok::LParen: {
                ++i_;
                const Expr* e = expr();
                expect(Tok::RParen, "')'");
                return e;
            }
            default: return call();
        }
    }

    const Expr* call() {
        const Token& t = cur();
        const FunctionInfo* info = nullptr;
        for (const FunctionInfo& f : kFunctions)
            if (t.prefix.empty() && t.text == f.name) info = &f;
        if (info == nullptr) throw PathError("unknown function '" + token_text(t) + "'", t.offset);
        Expr* e = make(Op::Call, t.offset);
        e->function = info->function;
        ++i_;
        expect(Tok::LParen, "'('");
        if (!at(Tok::RParen)) {
            do {
                const Expr* arg = expr();
                grow(e, arg);
                e->args.push_back(arg);
            } while (accept(Tok::Comma));
        }
        expect(Tok::RParen, "')' or ','");
        const int n = static_cast<int>(e->args.size());
        if (n < info->min_args || (info->max_args >= 0 && n > info->max_args)) {
            std::string takes = info->max_args < 0 ? "at least " + std::to_string(info->min_args)
                                : info->min_args == info->max_args
                                    ? std::to_string(info->min_args)
                                    : std::to_string(info->min_args) + " or " + std::to_string(info->max_args);
            throw PathError(std::string(info->name) + "() takes " + takes + " argument" +
                                (info->max_args == 1 && info->min_args == 1 ? "" : "s") + ", not " + std::to_string(n),
                            e->offset);
        }
        return e;
    }

    std::vector<Token> t_;
    std::size_t i_ = 0;
    std::uint32_t depth_ = 0;
    Compiled& out_;
};

bool number_function(Function f) {
    switch (f) {
        case Function::Last: case Function::Position: case Function::Count: case Function::StringLength:
        case Function::Number: case Function::Sum: case Function::Floor: case Function::Ceiling: case Function::Round:
            return true;
        default: return false;
    }
}

bool calls_position(const Expr* e) {
    if (e == nullptr) return false;
    if (e->op == Op::Call && (e->function == Function::Position || e->function == Function::Last)) return true;
    if (calls_position(e->left) || calls_position(e->right)) return true;
    for (const Expr* a : e->args)
        if (calls_position(a)) return true;
    for (const Expr* p : e->predicates)
        if (calls_position(p)) return true;
    for (const Step& s : e->steps)
        for (const Expr* p : s.predicates)
            if (calls_position(p)) return true;
    return false;
}

// '//name[tests]' walks as descendant::name[tests] when no test depends on position: the
// same nodes, without a node-set per level.
void fold_descendant_steps(Compiled& c) {
    for (auto& node : c.nodes) {
        std::vector<Step>& steps = node->steps;
        std::vector<Step> folded;
        folded.reserve(steps.size());
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const Step& any = steps[i];
            const bool foldable = i + 1 < steps.size() && any.axis == Axis::DescendantOrSelf && any.test == Test::Node &&
                                  any.predicates.empty() && steps[i + 1].axis == Axis::Child;
            bool positional = false;
            if (foldable)
                for (const Expr* p : steps[i + 1].predicates) positional = positional || may_use_position(p);
            if (foldable && !positional) {
                folded.push_back(std::move(steps[++i]));
                folded.back().axis = Axis::Descendant;
            } else {
                folded.push_back(std::move(steps[i]));
            }
        }
        steps.swap(folded);
    }
}

}  // namespace

bool may_use_position(const Expr* p) {
    switch (p->op) {
        case Op::Number: case Op::Variable: case Op::Add: case Op::Sub: case Op::Mul: case Op::Div: case Op::Mod:
        case Op::Neg:
            return true;
        case Op::Call:
            if (number_function(p->function)) return true;
            break;
        default: break;
    }
    return calls_position(p);
}

std::shared_ptr<const Compiled> compile(const std::string& text) {
    auto c = std::make_shared<Compiled>();
    Parser parser(Lexer(text).run(), *c);
    c->top = parser.parse();
    fold_descendant_steps(*c);
    for (auto& node : c->nodes)
        for (Step& s : node->steps)
            while (s.walk_predicates < s.predicates.size() && !may_use_position(s.predicates[s.walk_predicates]))
                ++s.walk_predicates;
    return c;
}

}  // namespace zel::path
