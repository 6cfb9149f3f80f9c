// A compiled script: a tree of statements and expressions whose names are
// resolved to slots, procedures and built-in functions once, at compile
// time. Nodes execute themselves against an Interpreter.
#ifndef ENABLE40_PROGRAM_H
#define ENABLE40_PROGRAM_H

#include "value.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace script
{

class Interpreter;
struct Procedure;
struct Builtin;

struct Expr {
    int line = 0;
    virtual ~Expr() {}
    virtual Value Eval(Interpreter& in) = 0;
};
typedef std::unique_ptr<Expr> ExprPtr;
typedef std::vector<ExprPtr> ExprList;

struct Literal : Expr {
    Value value;
    Value Eval(Interpreter&) override { return value; }
};

struct BinaryExpr : Expr {
    BinaryOp op;
    ExprPtr left, right;
    Value Eval(Interpreter& in) override;
};

struct UnaryExpr : Expr {
    bool negate;  // else Not
    ExprPtr operand;
    Value Eval(Interpreter& in) override;
};

// What a name stands for once resolved.
enum NameKind {
    kUnresolved,
    kLocalName,      // slot in the procedure's frame
    kGlobalName,     // slot in the script's globals
    kConstantName,
    kProcedureName,
    kBuiltinName,
    kExtensionName,  // left to the extension call-back
    kErrName         // the Err object
};

// A name, with or without an argument list: a variable, an array element,
// a constant, a call of a procedure, built-in or extension function.
struct NameExpr : Expr {
    std::string name;  // as written
    ExprList args;
    bool parens = false;
    NameKind kind = kUnresolved;
    int slot = 0;
    VType declared = kVariant;
    Procedure* procedure = nullptr;
    const Builtin* builtin = nullptr;
    Value constant;
    Value Eval(Interpreter& in) override;
    // A plain variable: no arguments.
    bool IsVariable() const
    {
        return (kind == kLocalName || kind == kGlobalName) && !parens && args.empty();
    }
};

// object.Member[(args)]: a late-bound call, or a member of Err.
struct MemberExpr : Expr {
    ExprPtr object;
    std::string name;
    ExprList args;
    bool parens = false;
    bool ofErr = false;
    Value Eval(Interpreter& in) override;
};

// Control flow out of a statement.
enum Flow { kNext, kExitDo, kExitFor, kExitProcedure, kGoTo };

struct Stmt {
    int line = 0;
    virtual ~Stmt() {}
    virtual Flow Exec(Interpreter& in) = 0;
};
typedef std::unique_ptr<Stmt> StmtPtr;

struct Block {
    std::vector<StmtPtr> statements;
    std::map<std::string, size_t> labels;  // lower-case label -> statement index
    Flow Exec(Interpreter& in);
};

struct ExprStmt : Stmt {  // a call whose result is dropped
    ExprPtr call;
    Flow Exec(Interpreter& in) override;
};

struct AssignStmt : Stmt {
    ExprPtr target;
    ExprPtr value;
    bool isSet = false;
    bool appends = false;  // target = target & value, appended in place
    Flow Exec(Interpreter& in) override;
};

struct DimStmt : Stmt {  // an array with bounds, made when Dim or ReDim runs
    ExprPtr target;     // a NameExpr of the variable
    ExprList upper;     // upper bounds (lower bound 0)
    VType elementType = kVariant;
    bool redim = false;
    bool preserve = false;
    Flow Exec(Interpreter& in) override;
};

struct EraseStmt : Stmt {
    ExprPtr target;
    Flow Exec(Interpreter& in) override;
};

struct IfStmt : Stmt {
    std::vector<std::pair<ExprPtr, Block>> branches;
    Block otherwise;
    Flow Exec(Interpreter& in) override;
};

struct CaseTest {
    enum Kind { kValue, kRange, kIs } kind = kValue;
    BinaryOp op = kEqual;  // kIs
    ExprPtr first, last;
};

struct SelectStmt : Stmt {
    ExprPtr subject;
    struct Case {
        std::vector<CaseTest> tests;  // empty: Case Else
        Block body;
    };
    std::vector<Case> cases;
    Flow Exec(Interpreter& in) override;
};

struct ForStmt : Stmt {
    ExprPtr counter;  // a NameExpr
    ExprPtr from, to, step;
    Block body;
    Flow Exec(Interpreter& in) override;
};

struct ForEachStmt : Stmt {
    ExprPtr element;  // a NameExpr
    ExprPtr group;
    Block body;
    Flow Exec(Interpreter& in) override;
};

struct LoopStmt : Stmt {  // Do/Loop and While/Wend
    ExprPtr condition;    // may be null
    bool until = false;
    bool testAtEnd = false;
    Block body;
    Flow Exec(Interpreter& in) override;
};

struct FlowStmt : Stmt {  // Exit Do|For|Sub|Function and GoTo
    Flow flow;
    std::string label;
    Flow Exec(Interpreter& in) override;
};

struct OnErrorStmt : Stmt {
    enum Mode { kOff, kResumeNext, kGoToLabel } mode = kOff;
    std::string label;
    Flow Exec(Interpreter& in) override;
};

struct PrintStmt : Stmt {
    ExprPtr file;  // Print #n: null for the output call-back
    ExprList items;
    std::vector<char> separators;  // after each item: ';', ',' or 0
    Flow Exec(Interpreter& in) override;
};

struct OpenStmt : Stmt {
    ExprPtr path, number;
    int mode;  // 'r' input, 'w' output, 'a' append
    Flow Exec(Interpreter& in) override;
};

struct CloseStmt : Stmt {
    ExprList numbers;  // none: every file
    Flow Exec(Interpreter& in) override;
};

struct LineInputStmt : Stmt {
    ExprPtr number;
    ExprPtr target;
    Flow Exec(Interpreter& in) override;
};

struct Parameter {
    std::string name;
    bool byRef = true;
    VType declared = kVariant;
};

struct Procedure {
    std::string name;
    bool isFunction = false;
    int line = 0;
    std::vector<Parameter> parameters;  // slots 1..n; slot 0 is the result
    std::vector<VType> slotTypes;       // every slot's declared type
    std::vector<bool> slotIsArray;
    Block body;
};

struct Program {
    Block main;
    std::vector<std::unique_ptr<Procedure>> procedures;
    std::vector<VType> globalTypes;
    std::vector<bool> globalIsArray;
    std::map<std::string, int> globalSlots;  // lower-case name -> slot
    std::map<Procedure*, std::map<std::string, int>> localSlots;
};

// A compile error: its line and text.
struct CompileError {
    int line;
    std::string text;
};
// Compiles source text; throws CompileError.
std::unique_ptr<Program> Compile(const std::string& source);

// Built-in functions.
typedef Value (*BuiltinFunction)(Interpreter& in, Value* args, int count);
struct Builtin {
    const char* name;
    int minArgs, maxArgs;
    BuiltinFunction function;
};
// The built-in of a name (any case), or null.
const Builtin* FindBuiltin(const std::string& name);
const int kMaxBuiltinArgs = 6;

}  // namespace script

#endif
