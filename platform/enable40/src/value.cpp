#include "value.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace script
{

namespace
{

// Texts of numbers and dates follow one fixed locale, whatever the machine's.
const LCID kTextLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

}  // namespace

std::string Narrow(BSTR text)
{
    if (!text)
        return std::string();
    int length = SysStringLen(text);
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, NULL, 0, NULL, NULL);
    std::string result(bytes, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], bytes, NULL, NULL);
    return result;
}

BSTR Wide(const std::string& text)
{
    int chars = MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), NULL, 0);
    BSTR result = SysAllocStringLen(NULL, chars);
    MultiByteToWideChar(CP_ACP, 0, text.data(), (int)text.size(), result, chars);
    return result;
}

namespace
{

// Integer results keep the narrowest type that holds them, as the
// language's arithmetic does.
Value IntegerResult(long long v, VType a, VType b)
{
    if ((a == kInteger || a == kBoolean) && (b == kInteger || b == kBoolean) && v >= -32768 &&
        v <= 32767)
        return Value::Int((long)v, kInteger);
    if (v >= -2147483647LL - 1 && v <= 2147483647LL)
        return Value::Int((long)v, kLong);
    return Value::Real((double)v);
}

bool IsIntegral(VType t)
{
    return t == kInteger || t == kLong || t == kBoolean;
}

// The operand of arithmetic: numbers stay, Empty is 0, strings are parsed.
Value Numeric(const Value& v)
{
    switch (v.type) {
    case kInteger:
    case kLong:
    case kDouble:
    case kSingle:
    case kDate:
    case kNull:
        return v;
    case kBoolean:
        return Value::Int(v.i, kInteger);
    case kEmpty:
        return Value::Int(0, kInteger);
    case kString: {
        double d;
        if (!ParseNumber(v.Text(), &d))
            Fail(kErrTypeMismatch);
        return Value::Real(d);
    }
    case kObject:
        Fail(v.obj ? kErrTypeMismatch : kErrObjectNotSet);
    default:
        Fail(kErrTypeMismatch);
    }
}

long RoundToLong(double d, double low, double high)
{
    double r = nearbyint(d);  // banker's rounding (the default mode)
    if (!(r >= low && r <= high))
        Fail(kErrOverflow);
    return (long)r;
}

}  // namespace

void Fail(long number)
{
    throw ScriptError{number, ErrorDescription(number)};
}

void Fail(long number, const std::string& description)
{
    throw ScriptError{number, description};
}

std::string ErrorDescription(long number)
{
    static const struct {
        long number;
        const char* text;
    } texts[] = {
        {kErrInvalidCall, "Invalid procedure call or argument"},
        {kErrOverflow, "Overflow"},
        {kErrSubscript, "Subscript out of range"},
        {kErrArrayLocked, "This array is fixed or temporarily locked"},
        {kErrDivisionByZero, "Division by zero"},
        {kErrTypeMismatch, "Type mismatch"},
        {kErrOutOfStack, "Out of stack space"},
        {kErrSubNotDefined, "Sub or Function not defined"},
        {kErrBadFileNumber, "Bad file name or number"},
        {kErrFileNotFound, "File not found"},
        {kErrBadFileMode, "Bad file mode"},
        {kErrFileAlreadyOpen, "File already open"},
        {kErrInputPastEnd, "Input past end of file"},
        {kErrTooManyFiles, "Too many files"},
        {kErrObjectNotSet, "Object variable not set"},
        {kErrInvalidNull, "Invalid use of Null"},
        {kErrCannotCreateObject, "ActiveX component can't create object"},
        {kErrObjectRequired, "Object required"},
        {kErrNoSuchMember, "Object doesn't support this property or method"},
        {kErrWrongArgumentCount, "Wrong number of arguments or invalid property assignment"},
        {kErrNotEnumerable, "Object not a collection"},
    };
    for (const auto& t : texts)
        if (t.number == number)
            return t.text;
    char text[64];
    snprintf(text, sizeof text, "Error %ld", number);
    return text;
}

// ---------------------------------------------------------------------------

Value Value::Str(std::string text)
{
    Value r;
    r.type = kString;
    r.s = new StringData{1, std::move(text)};
    return r;
}

Value Value::Object(IDispatch* object)
{
    Value r;
    r.type = kObject;
    r.obj = object;
    return r;
}

Value Value::Array(ArrayData* array)
{
    Value r;
    r.type = kArray;
    r.arr = array;
    return r;
}

void Value::AddRef()
{
    switch (type) {
    case kString:
        ++s->refs;
        break;
    case kObject:
        if (obj)
            obj->AddRef();
        break;
    case kArray:
        ++arr->refs;
        break;
    default:
        break;
    }
}

void Value::Release()
{
    switch (type) {
    case kString:
        if (--s->refs == 0)
            delete s;
        break;
    case kObject:
        if (obj)
            obj->Release();
        break;
    case kArray:
        if (--arr->refs == 0)
            delete arr;
        break;
    default:
        break;
    }
    type = kEmpty;
}

// ---------------------------------------------------------------------------
// Conversions.

bool ParseNumber(const std::string& text, double* value)
{
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '&' && (p[1] == 'H' || p[1] == 'h')) {
        char* end;
        unsigned long long v = strtoull(p + 2, &end, 16);
        if (end == p + 2)
            return false;
        while (*end == ' ' || *end == '\t')
            ++end;
        *value = (double)(long)(unsigned long)v;
        return *end == '\0';
    }
    if (!*p)
        return false;
    char* end;
    *value = strtod(p, &end);
    if (end == p || (p[0] != '-' && p[0] != '+' && p[0] != '.' && !isdigit((unsigned char)p[0])))
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    return *end == '\0';
}

double ToDouble(const Value& v)
{
    Value n = Numeric(v.Target());
    if (n.type == kNull)
        Fail(kErrInvalidNull);
    return IsIntegral(n.type) ? (double)n.i : n.d;
}

long ToLong(const Value& v)
{
    const Value& t = v.Target();
    if (t.type == kInteger || t.type == kLong || t.type == kBoolean)
        return t.i;
    return RoundToLong(ToDouble(t), -2147483648.0, 2147483647.0);
}

long ToInteger(const Value& v)
{
    return RoundToLong(ToDouble(v), -32768.0, 32767.0);
}

bool ToBool(const Value& v)
{
    const Value& t = v.Target();
    if (t.type == kString) {
        if (_stricmp(t.Text().c_str(), "true") == 0)
            return true;
        if (_stricmp(t.Text().c_str(), "false") == 0)
            return false;
    }
    return ToDouble(t) != 0.0;
}

double ToDate(const Value& v)
{
    const Value& t = v.Target();
    if (t.type == kString) {
        BSTR text = Wide(t.Text());
        DATE date = 0;
        HRESULT hr = VarDateFromStr(text, kTextLocale, 0, &date);
        SysFreeString(text);
        if (FAILED(hr))
            Fail(kErrTypeMismatch);
        return date;
    }
    return ToDouble(t);
}

std::string ToString(const Value& v)
{
    const Value& t = v.Target();
    char text[64];
    switch (t.type) {
    case kEmpty:
        return std::string();
    case kNull:
        Fail(kErrInvalidNull);
    case kString:
        return t.Text();
    case kInteger:
    case kLong:
        snprintf(text, sizeof text, "%ld", t.i);
        return text;
    case kBoolean:
        return t.i ? "True" : "False";
    case kSingle:
    case kDouble: {
        snprintf(text, sizeof text, t.type == kSingle ? "%.7G" : "%.15G", t.d);
        // Exponents of two digits at least, as "1E+20" and "1E-05".
        return text;
    }
    case kDate: {
        BSTR wide = NULL;
        if (FAILED(VarBstrFromDate(t.d, kTextLocale, 0, &wide)))
            Fail(kErrTypeMismatch);
        std::string result = Narrow(wide);
        SysFreeString(wide);
        return result;
    }
    default:
        Fail(kErrTypeMismatch);
    }
}

Value Coerce(const Value& source, VType declared)
{
    const Value& v = source.Target();
    switch (declared) {
    case kVariant:
        return v;
    case kInteger:
        return Value::Int(ToInteger(v), kInteger);
    case kLong:
        return Value::Int(ToLong(v), kLong);
    case kSingle:
        return Value::Real((float)ToDouble(v), kSingle);
    case kDouble:
        return Value::Real(ToDouble(v));
    case kDate:
        return Value::Real(ToDate(v), kDate);
    case kString:
        return v.type == kString ? v : Value::Str(ToString(v));
    case kBoolean:
        return Value::Bool(ToBool(v));
    case kObject:
        if (v.type != kObject)
            Fail(kErrTypeMismatch);
        return v;
    default:
        Fail(kErrTypeMismatch);
    }
}

Value DefaultValue(VType declared)
{
    switch (declared) {
    case kInteger:
    case kLong:
    case kBoolean:
        return Value::Int(0, declared);
    case kSingle:
    case kDouble:
    case kDate:
        return Value::Real(0, declared);
    case kString:
        return Value::Str(std::string());
    case kObject:
        return Value::Nothing();
    default:
        return Value();
    }
}

void ToVariant(const Value& source, VARIANT* out)
{
    const Value& v = source.Target();
    VariantInit(out);
    switch (v.type) {
    case kEmpty:
        break;
    case kNull:
        out->vt = VT_NULL;
        break;
    case kInteger:
        out->vt = VT_I2;
        out->iVal = (SHORT)v.i;
        break;
    case kLong:
        out->vt = VT_I4;
        out->lVal = v.i;
        break;
    case kBoolean:
        out->vt = VT_BOOL;
        out->boolVal = v.i ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case kSingle:
        out->vt = VT_R4;
        out->fltVal = (float)v.d;
        break;
    case kDouble:
        out->vt = VT_R8;
        out->dblVal = v.d;
        break;
    case kDate:
        out->vt = VT_DATE;
        out->date = v.d;
        break;
    case kString:
        out->vt = VT_BSTR;
        out->bstrVal = Wide(v.Text());
        break;
    case kObject:
        out->vt = VT_DISPATCH;
        out->pdispVal = v.obj;
        if (v.obj)
            v.obj->AddRef();
        break;
    case kArray:
        out->vt = VT_ARRAY | VT_VARIANT;
        out->parray = ToSafeArray(*v.arr, VT_VARIANT);
        break;
    default:
        break;
    }
}

Value FromVariant(const VARIANT& in)
{
    const VARIANT* v = &in;
    while (v->vt == (VT_BYREF | VT_VARIANT))
        v = v->pvarVal;
    VARTYPE vt = v->vt;
    bool byRef = (vt & VT_BYREF) != 0;
    VARTYPE base = vt & ~VT_BYREF;
    if (base & VT_ARRAY) {
        SAFEARRAY* safe = byRef ? *v->pparray : v->parray;
        return safe ? Value::Array(FromSafeArray(safe, kVariant)) : Value();
    }
#define PICK(field) (byRef ? *v->p##field : v->field)
    switch (base) {
    case VT_EMPTY:
        return Value();
    case VT_NULL:
        return Value::Null();
    case VT_I1:
        return Value::Int(byRef ? *v->pcVal : v->cVal, kInteger);
    case VT_UI1:
        return Value::Int(byRef ? *v->pbVal : v->bVal, kInteger);
    case VT_I2:
        return Value::Int(PICK(iVal), kInteger);
    case VT_UI2:
        return Value::Int(PICK(uiVal), kLong);
    case VT_I4:
    case VT_INT:
        return Value::Int(PICK(lVal), kLong);
    case VT_UI4:
    case VT_UINT: {
        unsigned long u = PICK(ulVal);
        return u <= 0x7FFFFFFFUL ? Value::Int((long)u, kLong) : Value::Real(u);
    }
    case VT_I8:
        return Value::Real((double)PICK(llVal));
    case VT_UI8:
        return Value::Real((double)PICK(ullVal));
    case VT_R4:
        return Value::Real(PICK(fltVal), kSingle);
    case VT_R8:
        return Value::Real(PICK(dblVal));
    case VT_CY: {
        CY cy = PICK(cyVal);
        return Value::Real(cy.int64 / 10000.0);
    }
    case VT_DATE:
        return Value::Real(PICK(date), kDate);
    case VT_BOOL:
        return Value::Bool(PICK(boolVal) != VARIANT_FALSE);
    case VT_BSTR:
        return Value::Str(Narrow(PICK(bstrVal)));
    case VT_ERROR:
        return Value::Int(PICK(scode), kLong);
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* unknown = base == VT_DISPATCH ? PICK(pdispVal) : PICK(punkVal);
        IDispatch* dispatch = NULL;
        if (unknown)
            unknown->QueryInterface(IID_IDispatch, (void**)&dispatch);
        return Value::Object(dispatch);
    }
    default: {
        VARIANT converted;
        VariantInit(&converted);
        if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(v), 0, VT_BSTR))) {
            Value r = Value::Str(Narrow(converted.bstrVal));
            VariantClear(&converted);
            return r;
        }
        Fail(kErrTypeMismatch);
    }
    }
#undef PICK
}

SAFEARRAY* ToSafeArray(const ArrayData& array, VARTYPE elementType)
{
    size_t dims = array.counts.size();
    std::vector<SAFEARRAYBOUND> bounds(dims);
    // SAFEARRAY bounds list the last dimension first.
    for (size_t k = 0; k < dims; ++k) {
        bounds[dims - 1 - k].lLbound = array.lower[k];
        bounds[dims - 1 - k].cElements = (ULONG)array.counts[k];
    }
    SAFEARRAY* safe = SafeArrayCreate(elementType, (UINT)dims, bounds.data());
    if (!safe)
        Fail(kErrTypeMismatch);
    void* data = NULL;
    SafeArrayAccessData(safe, &data);
    for (size_t n = 0; n < array.items.size(); ++n) {
        const Value& item = array.items[n];
        switch (elementType) {
        case VT_BSTR:
            ((BSTR*)data)[n] = Wide(ToString(item));
            break;
        case VT_I4:
            ((LONG*)data)[n] = ToLong(item);
            break;
        case VT_I2:
            ((SHORT*)data)[n] = (SHORT)ToInteger(item);
            break;
        case VT_R8:
        case VT_DATE:
            ((double*)data)[n] = ToDouble(item);
            break;
        case VT_R4:
            ((float*)data)[n] = (float)ToDouble(item);
            break;
        case VT_BOOL:
            ((VARIANT_BOOL*)data)[n] = ToBool(item) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_DISPATCH:
            ((IDispatch**)data)[n] = item.type == kObject ? item.obj : NULL;
            if (item.type == kObject && item.obj)
                item.obj->AddRef();
            break;
        default:
            ToVariant(item, &((VARIANT*)data)[n]);
            break;
        }
    }
    SafeArrayUnaccessData(safe);
    return safe;
}

ArrayData* FromSafeArray(SAFEARRAY* safe, VType elementType)
{
    UINT dims = SafeArrayGetDim(safe);
    VARTYPE vt = VT_VARIANT;
    SafeArrayGetVartype(safe, &vt);
    ArrayData* array = new ArrayData;
    array->elementType = elementType;
    size_t total = 1;
    for (UINT k = 0; k < dims; ++k) {
        // SafeArrayGetLBound counts dimensions from 1, first one first.
        LONG low = 0, high = -1;
        SafeArrayGetLBound(safe, k + 1, &low);
        SafeArrayGetUBound(safe, k + 1, &high);
        array->lower.push_back(low);
        array->counts.push_back(high - low + 1);
        total *= (size_t)(high - low + 1);
    }
    array->items.resize(dims ? total : 0);
    void* data = NULL;
    if (total && dims && SUCCEEDED(SafeArrayAccessData(safe, &data))) {
        for (size_t n = 0; n < total; ++n) {
            VARIANT item;
            VariantInit(&item);
            item.vt = vt | VT_BYREF;
            item.byref = (BYTE*)data + n * SafeArrayGetElemsize(safe);
            array->items[n] = vt == VT_VARIANT ? FromVariant(*(VARIANT*)item.byref)
                                               : FromVariant(item);
            if (elementType != kVariant)
                array->items[n] = Coerce(array->items[n], elementType);
        }
        SafeArrayUnaccessData(safe);
    }
    return array;
}

// ---------------------------------------------------------------------------
// Operators.

int Compare(const Value& a, const Value& b)
{
    bool aText = a.type == kString, bText = b.type == kString;
    if (aText && bText) {
        int c = a.Text().compare(b.Text());
        return c < 0 ? -1 : c > 0;
    }
    if (aText || bText) {
        // A number and a text: as numbers when the text is one, else as texts.
        double n;
        const Value& text = aText ? a : b;
        if (!ParseNumber(text.Text(), &n)) {
            std::string x = ToString(a), y = ToString(b);
            int c = x.compare(y);
            return c < 0 ? -1 : c > 0;
        }
    }
    if (a.type == kEmpty && bText)
        return b.Text().empty() ? 0 : -1;
    if (b.type == kEmpty && aText)
        return a.Text().empty() ? 0 : 1;
    if (IsIntegral(a.type) && IsIntegral(b.type))
        return a.i < b.i ? -1 : a.i > b.i;
    double x = ToDouble(a), y = ToDouble(b);
    return x < y ? -1 : x > y;
}

Value Binary(BinaryOp op, const Value& left, const Value& right)
{
    const Value& a = left.Target();
    const Value& b = right.Target();
    // The common case first: two integers.
    if (IsIntegral(a.type) && IsIntegral(b.type) && a.type != kBoolean && b.type != kBoolean) {
        long long x = a.i, y = b.i;
        switch (op) {
        case kAdd:
            return IntegerResult(x + y, a.type, b.type);
        case kSubtract:
            return IntegerResult(x - y, a.type, b.type);
        case kMultiply:
            return IntegerResult(x * y, a.type, b.type);
        case kLess:
            return Value::Bool(x < y);
        case kLessEqual:
            return Value::Bool(x <= y);
        case kGreater:
            return Value::Bool(x > y);
        case kGreaterEqual:
            return Value::Bool(x >= y);
        case kEqual:
            return Value::Bool(x == y);
        case kNotEqual:
            return Value::Bool(x != y);
        default:
            break;
        }
    }
    if (op == kIs) {
        if (a.type != kObject || b.type != kObject)
            Fail(kErrObjectRequired);
        if (!a.obj || !b.obj)
            return Value::Bool(a.obj == b.obj);
        IUnknown* x = NULL;
        IUnknown* y = NULL;
        a.obj->QueryInterface(IID_IUnknown, (void**)&x);
        b.obj->QueryInterface(IID_IUnknown, (void**)&y);
        bool same = x == y;
        if (x)
            x->Release();
        if (y)
            y->Release();
        return Value::Bool(same);
    }
    if (op == kConcat) {
        if (a.type == kNull && b.type == kNull)
            return Value::Null();
        std::string text = a.type == kNull ? std::string() : ToString(a);
        text += b.type == kNull ? std::string() : ToString(b);
        return Value::Str(std::move(text));
    }
    if (op >= kEqual && op <= kGreaterEqual) {
        if (a.type == kNull || b.type == kNull)
            return Value::Null();
        int c = Compare(a, b);
        switch (op) {
        case kEqual:
            return Value::Bool(c == 0);
        case kNotEqual:
            return Value::Bool(c != 0);
        case kLess:
            return Value::Bool(c < 0);
        case kLessEqual:
            return Value::Bool(c <= 0);
        case kGreater:
            return Value::Bool(c > 0);
        default:
            return Value::Bool(c >= 0);
        }
    }
    if (op == kAdd && a.type == kString && b.type == kString)
        return Value::Str(a.Text() + b.Text());
    if (a.type == kNull || b.type == kNull)
        return Value::Null();
    if (op >= kAnd) {
        bool both = a.type == kBoolean && b.type == kBoolean;
        long x = ToLong(a), y = ToLong(b), r;
        switch (op) {
        case kAnd:
            r = x & y;
            break;
        case kOr:
            r = x | y;
            break;
        case kXor:
            r = x ^ y;
            break;
        case kEqv:
            r = ~(x ^ y);
            break;
        default:
            r = ~x | y;
            break;
        }
        return both ? Value::Bool(r != 0) : Value::Int(r);
    }
    Value x = Numeric(a), y = Numeric(b);
    bool integral = IsIntegral(x.type) && IsIntegral(y.type);
    switch (op) {
    case kIntDivide:
    case kModulo: {
        long p = ToLong(x), q = ToLong(y);
        if (q == 0)
            Fail(kErrDivisionByZero);
        if (p == (-2147483647L - 1) && q == -1)
            Fail(kErrOverflow);
        return IntegerResult(op == kIntDivide ? p / q : p % q, integral ? x.type : kLong,
                             integral ? y.type : kLong);
    }
    case kDivide: {
        double q = ToDouble(y);
        if (q == 0)
            Fail(kErrDivisionByZero);
        return Value::Real(ToDouble(x) / q);
    }
    case kPower:
        return Value::Real(pow(ToDouble(x), ToDouble(y)));
    default:
        break;
    }
    if (integral) {
        long long p = x.i, q = y.i;
        return IntegerResult(op == kAdd ? p + q : op == kSubtract ? p - q : p * q, x.type, y.type);
    }
    double p = ToDouble(x), q = ToDouble(y);
    double r = op == kAdd ? p + q : op == kSubtract ? p - q : p * q;
    // A date plus or minus a number stays a date.
    if ((x.type == kDate) != (y.type == kDate) && op != kMultiply)
        return Value::Real(r, kDate);
    return Value::Real(r);
}

Value Negate(const Value& source)
{
    const Value& v = source.Target();
    if (v.type == kNull)
        return Value::Null();
    Value n = Numeric(v);
    if (IsIntegral(n.type))
        return IntegerResult(-(long long)n.i, n.type, n.type);
    return Value::Real(-n.d, n.type == kDate ? kDouble : n.type);
}

Value Not(const Value& source)
{
    const Value& v = source.Target();
    if (v.type == kNull)
        return Value::Null();
    if (v.type == kBoolean)
        return Value::Bool(v.i == 0);
    return Value::Int(~ToLong(v), v.type == kInteger ? kInteger : kLong);
}

std::string TypeNameOf(const Value& source)
{
    const Value& v = source.Target();
    switch (v.type) {
    case kEmpty:
        return "Empty";
    case kNull:
        return "Null";
    case kInteger:
        return "Integer";
    case kLong:
        return "Long";
    case kSingle:
        return "Single";
    case kDouble:
        return "Double";
    case kDate:
        return "Date";
    case kString:
        return "String";
    case kBoolean:
        return "Boolean";
    case kObject: {
        if (!v.obj)
            return "Nothing";
        ITypeInfo* info = NULL;
        BSTR name = NULL;
        std::string result = "Object";
        if (SUCCEEDED(v.obj->GetTypeInfo(0, 0, &info)) && info) {
            if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &name, NULL, NULL, NULL)))
                result = Narrow(name);
            SysFreeString(name);
            info->Release();
        }
        return result;
    }
    case kArray:
        return "Variant()";
    default:
        return "Unknown";
    }
}

}  // namespace script
