#include "interpreter.h"

#include <string.h>

namespace script
{

namespace
{

const int kMaxDepth = 1000;
const int kMaxDimensions = 60;
const DWORD kYieldPeriod = 10;  // ms between yield call-backs
const SIZE_T kFiberCommit = 64 * 1024;
const SIZE_T kFiberReserve = 16 * 1024 * 1024;
const char kEndStatement[] = "\x01end";

// The variant type that a typed array element travels as.
VARTYPE ElementVarType(VType t)
{
    switch (t) {
    case kString:
        return VT_BSTR;
    case kLong:
        return VT_I4;
    case kInteger:
        return VT_I2;
    case kDouble:
        return VT_R8;
    case kSingle:
        return VT_R4;
    case kDate:
        return VT_DATE;
    case kBoolean:
        return VT_BOOL;
    case kObject:
        return VT_DISPATCH;
    default:
        return VT_VARIANT;
    }
}

ScriptError AutomationError(HRESULT hr, EXCEPINFO& info, const std::string& member)
{
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn)
            info.pfnDeferredFillIn(&info);
        std::string description = Narrow(info.bstrDescription);
        long number = info.scode ? info.scode : (info.wCode ? info.wCode : hr);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrHelpFile);
        if (description.empty())
            description = "Automation error";
        return ScriptError{number, description};
    }
    switch (hr) {
    case DISP_E_BADPARAMCOUNT:
        return ScriptError{kErrWrongArgumentCount, ErrorDescription(kErrWrongArgumentCount)};
    case DISP_E_TYPEMISMATCH:
        return ScriptError{kErrTypeMismatch, ErrorDescription(kErrTypeMismatch)};
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
        return ScriptError{kErrNoSuchMember, ErrorDescription(kErrNoSuchMember) + ": '" + member + "'"};
    default: {
        char text[256] = "";
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, hr, 0,
                       text, sizeof text, NULL);
        std::string description = text;
        while (!description.empty() && isspace((unsigned char)description.back()))
            description.pop_back();
        return ScriptError{(long)hr, description.empty() ? "Automation error" : description};
    }
    }
}

// mingw's inline GetCurrentFiber reads the thread block through a fixed
// segment offset, which GCC's bounds check takes for an empty array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
void* CurrentFiber()
{
    return GetCurrentFiber();
}
#pragma GCC diagnostic pop

bool Truth(const Value& v)
{
    const Value& t = v.Target();
    if (t.type == kBoolean)
        return t.i != 0;
    if (t.type == kNull)
        return false;
    return ToBool(t);
}

}  // namespace

std::string DisplayText(const Value& source)
{
    const Value& v = source.Target();
    switch (v.type) {
    case kNull:
        return "Null";
    case kObject:
        return v.obj ? "[" + TypeNameOf(v) + "]" : "Nothing";
    case kArray:
        return "[Array]";
    default:
        return ToString(v);
    }
}

// ---------------------------------------------------------------------------
// Expressions.

Value BinaryExpr::Eval(Interpreter& in)
{
    Value a = left->Eval(in);
    Value b = right->Eval(in);
    return Binary(op, a, b);
}

Value UnaryExpr::Eval(Interpreter& in)
{
    Value v = operand->Eval(in);
    return negate ? Negate(v) : Not(v);
}

Value NameExpr::Eval(Interpreter& in)
{
    switch (kind) {
    case kLocalName:
    case kGlobalName: {
        Value& v = in.Slot(this).Target();
        if (args.empty()) {
            if (parens && v.type == kObject && v.obj)
                return in.InvokeDefault(v.obj, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
            return v;
        }
        if (v.type == kArray)
            return in.Element(v.arr, args);
        if (v.type == kObject) {
            if (!v.obj)
                Fail(kErrObjectNotSet);
            return in.InvokeDefault(v.obj, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
        }
        Fail(kErrTypeMismatch, "Type mismatch: '" + name + "'");
    }
    case kConstantName:
        return constant;
    case kProcedureName:
        return in.Call(procedure, args);
    case kBuiltinName: {
        int count = (int)args.size();
        if (count < builtin->minArgs || count > builtin->maxArgs)
            Fail(kErrWrongArgumentCount,
                 ErrorDescription(kErrWrongArgumentCount) + ": '" + builtin->name + "'");
        Value values[kMaxBuiltinArgs];
        for (int k = 0; k < count; ++k)
            values[k] = args[k]->Eval(in);
        return builtin->function(in, values, count);
    }
    case kExtensionName:
        return in.CallExtension(this);
    case kErrName:
        return Value::Int(in.errNumber);
    default:
        Fail(kErrSubNotDefined);
    }
}

Value MemberExpr::Eval(Interpreter& in)
{
    if (ofErr) {
        if (_stricmp(name.c_str(), "Number") == 0)
            return Value::Int(in.errNumber);
        if (_stricmp(name.c_str(), "Description") == 0)
            return Value::Str(in.errDescription);
        if (_stricmp(name.c_str(), "Source") == 0)
            return Value::Str(in.errSource);
        if (_stricmp(name.c_str(), "Clear") == 0) {
            in.SetErr(ScriptError{0, ""});
            return Value();
        }
        if (_stricmp(name.c_str(), "Raise") == 0) {
            if (args.empty())
                Fail(kErrWrongArgumentCount);
            long number = ToLong(args[0]->Eval(in));
            std::string source = args.size() > 1 ? ToString(args[1]->Eval(in)) : "";
            std::string description = args.size() > 2 ? ToString(args[2]->Eval(in))
                                                       : ErrorDescription(number);
            in.errSource = source;
            throw ScriptError{number, description};
        }
        Fail(kErrNoSuchMember, ErrorDescription(kErrNoSuchMember) + ": 'Err." + name + "'");
    }
    Value target = object->Eval(in);
    const Value& o = target.Target();
    if (o.type != kObject)
        Fail(kErrObjectRequired, ErrorDescription(kErrObjectRequired) + ": '" + name + "'");
    if (!o.obj)
        Fail(kErrObjectNotSet);
    return in.Invoke(o.obj, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

// ---------------------------------------------------------------------------
// Statements.

Flow Block::Exec(Interpreter& in)
{
    size_t count = statements.size();
    for (size_t k = 0; k < count;) {
        Stmt* s = statements[k].get();
        in.AtStatement(s->line);
        Flow flow;
        try {
            flow = s->Exec(in);
        } catch (ScriptError& error) {
            // The innermost statement running when the error arose.
            if (!error.line)
                error.line = in.currentLine;
            flow = in.HandleError(error);
        }
        if (flow == kNext) {
            ++k;
            continue;
        }
        if (flow == kGoTo) {
            auto label = labels.find(in.gotoLabel);
            if (label != labels.end()) {
                k = label->second;
                in.BackEdge();
                continue;
            }
        }
        return flow;
    }
    return kNext;
}

Flow ExprStmt::Exec(Interpreter& in)
{
    if (auto* name = dynamic_cast<NameExpr*>(call.get())) {
        // A plain variable as a statement does nothing.
        if (name->IsVariable())
            return kNext;
    }
    call->Eval(in);
    return kNext;
}

Flow AssignStmt::Exec(Interpreter& in)
{
    if (auto* name = dynamic_cast<NameExpr*>(target.get())) {
        if (name->kind == kErrName)
            Fail(kErrObjectRequired);
        if (name->kind != kLocalName && name->kind != kGlobalName)
            Fail(kErrTypeMismatch, "Illegal assignment: '" + name->name + "'");
        if (appends) {
            Value& slot = in.Slot(name).Target();
            if (slot.type == kString && slot.s->refs == 1) {
                Value tail = static_cast<BinaryExpr*>(value.get())->right->Eval(in);
                Value& again = in.Slot(name).Target();
                if (again.type == kString && again.s->refs == 1 && tail.Target().type != kNull) {
                    again.s->text += ToString(tail);
                    return kNext;
                }
                Value joined = Binary(kConcat, again, tail);
                in.Store(name, std::move(joined), false);
                return kNext;
            }
        }
        if (name->args.empty()) {
            in.Store(name, value->Eval(in), isSet);
            return kNext;
        }
        Value& slot = in.Slot(name).Target();
        if (slot.type == kObject) {
            if (!slot.obj)
                Fail(kErrObjectNotSet);
            Value v = value->Eval(in);
            IDispatch* object = slot.obj;
            object->AddRef();
            Value holder = Value::Object(object);
            in.InvokeDefault(object, isSet ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT,
                             name->args, &v);
            return kNext;
        }
        if (slot.type != kArray)
            Fail(kErrTypeMismatch, "Type mismatch: '" + name->name + "'");
        Value v = value->Eval(in);
        if (isSet && v.Target().type != kObject)
            Fail(kErrObjectRequired);
        Value& again = in.Slot(name).Target();
        if (again.type != kArray)
            Fail(kErrTypeMismatch);
        ArrayData* array = in.OwnArray(again);
        Value& element = in.Element(array, name->args);
        element = Coerce(v, array->elementType);
        return kNext;
    }
    auto* member = static_cast<MemberExpr*>(target.get());
    if (member->ofErr) {
        Value v = value->Eval(in);
        if (_stricmp(member->name.c_str(), "Number") == 0)
            in.errNumber = ToLong(v);
        else if (_stricmp(member->name.c_str(), "Description") == 0)
            in.errDescription = ToString(v);
        else if (_stricmp(member->name.c_str(), "Source") == 0)
            in.errSource = ToString(v);
        else
            Fail(kErrNoSuchMember);
        return kNext;
    }
    Value object = member->object->Eval(in);
    const Value& o = object.Target();
    if (o.type != kObject)
        Fail(kErrObjectRequired, ErrorDescription(kErrObjectRequired) + ": '" + member->name + "'");
    if (!o.obj)
        Fail(kErrObjectNotSet);
    Value v = value->Eval(in);
    in.Invoke(o.obj, member->name, isSet ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT,
              member->args, &v);
    return kNext;
}

Flow DimStmt::Exec(Interpreter& in)
{
    auto* name = static_cast<NameExpr*>(target.get());
    if (upper.size() > (size_t)kMaxDimensions)
        Fail(kErrSubscript);
    std::vector<long> counts;
    for (ExprPtr& bound : upper) {
        long high = ToLong(bound->Eval(in));
        if (high < -1)
            Fail(kErrSubscript);
        counts.push_back(high + 1);
    }
    Value& slot = in.Slot(name).Target();
    if (redim && slot.type == kArray && (slot.arr->fixedSize || slot.arr->locked))
        Fail(kErrArrayLocked);
    ArrayData* array = new ArrayData;
    Value made = Value::Array(array);
    array->elementType = elementType;
    if (redim && elementType == kVariant && slot.type == kArray)
        array->elementType = slot.arr->elementType;
    array->fixedSize = !redim;
    array->lower.assign(counts.size(), 0);
    array->counts = counts;
    size_t total = 1;
    for (long c : counts)
        total *= (size_t)c;
    array->items.assign(total, DefaultValue(array->elementType));
    if (preserve && slot.type == kArray && slot.arr->counts.size() == counts.size()) {
        // Copy the elements whose indexes exist in both.
        const ArrayData& old = *slot.arr;
        std::vector<long> index(counts.size(), 0);
        for (size_t n = 0; n < old.items.size(); ++n) {
            size_t rest = n, to = 0, stride = 1;
            bool inside = true;
            for (size_t d = 0; d < counts.size(); ++d) {
                long i = (long)(rest % old.counts[d]);
                rest /= old.counts[d];
                inside = inside && i < counts[d];
                to += i * stride;
                stride *= counts[d];
            }
            if (inside)
                array->items[to] = old.items[n];
        }
    }
    slot = std::move(made);
    return kNext;
}

Flow EraseStmt::Exec(Interpreter& in)
{
    auto* name = static_cast<NameExpr*>(target.get());
    Value& slot = in.Slot(name).Target();
    if (slot.type != kArray)
        Fail(kErrTypeMismatch);
    if (slot.arr->locked)
        Fail(kErrArrayLocked);
    ArrayData* array = in.OwnArray(slot);
    if (array->fixedSize) {
        for (Value& v : array->items)
            v = DefaultValue(array->elementType);
    } else {
        slot = Value();
    }
    return kNext;
}

Flow IfStmt::Exec(Interpreter& in)
{
    for (auto& branch : branches)
        if (Truth(branch.first->Eval(in)))
            return branch.second.Exec(in);
    return otherwise.Exec(in);
}

Flow SelectStmt::Exec(Interpreter& in)
{
    Value v = subject->Eval(in);
    for (Case& c : cases) {
        bool match = c.tests.empty();
        for (size_t t = 0; t < c.tests.size() && !match; ++t) {
            CaseTest& test = c.tests[t];
            Value first = test.first->Eval(in);
            switch (test.kind) {
            case CaseTest::kValue:
                match = Truth(Binary(kEqual, v, first));
                break;
            case CaseTest::kRange:
                match = Truth(Binary(kGreaterEqual, v, first)) &&
                        Truth(Binary(kLessEqual, v, test.last->Eval(in)));
                break;
            case CaseTest::kIs:
                match = Truth(Binary(test.op, v, first));
                break;
            }
        }
        if (match)
            return c.body.Exec(in);
    }
    return kNext;
}

Flow ForStmt::Exec(Interpreter& in)
{
    auto* name = static_cast<NameExpr*>(counter.get());
    Value start = from->Eval(in);
    Value end = to->Eval(in);
    Value increment = step ? step->Eval(in) : Value::Int(1, kInteger);
    double direction = ToDouble(increment);
    in.Store(name, start, false);
    for (;;) {
        Value& current = in.Slot(name).Target();
        int c = Compare(current, end.Target());
        if (direction >= 0 ? c > 0 : c < 0)
            break;
        Flow flow = body.Exec(in);
        if (flow == kExitFor)
            break;
        if (flow != kNext)
            return flow;
        in.BackEdge();
        Value& now = in.Slot(name).Target();
        in.Store(name, Binary(kAdd, now, increment), false);
    }
    return kNext;
}

Flow ForEachStmt::Exec(Interpreter& in)
{
    auto* name = static_cast<NameExpr*>(element.get());
    Value items = group->Eval(in);
    const Value& source = items.Target();
    // One turn with an element: false ends the loop, with `flow` its result.
    Flow flow = kNext;
    auto turn = [&](const Value& item) {
        in.Store(name, item, item.Target().type == kObject);
        Flow bodyFlow = body.Exec(in);
        if (bodyFlow != kNext) {
            flow = bodyFlow == kExitFor ? kNext : bodyFlow;
            return false;
        }
        in.BackEdge();
        return true;
    };
    if (source.type == kArray) {
        Value held = source;  // the loop sees the array as it was
        for (size_t k = 0; k < held.arr->items.size() && turn(held.arr->items[k]); ++k) {
        }
        return flow;
    }
    if (source.type != kObject || !source.obj)
        Fail(source.type == kObject ? kErrObjectNotSet : kErrNotEnumerable);
    DISPPARAMS none = {NULL, NULL, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info = {};
    HRESULT hr = source.obj->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                    DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, &info,
                                    NULL);
    if (FAILED(hr))
        throw AutomationError(hr, info, "_NewEnum");
    IEnumVARIANT* enumerator = NULL;
    if (result.vt == VT_UNKNOWN || result.vt == VT_DISPATCH)
        result.punkVal->QueryInterface(IID_IEnumVARIANT, (void**)&enumerator);
    VariantClear(&result);
    if (!enumerator)
        Fail(kErrNotEnumerable);
    struct Holder {
        IEnumVARIANT* e;
        ~Holder() { e->Release(); }
    } holder{enumerator};
    for (;;) {
        VARIANT item;
        VariantInit(&item);
        ULONG fetched = 0;
        if (enumerator->Next(1, &item, &fetched) != S_OK || fetched != 1)
            break;
        Value v;
        try {
            v = FromVariant(item);
        } catch (...) {
            VariantClear(&item);
            throw;
        }
        VariantClear(&item);
        if (!turn(v))
            break;
    }
    return flow;
}

Flow LoopStmt::Exec(Interpreter& in)
{
    for (;;) {
        if (condition && !testAtEnd && Truth(condition->Eval(in)) == until)
            break;
        Flow flow = body.Exec(in);
        if (flow == kExitDo)
            break;
        if (flow != kNext)
            return flow;
        if (condition && testAtEnd && Truth(condition->Eval(in)) == until)
            break;
        in.BackEdge();
    }
    return kNext;
}

Flow FlowStmt::Exec(Interpreter& in)
{
    if (flow == kGoTo)
        in.gotoLabel = label;
    if (label == kEndStatement)
        throw Abort();
    return flow;
}

Flow OnErrorStmt::Exec(Interpreter& in)
{
    in.frame->onError = mode;
    in.frame->errorLabel = label;
    if (mode != kOff)
        in.SetErr(ScriptError{0, ""});
    return kNext;
}

Flow PrintStmt::Exec(Interpreter& in)
{
    std::string text;
    for (size_t k = 0; k < items.size(); ++k) {
        Value v = items[k]->Eval(in);
        text += DisplayText(v);
        if (separators[k] == ',')
            text += '\t';
    }
    if (!file) {
        in.Print(text);
        return kNext;
    }
    Interpreter::OpenFile& f = in.File(ToLong(file->Eval(in)));
    if (f.mode == 'r')
        Fail(kErrBadFileMode);
    bool newline = items.empty() || separators.back() == 0;
    fputs(text.c_str(), f.file);
    if (newline)
        fputs("\r\n", f.file);
    return kNext;
}

Flow OpenStmt::Exec(Interpreter& in)
{
    std::string name = ToString(path->Eval(in));
    long n = ToLong(number->Eval(in));
    if (n < 1 || n > 511)
        Fail(kErrBadFileNumber);
    if (in.files.count(n))
        Fail(kErrFileAlreadyOpen);
    if (in.files.size() >= 64)
        Fail(kErrTooManyFiles);
    const char* modes = mode == 'r' ? "rb" : mode == 'w' ? "wb" : "ab";
    FILE* f = fopen(name.c_str(), modes);
    if (!f)
        Fail(mode == 'r' ? kErrFileNotFound : kErrBadFileNumber,
             ErrorDescription(mode == 'r' ? kErrFileNotFound : kErrBadFileNumber) + ": '" + name +
                 "'");
    in.files[n] = Interpreter::OpenFile{f, mode};
    return kNext;
}

Flow CloseStmt::Exec(Interpreter& in)
{
    if (numbers.empty()) {
        in.CloseFiles();
        return kNext;
    }
    for (ExprPtr& e : numbers) {
        long n = ToLong(e->Eval(in));
        Interpreter::OpenFile& f = in.File(n);
        fclose(f.file);
        in.files.erase(n);
    }
    return kNext;
}

Flow LineInputStmt::Exec(Interpreter& in)
{
    Interpreter::OpenFile& f = in.File(ToLong(number->Eval(in)));
    if (f.mode != 'r')
        Fail(kErrBadFileMode);
    std::string text;
    int c = fgetc(f.file);
    if (c == EOF)
        Fail(kErrInputPastEnd);
    for (; c != EOF && c != '\n'; c = fgetc(f.file))
        text += (char)c;
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    in.Store(static_cast<NameExpr*>(target.get()), Value::Str(text), false);
    return kNext;
}

// ---------------------------------------------------------------------------
// The interpreter.

Interpreter::Interpreter(EngineHandle h, Program* program) : handle(h), m_program(program)
{
    for (size_t k = 0; k < program->globalTypes.size(); ++k)
        globals.push_back(program->globalIsArray[k] ? Value() : DefaultValue(program->globalTypes[k]));
    m_top.locals = globals.data();
    frame = &m_top;
}

Interpreter::~Interpreter()
{
    Stop();
    CloseFiles();
}

void Interpreter::CloseFiles()
{
    for (auto& f : files)
        fclose(f.second.file);
    files.clear();
}

Interpreter::OpenFile& Interpreter::File(long number)
{
    auto found = files.find(number);
    if (found == files.end())
        Fail(kErrBadFileNumber);
    return found->second;
}

void Interpreter::Store(NameExpr* name, Value value, bool isSet)
{
    Value& slot = Slot(name);
    VType declared = slot.type == kRef ? slot.refDeclared : name->declared;
    Value& target = slot.Target();
    const Value& v = value.Target();
    if (isSet) {
        if (v.type != kObject)
            Fail(kErrObjectRequired);
    } else if (v.type == kObject && declared != kObject) {
        // An object assigned without Set gives its default value.
        if (!v.obj)
            Fail(kErrObjectNotSet);
        ExprList none;
        Value plain = InvokeDefault(v.obj, DISPATCH_PROPERTYGET, none);
        Value& again = Slot(name).Target();
        again = declared == kVariant ? std::move(plain) : Coerce(plain, declared);
        return;
    }
    if (target.type == kArray && (target.arr->fixedSize || target.arr->locked) && v.type == kArray)
        Fail(kErrArrayLocked);
    if (declared == kVariant) {
        if (value.type == kRef)
            target = v;
        else
            target = std::move(value);
    } else {
        target = Coerce(v, declared);
    }
}

Value& Interpreter::Element(ArrayData* array, ExprList& indexes)
{
    if (indexes.size() != array->counts.size())
        Fail(kErrSubscript);
    size_t flat = 0, stride = 1;
    for (size_t d = 0; d < indexes.size(); ++d) {
        long i = ToLong(indexes[d]->Eval(*this)) - array->lower[d];
        if (i < 0 || i >= array->counts[d])
            Fail(kErrSubscript);
        flat += (size_t)i * stride;
        stride *= (size_t)array->counts[d];
    }
    return array->items[flat];
}

ArrayData* Interpreter::OwnArray(Value& slot)
{
    if (slot.arr->refs > 1) {
        ArrayData* copy = new ArrayData(*slot.arr);
        copy->refs = 1;
        copy->locked = false;
        slot = Value::Array(copy);
    }
    return slot.arr;
}

Value Interpreter::Call(Procedure* procedure, ExprList& args)
{
    if (args.size() != procedure->parameters.size())
        Fail(kErrWrongArgumentCount,
             ErrorDescription(kErrWrongArgumentCount) + ": '" + procedure->name + "'");
    if (m_depth >= kMaxDepth)
        Fail(kErrOutOfStack);
    BackEdge();
    size_t count = procedure->slotTypes.size();
    std::unique_ptr<Value[]> locals(new Value[count]);
    for (size_t k = 0; k < args.size(); ++k) {
        const Parameter& p = procedure->parameters[k];
        Value& slot = locals[k + 1];
        auto* name = dynamic_cast<NameExpr*>(args[k].get());
        if (p.byRef && name && name->IsVariable()) {
            Value& caller = Slot(name);
            slot = caller.type == kRef ? caller : Value::Reference(&caller, name->declared);
            continue;
        }
        Value v = args[k]->Eval(*this);
        slot = p.declared == kVariant ? Value(v.Target()) : Coerce(v, p.declared);
    }
    for (size_t k = args.size() + 1; k < count; ++k)
        if (!procedure->slotIsArray[k])
            locals[k] = DefaultValue(procedure->slotTypes[k]);
    Frame callee;
    callee.procedure = procedure;
    callee.locals = locals.get();
    Frame* caller = frame;
    frame = &callee;
    ++m_depth;
    struct Restore {
        Interpreter& in;
        Frame* caller;
        ~Restore()
        {
            in.frame = caller;
            --in.m_depth;
        }
    } restore{*this, caller};
    Flow flow = procedure->body.Exec(*this);
    (void)flow;
    return std::move(locals[0]);
}

Value Interpreter::CallExtension(NameExpr* name)
{
    // Without an extension call-back a name never assigned reads as Empty,
    // as an undeclared variable does.
    if (!onExtension && name->args.empty() && !name->parens)
        return Value();
    if (!onExtension)
        Fail(kErrSubNotDefined, ErrorDescription(kErrSubNotDefined) + ": '" + name->name + "'");
    OutgoingArguments arguments(*this, name->args, true);
    VARIANT result;
    VariantInit(&result);
    long status = onExtension(handle, name->name.c_str(), arguments.Params(), &result);
    if (status != 0) {
        VariantClear(&result);
        EXCEPINFO none = {};
        ScriptError error = AutomationError((HRESULT)status, none, name->name);
        if (status == 1)
            error = ScriptError{kErrSubNotDefined,
                                ErrorDescription(kErrSubNotDefined) + ": '" + name->name + "'"};
        throw error;
    }
    arguments.WriteBack();
    Value v = FromVariant(result);
    VariantClear(&result);
    return v;
}

void Interpreter::SetErr(const ScriptError& error)
{
    errNumber = error.number;
    errDescription = error.description;
    if (error.number == 0)
        errSource.clear();
}

Flow Interpreter::HandleError(const ScriptError& error)
{
    switch (frame->onError) {
    case OnErrorStmt::kResumeNext:
        SetErr(error);
        return kNext;
    case OnErrorStmt::kGoToLabel: {
        SetErr(error);
        frame->onError = OnErrorStmt::kOff;  // an error in the handler goes to the caller
        Block& top = frame->procedure ? frame->procedure->body : m_program->main;
        auto label = top.labels.find(frame->errorLabel);
        if (label != top.labels.end()) {
            gotoLabel = frame->errorLabel;
            return kGoTo;
        }
        throw error;
    }
    default:
        throw error;
    }
}

void Interpreter::Report(short kind, const std::string& text, int line, long number)
{
    if (!onMessage)
        return;
    EngineMessage message = {};
    message.context = handle;
    message.kind = kind;
    message.line = line;
    message.errorNumber = number;
    if (kind == kMessageOutput)
        message.text = text.c_str();
    else
        message.errorText = text.c_str();
    onMessage(&message);
}

void Interpreter::Print(const std::string& text)
{
    Report(kMessageOutput, text, currentLine, 0);
}

void Interpreter::PollYield()
{
    if (m_stopping)
        throw Abort();
    DWORD now = GetTickCount();
    if (now - m_lastYield < kYieldPeriod)
        return;
    m_lastYield = now;
    if (onYield(handle) == 1) {
        m_aborted = true;
        throw Abort();
    }
}

void Interpreter::StepPause(int line)
{
    if (m_stepMode == kStepOver && m_depth > m_stepDepth)
        return;
    m_pausedLine = line;
    SwitchToFiber(m_host);
    if (m_stopping)
        throw Abort();
}

void Interpreter::RunProgram()
{
    try {
        m_program->main.Exec(*this);
        m_result = kEngineOK;
    } catch (ScriptError& error) {
        char head[48];
        if (error.number < 0 || error.number > 0xFFFF)
            snprintf(head, sizeof head, "Run-time error 0x%08lX: ", (unsigned long)error.number);
        else
            snprintf(head, sizeof head, "Run-time error %ld: ", error.number);
        Report(kMessageRuntimeError, head + error.description, error.line ? error.line : currentLine,
               error.number);
        m_result = kEngineRuntimeError;
    } catch (Abort&) {
        // End ends the script as its last line would; the host's abort does not.
        m_result = m_stopping || m_aborted ? kEngineAborted : kEngineOK;
    }
}

void __stdcall Interpreter::FiberMain(void* self)
{
    Interpreter* in = static_cast<Interpreter*>(self);
    in->RunProgram();
    in->m_finished = true;
    for (;;)
        SwitchToFiber(in->m_host);
}

long Interpreter::Resume(StepMode mode, long* line)
{
    if (m_finished) {
        if (line)
            *line = -1;
        return kEngineOK;
    }
    m_stepMode = mode;
    m_stepDepth = m_depth;
    m_pausedLine = 0;
    m_lastYield = GetTickCount();
    bool converted = false;
    void* host = ConvertThreadToFiber(NULL);
    if (host)
        converted = true;
    else
        host = CurrentFiber();
    m_host = host;
    if (!m_fiber)
        m_fiber = CreateFiberEx(kFiberCommit, kFiberReserve, 0, FiberMain, this);
    if (!m_fiber) {
        if (converted)
            ConvertFiberToThread();
        return kEngineUnhandledException;
    }
    SwitchToFiber(m_fiber);
    if (m_finished) {
        DeleteFiber(m_fiber);
        m_fiber = nullptr;
    }
    if (converted)
        ConvertFiberToThread();
    if (line)
        *line = m_finished ? -1 : m_pausedLine;
    return m_finished ? m_result : kEngineOK;
}

void Interpreter::Stop()
{
    if (!m_fiber || m_finished)
        return;
    m_stopping = true;
    Resume(kRunMode, nullptr);
}

bool Interpreter::GetVariable(const std::string& name, std::string* text)
{
    std::string key;
    for (char c : name)
        key += (char)tolower((unsigned char)c);
    const Value* found = nullptr;
    if (frame->procedure) {
        auto& locals = m_program->localSlots[frame->procedure];
        auto slot = locals.find(key);
        if (slot != locals.end())
            found = &frame->locals[slot->second];
    }
    if (!found) {
        auto slot = m_program->globalSlots.find(key);
        if (slot == m_program->globalSlots.end())
            return false;
        found = &globals[slot->second];
    }
    try {
        *text = DisplayText(*found);
    } catch (ScriptError&) {
        text->clear();
    }
    return true;
}

// ---------------------------------------------------------------------------
// Automation.

OutgoingArguments::OutgoingArguments(Interpreter& in, ExprList& args, bool exactTypes)
{
    size_t count = args.size();
    m_storage.resize(count);
    m_arguments.resize(count);
    for (VARIANT& v : m_storage)
        VariantInit(&v);
    for (VARIANT& v : m_arguments)
        VariantInit(&v);
    for (size_t k = 0; k < count; ++k) {
        VARIANT& stored = m_storage[k];
        VARIANT& passed = m_arguments[count - 1 - k];
        auto* name = dynamic_cast<NameExpr*>(args[k].get());
        if (!name || !name->IsVariable()) {
            ToVariant(args[k]->Eval(in), &stored);
            passed = stored;  // a shallow copy: the storage owns it
            continue;
        }
        Value& slot = in.Slot(name);
        VType declared = slot.type == kRef ? slot.refDeclared : name->declared;
        Value& target = slot.Target();
        ByRef ref{&slot, declared, k, kVariant, false};
        if (target.type == kArray) {
            ref.isArray = true;
            ref.elementType = target.arr->elementType;
            VARTYPE element = ElementVarType(target.arr->elementType);
            stored.vt = VT_ARRAY | element;
            stored.parray = ToSafeArray(*target.arr, element);
            passed.vt = VT_BYREF | VT_ARRAY | element;
            passed.pparray = &stored.parray;
        } else {
            ToVariant(target, &stored);
            bool ownType = exactTypes || declared != kVariant;
            if (ownType && stored.vt != VT_EMPTY && stored.vt != VT_NULL) {
                passed.vt = VT_BYREF | stored.vt;
                passed.byref = &stored.lVal;  // every scalar lives at the same place
            } else {
                passed.vt = VT_BYREF | VT_VARIANT;
                passed.pvarVal = &stored;
            }
        }
        m_refs.push_back(ref);
    }
    m_params.rgvarg = count ? m_arguments.data() : NULL;
    m_params.cArgs = (UINT)count;
    m_params.rgdispidNamedArgs = NULL;
    m_params.cNamedArgs = 0;
}

OutgoingArguments::~OutgoingArguments()
{
    for (VARIANT& v : m_storage)
        VariantClear(&v);
}

void OutgoingArguments::WriteBack()
{
    for (const ByRef& ref : m_refs) {
        VARIANT& stored = m_storage[ref.index];
        Value& target = ref.target->Target();
        if (ref.isArray) {
            if (stored.parray)
                target = Value::Array(FromSafeArray(stored.parray, ref.elementType));
            continue;
        }
        Value v = FromVariant(stored);
        target = ref.declared == kVariant ? std::move(v) : Coerce(v, ref.declared);
    }
}

Value Interpreter::Invoke(IDispatch* object, const std::string& member, WORD flags, ExprList& args,
                          const Value* assigned)
{
    BSTR wide = Wide(member);
    DISPID id = 0;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &wide, 1, LOCALE_USER_DEFAULT, &id);
    SysFreeString(wide);
    if (FAILED(hr))
        Fail(kErrNoSuchMember, ErrorDescription(kErrNoSuchMember) + ": '" + member + "'");
    return InvokeId(object, id, member, flags, args, assigned);
}

Value Interpreter::InvokeDefault(IDispatch* object, WORD flags, ExprList& args,
                                 const Value* assigned)
{
    return InvokeId(object, DISPID_VALUE, "default member", flags, args, assigned);
}

Value Interpreter::InvokeId(IDispatch* object, DISPID id, const std::string& member, WORD flags,
                            ExprList& args, const Value* assigned)
{
    // The object stays alive while its arguments run script code.
    object->AddRef();
    Value holder = Value::Object(object);
    OutgoingArguments arguments(*this, args, false);
    DISPPARAMS* params = arguments.Params();
    DISPID put = DISPID_PROPERTYPUT;
    VARIANT value;
    VariantInit(&value);
    struct Clear {
        VARIANT* v;
        ~Clear() { VariantClear(v); }
    } clear{&value};
    std::vector<VARIANT> withValue;
    DISPPARAMS putParams;
    if (assigned) {
        // The assigned value is the named argument, before the others.
        ToVariant(*assigned, &value);
        withValue.push_back(value);
        for (UINT k = 0; k < params->cArgs; ++k)
            withValue.push_back(params->rgvarg[k]);
        putParams.rgvarg = withValue.data();
        putParams.cArgs = (UINT)withValue.size();
        putParams.rgdispidNamedArgs = &put;
        putParams.cNamedArgs = 1;
        params = &putParams;
    }
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO info = {};
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params,
                                assigned ? NULL : &result, &info, NULL);
    if (FAILED(hr))
        throw AutomationError(hr, info, member);
    arguments.WriteBack();
    Value v = FromVariant(result);
    VariantClear(&result);
    return v;
}

}  // namespace script
