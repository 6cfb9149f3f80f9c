// The compiler: source text to tokens to a resolved tree.
#include "program.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <set>

namespace script
{

namespace
{

enum Keyword {
#define RESERVED(name) kw##name,
#define CONTEXTUAL(name)
#include "../keywords.inc"
#undef RESERVED
#undef CONTEXTUAL
    kKeywordCount
};

const char* const kKeywordNames[] = {
#define RESERVED(name) #name,
#define CONTEXTUAL(name)
#include "../keywords.inc"
#undef RESERVED
#undef CONTEXTUAL
};

enum TokenKind { tEnd, tNewline, tName, tKeyword, tNumber, tString, tSymbol };

struct Token {
    TokenKind kind;
    int line;
    std::string text;  // names, strings, symbols ("<=", "(", ...)
    int keyword = -1;
    Value number;
};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = (char)tolower((unsigned char)c);
    return text;
}

[[noreturn]] void Error(int line, const std::string& text)
{
    throw CompileError{line, text};
}

int FindKeyword(const std::string& word)
{
    for (int k = 0; k < kKeywordCount; ++k)
        if (_stricmp(kKeywordNames[k], word.c_str()) == 0)
            return k;
    return -1;
}

std::vector<Token> Tokenize(const std::string& source)
{
    std::vector<Token> tokens;
    int line = 1;
    size_t at = 0, n = source.size();
    auto push = [&](TokenKind kind, std::string text) {
        Token t{kind, line, std::move(text)};
        tokens.push_back(std::move(t));
        return &tokens.back();
    };
    while (at < n) {
        char c = source[at];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++at;
        } else if (c == '\n') {
            push(tNewline, "");
            ++line;
            ++at;
        } else if (c == '\'') {
            while (at < n && source[at] != '\n')
                ++at;
        } else if (c == '"') {
            std::string text;
            ++at;
            for (;;) {
                if (at >= n || source[at] == '\n')
                    Error(line, "Unterminated string constant");
                if (source[at] == '"') {
                    if (at + 1 < n && source[at + 1] == '"') {
                        text += '"';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                text += source[at++];
            }
            push(tString, text);
        } else if (isdigit((unsigned char)c) || (c == '.' && at + 1 < n && isdigit((unsigned char)source[at + 1])) ||
                   (c == '&' && at + 1 < n && (source[at + 1] == 'H' || source[at + 1] == 'h'))) {
            Token* t = push(tNumber, "");
            if (c == '&') {
                at += 2;
                size_t start = at;
                while (at < n && isxdigit((unsigned char)source[at]))
                    ++at;
                if (at == start)
                    Error(line, "Expected hexadecimal digits");
                unsigned long long v = strtoull(source.substr(start, at - start).c_str(), NULL, 16);
                if (at < n && source[at] == '&')
                    ++at;
                long value = (long)(unsigned long)v;
                t->number = v <= 0x7FFF ? Value::Int(value, kInteger) : Value::Int(value);
            } else {
                size_t start = at;
                bool real = false;
                while (at < n && isdigit((unsigned char)source[at]))
                    ++at;
                if (at < n && source[at] == '.') {
                    real = true;
                    ++at;
                    while (at < n && isdigit((unsigned char)source[at]))
                        ++at;
                }
                if (at < n && (source[at] == 'e' || source[at] == 'E')) {
                    size_t mark = at++;
                    if (at < n && (source[at] == '+' || source[at] == '-'))
                        ++at;
                    if (at < n && isdigit((unsigned char)source[at])) {
                        real = true;
                        while (at < n && isdigit((unsigned char)source[at]))
                            ++at;
                    } else {
                        at = mark;
                    }
                }
                double d = strtod(source.substr(start, at - start).c_str(), NULL);
                if (!real && d <= 32767)
                    t->number = Value::Int((long)d, kInteger);
                else if (!real && d <= 2147483647.0)
                    t->number = Value::Int((long)d);
                else
                    t->number = Value::Real(d);
            }
        } else if (isalpha((unsigned char)c) || c == '_') {
            size_t start = at;
            while (at < n && (isalnum((unsigned char)source[at]) || source[at] == '_'))
                ++at;
            std::string word = source.substr(start, at - start);
            if (word == "_") {
                // A continued line: the line break does not end the statement.
                while (at < n && (source[at] == ' ' || source[at] == '\t' || source[at] == '\r'))
                    ++at;
                if (at < n && source[at] == '\n') {
                    ++line;
                    ++at;
                }
                continue;
            }
            int keyword = FindKeyword(word);
            if (keyword == kwRem) {
                while (at < n && source[at] != '\n')
                    ++at;
                continue;
            }
            // Type characters of names are accepted and ignored.
            if (at < n && strchr("$%&!#", source[at]) && keyword < 0 &&
                (at + 1 >= n || !isalnum((unsigned char)source[at + 1])) &&
                !(source[at] == '&' && at + 1 < n && source[at + 1] == ' '))
                ++at;
            Token* t = push(keyword >= 0 ? tKeyword : tName, word);
            t->keyword = keyword;
        } else {
            static const char* const pairs[] = {"<=", ">=", "<>"};
            std::string symbol(1, c);
            for (const char* pair : pairs)
                if (source.compare(at, 2, pair) == 0)
                    symbol = pair;
            if (!strchr("+-*/\\^&=<>(),.:;#", c))
                Error(line, std::string("Invalid character '") + c + "'");
            at += symbol.size();
            push(tSymbol, symbol);
        }
    }
    push(tNewline, "");
    push(tEnd, "");
    return tokens;
}

// Binary operators by precedence, loosest first; symbols or keywords.
struct OperatorLevel {
    struct Entry {
        const char* text;
        BinaryOp op;
    } entries[7];
};
const OperatorLevel kOperatorLevels[] = {
    {{{"Imp", kImp}}},
    {{{"Eqv", kEqv}}},
    {{{"Xor", kXor}}},
    {{{"Or", kOr}}},
    {{{"And", kAnd}}},
    {{{"=", kEqual}, {"<>", kNotEqual}, {"<=", kLessEqual}, {">=", kGreaterEqual}, {"<", kLess},
      {">", kGreater}, {"Is", kIs}}},
    {{{"&", kConcat}}},
    {{{"+", kAdd}, {"-", kSubtract}}},
    {{{"Mod", kModulo}}},
    {{{"\\", kIntDivide}}},
    {{{"*", kMultiply}, {"/", kDivide}}},
};
const size_t kOperatorLevelCount = sizeof kOperatorLevels / sizeof kOperatorLevels[0];
const size_t kComparisonLevel = 5;

// Names of a scope: the script's globals or a procedure's locals.
struct Symbol {
    int slot;
    VType declared;
    bool isArray;
    bool isConstant;
    Value constant;
};

struct Scope {
    Procedure* procedure = nullptr;  // null: the script level
    std::map<std::string, Symbol> symbols;
    std::vector<VType>* types;
    std::vector<bool>* arrays;
    std::set<std::string> assigned;  // names assigned without declaration
};

struct PendingName {
    NameExpr* expr;
    Scope* scope;
    bool assigned;  // the target of an assignment
};

struct PendingGoTo {
    std::string label;
    int line;
    std::vector<Block*> enclosing;
};

class Parser
{
public:
    explicit Parser(const std::string& source) : m_tokens(Tokenize(source)) {}

    std::unique_ptr<Program> Parse()
    {
        m_program.reset(new Program);
        m_global.types = &m_program->globalTypes;
        m_global.arrays = &m_program->globalIsArray;
        DeclareProcedures();
        m_scope = &m_global;
        ParseBlock(m_program->main, {});
        if (!At(tEnd))
            Error(Peek().line, "Expected statement");
        Resolve();
        return std::move(m_program);
    }

private:
    // ---- tokens
    const Token& Peek(int ahead = 0) const
    {
        size_t i = m_at + ahead;
        return m_tokens[i < m_tokens.size() ? i : m_tokens.size() - 1];
    }
    bool At(TokenKind kind) const { return Peek().kind == kind; }
    bool AtKeyword(int keyword, int ahead = 0) const
    {
        return Peek(ahead).kind == tKeyword && Peek(ahead).keyword == keyword;
    }
    bool AtSymbol(const char* symbol, int ahead = 0) const
    {
        return Peek(ahead).kind == tSymbol && Peek(ahead).text == symbol;
    }
    // A name token that reads as the contextual word.
    bool AtWord(const char* word, int ahead = 0) const
    {
        return Peek(ahead).kind == tName && _stricmp(Peek(ahead).text.c_str(), word) == 0;
    }
    const Token& Take() { return m_tokens[m_at++]; }
    bool TakeKeyword(int keyword)
    {
        if (!AtKeyword(keyword))
            return false;
        ++m_at;
        return true;
    }
    bool TakeSymbol(const char* symbol)
    {
        if (!AtSymbol(symbol))
            return false;
        ++m_at;
        return true;
    }
    bool TakeWord(const char* word)
    {
        if (!AtWord(word))
            return false;
        ++m_at;
        return true;
    }
    void ExpectKeyword(int keyword)
    {
        if (!TakeKeyword(keyword))
            Error(Peek().line, std::string("Expected '") + kKeywordNames[keyword] + "'");
    }
    void ExpectSymbol(const char* symbol)
    {
        if (!TakeSymbol(symbol))
            Error(Peek().line, std::string("Expected '") + symbol + "'");
    }
    std::string ExpectName()
    {
        if (!At(tName))
            Error(Peek().line, "Expected identifier");
        return Take().text;
    }
    bool AtStatementEnd() const
    {
        return At(tNewline) || At(tEnd) || AtSymbol(":") || (m_singleLineIf && AtKeyword(kwElse));
    }
    void EndStatement()
    {
        if (!AtStatementEnd())
            Error(Peek().line, "Expected end of statement");
    }

    // ---- declarations
    void DeclareProcedures()
    {
        for (size_t i = 0; i + 1 < m_tokens.size(); ++i) {
            const Token& t = m_tokens[i];
            bool startsLine = i == 0 || m_tokens[i - 1].kind == tNewline;
            if (!startsLine || t.kind != tKeyword)
                continue;
            size_t k = i;
            if (t.keyword == kwPrivate || t.keyword == kwPublic)
                ++k;
            if (m_tokens[k].kind != tKeyword ||
                (m_tokens[k].keyword != kwSub && m_tokens[k].keyword != kwFunction))
                continue;
            const Token& name = m_tokens[k + 1];
            if (name.kind != tName)
                continue;
            std::string key = Lower(name.text);
            if (m_procedures.count(key))
                Error(name.line, "Name redefined: '" + name.text + "'");
            Procedure* p = new Procedure;
            p->name = name.text;
            p->isFunction = m_tokens[k].keyword == kwFunction;
            p->line = name.line;
            m_program->procedures.emplace_back(p);
            m_procedures[key] = p;
        }
    }

    Symbol& Declare(Scope& scope, const std::string& name, VType declared, bool isArray, int line)
    {
        std::string key = Lower(name);
        if (scope.symbols.count(key))
            Error(line, "Name redefined: '" + name + "'");
        if (!scope.procedure && m_procedures.count(key))
            Error(line, "Name redefined: '" + name + "'");
        Symbol symbol{(int)scope.types->size(), declared, isArray, false, Value()};
        scope.types->push_back(isArray ? kVariant : declared);
        scope.arrays->push_back(isArray);
        return scope.symbols[key] = symbol;
    }

    VType ParseAsType()
    {
        if (!TakeKeyword(kwAs))
            return kVariant;
        static const struct {
            const char* name;
            VType type;
        } types[] = {{"Integer", kInteger}, {"Long", kLong},       {"Single", kSingle},
                     {"Double", kDouble},   {"String", kString},   {"Boolean", kBoolean},
                     {"Date", kDate},       {"Object", kObject},   {"Variant", kVariant}};
        for (const auto& t : types)
            if (TakeWord(t.name))
                return t.type;
        Error(Peek().line, "Expected type name");
    }

    // ---- blocks
    // Parses statements until one of the enders (not consumed) or the end.
    void ParseBlock(Block& block, std::vector<int> enders)
    {
        m_blocks.push_back(&block);
        for (;;) {
            while (At(tNewline) || AtSymbol(":"))
                Take();
            if (At(tEnd))
                break;
            if (Peek().kind == tKeyword) {
                int k = Peek().keyword;
                bool ends = false;
                for (int e : enders)
                    ends = ends || e == k;
                if (ends)
                    break;
            }
            // A label: a name followed by ':' at the start of a line.
            if (At(tName) && AtSymbol(":", 1) && (m_at == 0 || Peek(-1).kind == tNewline)) {
                std::string key = Lower(Take().text);
                Take();
                if (block.labels.count(key))
                    Error(Peek(-1).line, "Label redefined");
                block.labels[key] = block.statements.size();
                m_procedureLabels.insert(key);
                continue;
            }
            StmtPtr statement = ParseStatement();
            if (statement)
                block.statements.push_back(std::move(statement));
            if (!AtStatementEnd())
                Error(Peek().line, "Expected end of statement");
        }
        m_blocks.pop_back();
    }

    StmtPtr ParseStatement()
    {
        const Token& t = Peek();
        int line = t.line;
        StmtPtr result;
        if (t.kind == tKeyword) {
            switch (t.keyword) {
            case kwPrivate:
            case kwPublic:
                Take();
                if (AtKeyword(kwSub) || AtKeyword(kwFunction))
                    return ParseProcedure();
                return ParseDim(false);
            case kwDim:
                Take();
                return ParseDim(false);
            case kwReDim:
                Take();
                return ParseDim(true);
            case kwConst:
                Take();
                ParseConst();
                return nullptr;
            case kwSub:
            case kwFunction:
                return ParseProcedure();
            case kwSet:
            case kwLet: {
                bool isSet = Take().keyword == kwSet;
                return ParseAssignmentOrCall(isSet, true);
            }
            case kwIf:
                return ParseIf();
            case kwSelect:
                return ParseSelect();
            case kwFor:
                return ParseFor();
            case kwDo:
            case kwWhile:
                return ParseLoop();
            case kwExit:
                return ParseExit();
            case kwGoTo: {
                Take();
                auto* s = new FlowStmt;
                s->line = line;
                s->flow = kGoTo;
                s->label = Lower(ExpectName());
                m_gotos.push_back(PendingGoTo{s->label, line, m_blocks});
                return StmtPtr(s);
            }
            case kwOn:
                return ParseOnError();
            case kwCall: {
                Take();
                auto* s = new ExprStmt;
                s->line = line;
                s->call = ParsePostfix();
                return StmtPtr(s);
            }
            case kwOption:
                Take();
                if (!TakeWord("Explicit"))
                    Error(line, "Expected 'Explicit'");
                if (m_scope != &m_global || !m_program->main.statements.empty())
                    Error(line, "Option Explicit must come first");
                m_explicit = true;
                return nullptr;
            case kwErase: {
                Take();
                auto* s = new EraseStmt;
                s->line = line;
                s->target = ParseVariable();
                return StmtPtr(s);
            }
            case kwEnd:
                if (AtKeyword(kwIf, 1) || AtKeyword(kwSelect, 1) || AtKeyword(kwSub, 1) ||
                    AtKeyword(kwFunction, 1))
                    Error(line, "Unexpected 'End'");
                Take();
                {
                    // End alone ends the script.
                    auto* s = new FlowStmt;
                    s->line = line;
                    s->flow = kExitProcedure;
                    s->label = "\x01end";
                    return StmtPtr(s);
                }
            default:
                Error(line, std::string("Unexpected '") + t.text + "'");
            }
        }
        if (t.kind == tName && !AtSymbol("=", 1) && !AtSymbol(".", 1)) {
            if (AtWord("Print"))
                return ParsePrint();
            if (AtWord("Open") && !AtSymbol("(", 1))
                return ParseOpen();
            if (AtWord("Close") && !AtSymbol("(", 1))
                return ParseClose();
            if (AtWord("Line") && AtWord("Input", 1))
                return ParseLineInput();
        }
        if (t.kind == tName)
            return ParseAssignmentOrCall(false, false);
        Error(line, "Expected statement");
    }

    // A new statement on the line of its first token, which is taken.
    template <class T>
    T* StartStatement(StmtPtr& owner)
    {
        auto* s = new T;
        owner.reset(s);
        s->line = Take().line;
        return s;
    }

    // Declares the names; each array with bounds becomes a statement of
    // the current block, made when it runs.
    StmtPtr ParseDim(bool redim)
    {
        bool preserve = redim && TakeWord("Preserve");
        do {
            int nameLine = Peek().line;
            std::string name = ExpectName();
            bool isArray = false;
            ExprList bounds;
            if (TakeSymbol("(")) {
                isArray = true;
                if (!AtSymbol(")")) {
                    do {
                        bounds.push_back(ParseExpression());
                    } while (TakeSymbol(","));
                }
                ExpectSymbol(")");
            }
            VType declared = ParseAsType();
            const Symbol* existing = redim ? Lookup(name) : nullptr;
            if (!redim)
                Declare(*m_scope, name, declared, isArray, nameLine);
            else if (!existing)
                Declare(*m_scope, name, declared, true, nameLine);
            else if (declared == kVariant)
                declared = existing->declared;  // ReDim keeps the declared type
            if (redim && bounds.empty())
                Error(nameLine, "Expected array bounds");
            if (!bounds.empty()) {
                auto* s = new DimStmt;
                s->line = nameLine;
                s->target = MakeName(name, nameLine);
                s->upper = std::move(bounds);
                s->elementType = declared;
                s->redim = redim;
                s->preserve = preserve;
                m_blocks.back()->statements.emplace_back(s);
            }
        } while (TakeSymbol(","));
        return nullptr;
    }

    const Symbol* Lookup(const std::string& name) const
    {
        std::string key = Lower(name);
        auto found = m_scope->symbols.find(key);
        if (found != m_scope->symbols.end())
            return &found->second;
        auto global = m_global.symbols.find(key);
        return global != m_global.symbols.end() ? &global->second : nullptr;
    }

    void ParseConst()
    {
        do {
            int line = Peek().line;
            std::string name = ExpectName();
            VType declared = ParseAsType();
            ExpectSymbol("=");
            // The expression's names are folded here, never resolved later.
            size_t pending = m_pending.size();
            ExprPtr e = ParseExpression();
            Value v = FoldConstant(e.get());
            m_pending.resize(pending);
            Symbol& s = Declare(*m_scope, name, declared, false, line);
            s.isConstant = true;
            s.constant = declared == kVariant ? v : Coerce(v, declared);
        } while (TakeSymbol(","));
    }

    // The value of a constant expression: literals, constants and operators.
    Value FoldConstant(Expr* e)
    {
        if (auto* l = dynamic_cast<Literal*>(e))
            return l->value;
        if (auto* u = dynamic_cast<UnaryExpr*>(e)) {
            Value v = FoldConstant(u->operand.get());
            return u->negate ? Negate(v) : Not(v);
        }
        if (auto* b = dynamic_cast<BinaryExpr*>(e)) {
            if (b->op == kIs)
                Error(e->line, "Expected constant");
            try {
                return Binary(b->op, FoldConstant(b->left.get()), FoldConstant(b->right.get()));
            } catch (ScriptError& error) {
                Error(e->line, error.description);
            }
        }
        if (auto* n = dynamic_cast<NameExpr*>(e)) {
            const Symbol* s = Lookup(n->name);
            if (s && s->isConstant && n->args.empty()) {
                n->kind = kConstantName;  // resolved here; Resolve leaves it
                return s->constant;
            }
        }
        Error(e->line, "Expected constant");
    }

    StmtPtr ParseProcedure()
    {
        int line = Peek().line;
        if (m_scope != &m_global || m_blocks.size() != 1)
            Error(line, "Sub or Function inside a block or procedure");
        bool isFunction = Take().keyword == kwFunction;
        std::string name = ExpectName();
        Procedure* p = m_procedures[Lower(name)];
        Scope* scope = new Scope;
        m_scopes.emplace_back(scope);
        scope->procedure = p;
        scope->types = &p->slotTypes;
        scope->arrays = &p->slotIsArray;
        p->slotTypes.push_back(kVariant);  // slot 0: the function's result
        p->slotIsArray.push_back(false);
        if (TakeSymbol("(")) {
            if (!AtSymbol(")")) {
                do {
                    Parameter parameter;
                    if (TakeKeyword(kwByVal))
                        parameter.byRef = false;
                    else
                        TakeKeyword(kwByRef);
                    int nameLine = Peek().line;
                    parameter.name = ExpectName();
                    bool isArray = false;
                    if (TakeSymbol("(")) {
                        ExpectSymbol(")");
                        isArray = true;
                    }
                    parameter.declared = ParseAsType();
                    Declare(*scope, parameter.name, isArray ? kVariant : parameter.declared,
                            false, nameLine);
                    p->parameters.push_back(parameter);
                } while (TakeSymbol(","));
            }
            ExpectSymbol(")");
        }
        if (isFunction)
            ParseAsType();
        Scope* outer = m_scope;
        m_scope = scope;
        std::set<std::string> outerLabels;
        outerLabels.swap(m_procedureLabels);
        ParseBlock(p->body, {kwEnd});
        if (!TakeKeyword(kwEnd) || !TakeKeyword(isFunction ? kwFunction : kwSub))
            Error(Peek().line, isFunction ? "Expected 'End Function'" : "Expected 'End Sub'");
        CheckOnErrorLabels();
        outerLabels.swap(m_procedureLabels);
        m_scope = outer;
        return nullptr;
    }

    StmtPtr ParseAssignmentOrCall(bool isSet, bool mustAssign)
    {
        int line = Peek().line;
        ExprPtr target = ParsePostfix();
        if (TakeSymbol("=")) {
            auto* s = new AssignStmt;
            s->line = line;
            s->isSet = isSet;
            s->value = ParseExpression();
            if (auto* name = dynamic_cast<NameExpr*>(target.get())) {
                MarkAssigned(name);
                auto* concat = dynamic_cast<BinaryExpr*>(s->value.get());
                auto* first = concat && concat->op == kConcat
                                  ? dynamic_cast<NameExpr*>(concat->left.get())
                                  : nullptr;
                s->appends = !isSet && first && !name->parens && !first->parens &&
                             _stricmp(first->name.c_str(), name->name.c_str()) == 0;
            }
            s->target = std::move(target);
            return StmtPtr(s);
        }
        if (mustAssign)
            Error(Peek().line, "Expected '='");
        // A call: arguments without parentheses may follow.
        ExprList* args = nullptr;
        if (auto* n = dynamic_cast<NameExpr*>(target.get()))
            args = &n->args;
        else if (auto* m = dynamic_cast<MemberExpr*>(target.get()))
            args = &m->args;
        if (!AtStatementEnd()) {
            if (!args)
                Error(line, "Expected statement");
            bool continues = AtSymbol(",");
            bool parenthesisedFirst = !args->empty();
            if (parenthesisedFirst && !continues)
                Error(Peek().line, "Expected end of statement");
            if (continues)
                Take();
            do {
                args->push_back(ParseExpression());
            } while (TakeSymbol(","));
        }
        auto* s = new ExprStmt;
        s->line = line;
        s->call = std::move(target);
        return StmtPtr(s);
    }

    void MarkAssigned(NameExpr* name)
    {
        if (!m_pending.empty() && m_pending.back().expr == name)
            m_pending.back().assigned = true;
        m_scope->assigned.insert(Lower(name->name));
    }

    StmtPtr ParseIf()
    {
        StmtPtr owner;
        auto* s = StartStatement<IfStmt>(owner);
        ExprPtr condition = ParseExpression();
        ExpectKeyword(kwThen);
        if (!At(tNewline) && !AtSymbol(":") ) {
            // One line: If c Then a : b Else c : d
            bool outer = m_singleLineIf;
            m_singleLineIf = true;
            s->branches.emplace_back(std::move(condition), Block());
            ParseLineStatements(s->branches.back().second);
            if (TakeKeyword(kwElse))
                ParseLineStatements(s->otherwise);
            m_singleLineIf = outer;
            return owner;
        }
        s->branches.emplace_back(std::move(condition), Block());
        ParseBlock(s->branches.back().second, {kwElseIf, kwElse, kwEnd});
        for (;;) {
            if (TakeKeyword(kwElseIf)) {
                ExprPtr next = ParseExpression();
                ExpectKeyword(kwThen);
                s->branches.emplace_back(std::move(next), Block());
                ParseBlock(s->branches.back().second, {kwElseIf, kwElse, kwEnd});
            } else if (TakeKeyword(kwElse)) {
                ParseBlock(s->otherwise, {kwEnd});
            } else {
                break;
            }
        }
        if (!TakeKeyword(kwEnd) || !TakeKeyword(kwIf))
            Error(Peek().line, "Expected 'End If'");
        return owner;
    }

    void ParseLineStatements(Block& block)
    {
        m_blocks.push_back(&block);
        for (;;) {
            StmtPtr statement = ParseStatement();
            if (statement)
                block.statements.push_back(std::move(statement));
            if (!TakeSymbol(":"))
                break;
            if (At(tNewline) || AtKeyword(kwElse))
                break;
        }
        m_blocks.pop_back();
        if (!At(tNewline) && !At(tEnd) && !AtKeyword(kwElse))
            Error(Peek().line, "Expected end of statement");
    }

    StmtPtr ParseSelect()
    {
        int line = Take().line;
        ExpectKeyword(kwCase);
        auto* s = new SelectStmt;
        StmtPtr owner(s);
        s->line = line;
        s->subject = ParseExpression();
        while (At(tNewline) || AtSymbol(":"))
            Take();
        while (TakeKeyword(kwCase)) {
            SelectStmt::Case c;
            if (!TakeKeyword(kwElse)) {
                do {
                    CaseTest test;
                    if (TakeKeyword(kwIs)) {
                        test.kind = CaseTest::kIs;
                        test.op = ParseComparisonOperator();
                        test.first = ParseExpression();
                    } else {
                        test.first = ParseExpression();
                        if (TakeKeyword(kwTo)) {
                            test.kind = CaseTest::kRange;
                            test.last = ParseExpression();
                        }
                    }
                    c.tests.push_back(std::move(test));
                } while (TakeSymbol(","));
            }
            ParseBlock(c.body, {kwCase, kwEnd});
            s->cases.push_back(std::move(c));
        }
        if (!TakeKeyword(kwEnd) || !TakeKeyword(kwSelect))
            Error(Peek().line, "Expected 'End Select'");
        return owner;
    }

    BinaryOp ParseComparisonOperator()
    {
        BinaryOp op;
        if (!AtKeyword(kwIs) && TakeOperator(kOperatorLevels[kComparisonLevel], &op))
            return op;
        Error(Peek().line, "Expected comparison operator");
    }

    StmtPtr ParseFor()
    {
        int line = Take().line;
        if (TakeKeyword(kwEach)) {
            auto* s = new ForEachStmt;
            StmtPtr owner(s);
            s->line = line;
            s->element = ParseVariable();
            MarkAssigned(static_cast<NameExpr*>(s->element.get()));
            ExpectKeyword(kwIn);
            s->group = ParseExpression();
            ParseBlock(s->body, {kwNext});
            ExpectKeyword(kwNext);
            if (At(tName))
                Take();
            return owner;
        }
        auto* s = new ForStmt;
        StmtPtr owner(s);
        s->line = line;
        s->counter = ParseVariable();
        MarkAssigned(static_cast<NameExpr*>(s->counter.get()));
        ExpectSymbol("=");
        s->from = ParseExpression();
        ExpectKeyword(kwTo);
        s->to = ParseExpression();
        if (TakeWord("Step"))
            s->step = ParseExpression();
        ParseBlock(s->body, {kwNext});
        ExpectKeyword(kwNext);
        if (At(tName))
            Take();
        return owner;
    }

    StmtPtr ParseLoop()
    {
        const Token& first = Take();
        auto* s = new LoopStmt;
        StmtPtr owner(s);
        s->line = first.line;
        if (first.keyword == kwWhile) {
            s->condition = ParseExpression();
            ParseBlock(s->body, {kwWend});
            ExpectKeyword(kwWend);
            return owner;
        }
        if (AtKeyword(kwWhile) || AtKeyword(kwUntil)) {
            s->until = Take().keyword == kwUntil;
            s->condition = ParseExpression();
        }
        ParseBlock(s->body, {kwLoop});
        ExpectKeyword(kwLoop);
        if (AtKeyword(kwWhile) || AtKeyword(kwUntil)) {
            if (s->condition)
                Error(Peek().line, "Loop condition given twice");
            s->until = Take().keyword == kwUntil;
            s->condition = ParseExpression();
            s->testAtEnd = true;
        }
        return owner;
    }

    StmtPtr ParseExit()
    {
        StmtPtr owner;
        auto* s = StartStatement<FlowStmt>(owner);
        if (TakeKeyword(kwDo))
            s->flow = kExitDo;
        else if (TakeKeyword(kwFor))
            s->flow = kExitFor;
        else if (TakeKeyword(kwSub) || TakeKeyword(kwFunction))
            s->flow = kExitProcedure;
        else
            Error(s->line, "Expected 'Do', 'For', 'Sub' or 'Function'");
        return owner;
    }

    StmtPtr ParseOnError()
    {
        int line = Take().line;
        if (!TakeWord("Error"))
            Error(line, "Expected 'Error'");
        auto* s = new OnErrorStmt;
        StmtPtr owner(s);
        s->line = line;
        if (TakeWord("Resume")) {
            ExpectKeyword(kwNext);
            s->mode = OnErrorStmt::kResumeNext;
        } else {
            ExpectKeyword(kwGoTo);
            if (At(tNumber) && Peek().number.type != kDouble && Peek().number.i == 0) {
                Take();
                s->mode = OnErrorStmt::kOff;
            } else {
                s->mode = OnErrorStmt::kGoToLabel;
                s->label = Lower(ExpectName());
                m_onErrorLabels.push_back(std::make_pair(s->label, line));
            }
        }
        return owner;
    }

    void CheckOnErrorLabels()
    {
        Block& top = m_scope->procedure ? m_scope->procedure->body : m_program->main;
        for (auto& label : m_onErrorLabels)
            if (!top.labels.count(label.first))
                Error(label.second, "Label not defined: '" + label.first + "'");
        m_onErrorLabels.clear();
    }

    StmtPtr ParsePrint()
    {
        StmtPtr owner;
        auto* s = StartStatement<PrintStmt>(owner);
        if (TakeSymbol("#")) {
            s->file = ParseExpression();
            if (!AtStatementEnd())
                ExpectSymbol(",");
        }
        while (!AtStatementEnd()) {
            s->items.push_back(ParseExpression());
            char separator = 0;
            if (TakeSymbol(";"))
                separator = ';';
            else if (TakeSymbol(","))
                separator = ',';
            s->separators.push_back(separator);
            if (!separator)
                break;
        }
        return owner;
    }

    StmtPtr ParseOpen()
    {
        StmtPtr owner;
        auto* s = StartStatement<OpenStmt>(owner);
        s->path = ParseExpression();
        ExpectKeyword(kwFor);
        if (TakeWord("Input"))
            s->mode = 'r';
        else if (TakeWord("Output"))
            s->mode = 'w';
        else if (TakeWord("Append"))
            s->mode = 'a';
        else
            Error(Peek().line, "Expected 'Input', 'Output' or 'Append'");
        ExpectKeyword(kwAs);
        TakeSymbol("#");
        s->number = ParseExpression();
        return owner;
    }

    StmtPtr ParseClose()
    {
        StmtPtr owner;
        auto* s = StartStatement<CloseStmt>(owner);
        while (!AtStatementEnd()) {
            TakeSymbol("#");
            s->numbers.push_back(ParseExpression());
            if (!TakeSymbol(","))
                break;
        }
        return owner;
    }

    StmtPtr ParseLineInput()
    {
        int line = Take().line;
        Take();
        auto* s = new LineInputStmt;
        StmtPtr owner(s);
        s->line = line;
        ExpectSymbol("#");
        s->number = ParseExpression();
        ExpectSymbol(",");
        s->target = ParseVariable();
        MarkAssigned(static_cast<NameExpr*>(s->target.get()));
        return owner;
    }

    // A plain variable name, without indexes.
    ExprPtr ParseVariable()
    {
        int line = Peek().line;
        std::string name = ExpectName();
        if (AtSymbol("("))
            Error(line, "Expected variable");
        return MakeName(name, line);
    }

    ExprPtr MakeName(const std::string& name, int line)
    {
        auto* n = new NameExpr;
        n->line = line;
        n->name = name;
        if (_stricmp(name.c_str(), "Err") == 0)
            n->kind = kErrName;
        m_pending.push_back(PendingName{n, m_scope, false});
        return ExprPtr(n);
    }

    // ---- expressions
    ExprPtr ParseExpression() { return ParseLevel(0); }

    ExprPtr MakeBinary(BinaryOp op, ExprPtr left, ExprPtr right, int line)
    {
        auto* b = new BinaryExpr;
        b->line = line;
        b->op = op;
        b->left = std::move(left);
        b->right = std::move(right);
        return ExprPtr(b);
    }

    // The operator of a level at the current token, taken; false when none.
    bool TakeOperator(const OperatorLevel& level, BinaryOp* op)
    {
        const Token& t = Peek();
        for (const OperatorLevel::Entry& entry : level.entries) {
            if (!entry.text)
                break;
            bool match = t.kind == tSymbol ? t.text == entry.text
                                           : t.kind == tKeyword && _stricmp(t.text.c_str(), entry.text) == 0;
            if (match) {
                Take();
                *op = entry.op;
                return true;
            }
        }
        return false;
    }

    // Binary operators from the loosest level down; Not stands before the
    // comparisons, unary minus and ^ below the tightest level.
    ExprPtr ParseLevel(size_t level)
    {
        if (level == kOperatorLevelCount)
            return ParseUnary();
        if (level == kComparisonLevel && AtKeyword(kwNot)) {
            auto* u = new UnaryExpr;
            u->line = Take().line;
            u->negate = false;
            u->operand = ParseLevel(level);
            return ExprPtr(u);
        }
        ExprPtr e = ParseLevel(level + 1);
        BinaryOp op;
        for (;;) {
            int line = Peek().line;
            if (!TakeOperator(kOperatorLevels[level], &op))
                return e;
            e = MakeBinary(op, std::move(e), ParseLevel(level + 1), line);
        }
    }

    ExprPtr ParseUnary()
    {
        if (AtSymbol("-")) {
            auto* u = new UnaryExpr;
            u->line = Take().line;
            u->negate = true;
            u->operand = ParseUnary();
            // A negated literal is a literal.
            if (auto* l = dynamic_cast<Literal*>(u->operand.get())) {
                Value v = Negate(l->value);
                l->value = v;
                ExprPtr operand = std::move(u->operand);
                delete u;
                return operand;
            }
            return ExprPtr(u);
        }
        if (TakeSymbol("+"))
            return ParseUnary();
        return ParsePower();
    }
    ExprPtr ParsePower()
    {
        ExprPtr e = ParsePostfix();
        while (AtSymbol("^")) {
            int line = Take().line;
            ExprPtr right;
            if (AtSymbol("-"))
                right = ParseUnary();
            else
                right = ParsePostfix();
            e = MakeBinary(kPower, std::move(e), std::move(right), line);
        }
        return e;
    }

    void ParseArguments(ExprList& args)
    {
        if (!AtSymbol(")")) {
            do {
                args.push_back(ParseExpression());
            } while (TakeSymbol(","));
        }
        ExpectSymbol(")");
    }

    ExprPtr ParsePostfix()
    {
        ExprPtr e = ParsePrimary();
        while (AtSymbol(".")) {
            Take();
            auto* m = new MemberExpr;
            m->line = Peek().line;
            if (At(tName) || At(tKeyword))
                m->name = Take().text;
            else
                Error(m->line, "Expected member name");
            auto* base = dynamic_cast<NameExpr*>(e.get());
            m->ofErr = base && base->kind == kErrName && base->args.empty();
            m->object = std::move(e);
            if (TakeSymbol("(")) {
                m->parens = true;
                ParseArguments(m->args);
            }
            e.reset(m);
        }
        return e;
    }

    ExprPtr ParsePrimary()
    {
        const Token& t = Peek();
        int line = t.line;
        auto literal = [&](Value v) {
            auto* l = new Literal;
            l->line = line;
            l->value = std::move(v);
            return ExprPtr(l);
        };
        switch (t.kind) {
        case tNumber:
            Take();
            return literal(t.number);
        case tString:
            Take();
            return literal(Value::Str(t.text));
        case tKeyword:
            switch (t.keyword) {
            case kwTrue:
                Take();
                return literal(Value::Bool(true));
            case kwFalse:
                Take();
                return literal(Value::Bool(false));
            case kwEmpty:
                Take();
                return literal(Value());
            case kwNull:
                Take();
                return literal(Value::Null());
            case kwNothing:
                Take();
                return literal(Value::Nothing());
            default:
                Error(line, std::string("Unexpected '") + t.text + "'");
            }
        case tSymbol:
            if (t.text == "(") {
                Take();
                ExprPtr e = ParseExpression();
                ExpectSymbol(")");
                return e;
            }
            Error(line, "Expected expression");
        case tName: {
            Take();
            ExprPtr e = MakeName(t.text, line);
            auto* n = static_cast<NameExpr*>(e.get());
            if (AtSymbol("(")) {
                Take();
                n->parens = true;
                ParseArguments(n->args);
            }
            return e;
        }
        default:
            Error(line, "Expected expression");
        }
    }

    // ---- resolution
    void Resolve()
    {
        for (const PendingGoTo& g : m_gotos) {
            bool found = false;
            for (Block* b : g.enclosing)
                found = found || b->labels.count(g.label);
            if (!found)
                Error(g.line, "Label not defined: '" + g.label + "'");
        }
        m_scope = &m_global;
        CheckOnErrorLabels();
        for (PendingName& p : m_pending)
            ResolveName(p);
        // Variable names for EngineGetVariable.
        for (auto& s : m_global.symbols)
            if (!s.second.isConstant)
                m_program->globalSlots[s.first] = s.second.slot;
        for (auto& scope : m_scopes)
            for (auto& s : scope->symbols)
                if (!s.second.isConstant)
                    m_program->localSlots[scope->procedure][s.first] = s.second.slot;
    }

    void ResolveName(PendingName& p)
    {
        NameExpr* n = p.expr;
        if (n->kind != kUnresolved)
            return;
        std::string key = Lower(n->name);
        Scope& scope = *p.scope;
        Procedure* self = scope.procedure;
        // Inside a function, its own name without arguments is its result.
        if (self && self->isFunction && key == Lower(self->name) && !n->parens && n->args.empty()) {
            n->kind = kLocalName;
            n->slot = 0;
            return;
        }
        auto take = [&](const Symbol& s, NameKind kind) {
            if (s.isConstant) {
                n->kind = kConstantName;
                n->constant = s.constant;
                if (p.assigned)
                    Error(n->line, "Illegal assignment: '" + n->name + "'");
            } else {
                n->kind = kind;
                n->slot = s.slot;
                n->declared = s.declared;
            }
        };
        auto local = scope.symbols.find(key);
        if (local != scope.symbols.end())
            return take(local->second, scope.procedure ? kLocalName : kGlobalName);
        auto global = m_global.symbols.find(key);
        if (global != m_global.symbols.end())
            return take(global->second, kGlobalName);
        auto procedure = m_procedures.find(key);
        if (procedure != m_procedures.end()) {
            n->kind = kProcedureName;
            n->procedure = procedure->second;
            if (p.assigned)
                Error(n->line, "Illegal assignment: '" + n->name + "'");
            return;
        }
        if (!p.assigned) {
            if (const Builtin* b = FindBuiltin(n->name)) {
                n->kind = kBuiltinName;
                n->builtin = b;
                return;
            }
        }
        // Assigned somewhere in its scope: an implicit variable.
        if (scope.assigned.count(key) || m_global.assigned.count(key)) {
            if (m_explicit)
                Error(n->line, "Variable is undefined: '" + n->name + "'");
            Scope& owner = scope.assigned.count(key) ? scope : m_global;
            Symbol& s = Declare(owner, n->name, kVariant, false, n->line);
            return take(s, owner.procedure ? kLocalName : kGlobalName);
        }
        n->kind = kExtensionName;
    }

    std::vector<Token> m_tokens;
    size_t m_at = 0;
    std::unique_ptr<Program> m_program;
    Scope m_global;
    Scope* m_scope = nullptr;
    std::vector<std::unique_ptr<Scope>> m_scopes;
    std::map<std::string, Procedure*> m_procedures;
    std::vector<PendingName> m_pending;
    std::vector<PendingGoTo> m_gotos;
    std::vector<std::pair<std::string, int>> m_onErrorLabels;
    std::set<std::string> m_procedureLabels;
    std::vector<Block*> m_blocks;
    bool m_singleLineIf = false;
    bool m_explicit = false;
};

}  // namespace

std::unique_ptr<Program> Compile(const std::string& source)
{
    return Parser(source).Parse();
}

}  // namespace script
