// Values of the script language: a small variant with reference-counted
// strings and arrays. Arrays have value semantics through copy on write.
#ifndef ENABLE40_VALUE_H
#define ENABLE40_VALUE_H

#include <windows.h>
#include <oaidl.h>

#include <stdint.h>
#include <string>
#include <vector>

namespace script
{

// Value types; the numbers are the automation variant types they map to.
// kVariant is a declared type only: "any type".
enum VType : uint8_t {
    kEmpty = VT_EMPTY,
    kNull = VT_NULL,
    kInteger = VT_I2,
    kLong = VT_I4,
    kSingle = VT_R4,
    kDouble = VT_R8,
    kDate = VT_DATE,
    kString = VT_BSTR,
    kObject = VT_DISPATCH,
    kBoolean = VT_BOOL,
    kVariant = VT_VARIANT,
    kArray = 0x40,  // an array value; its element type lives in the array
    kRef = 0x41     // a ByRef parameter slot: points at the caller's value
};

// Run-time error numbers.
enum ErrorNumber {
    kErrInvalidCall = 5,
    kErrOverflow = 6,
    kErrSubscript = 9,
    kErrArrayLocked = 10,
    kErrDivisionByZero = 11,
    kErrTypeMismatch = 13,
    kErrOutOfStack = 28,
    kErrSubNotDefined = 35,
    kErrBadFileNumber = 52,
    kErrFileNotFound = 53,
    kErrBadFileMode = 54,
    kErrFileAlreadyOpen = 55,
    kErrInputPastEnd = 62,
    kErrTooManyFiles = 67,
    kErrObjectNotSet = 91,
    kErrInvalidNull = 94,
    kErrCannotCreateObject = 429,
    kErrObjectRequired = 424,
    kErrNoSuchMember = 438,
    kErrWrongArgumentCount = 450,
    kErrNotEnumerable = 451,
};

// A run-time error as it travels up to an On Error handler or out of the
// run; number is Err.Number (an HRESULT for automation errors).
struct ScriptError {
    long number;
    std::string description;
    int line = 0;  // set where a statement first sees it
};
[[noreturn]] void Fail(long number);
[[noreturn]] void Fail(long number, const std::string& description);
std::string ErrorDescription(long number);

struct ArrayData;
struct StringData {
    long refs;
    std::string text;
};

class Value
{
public:
    Value() : type(kEmpty), bits(0) {}
    Value(const Value& other) : type(other.type), refDeclared(other.refDeclared), bits(other.bits)
    {
        AddRef();
    }
    Value(Value&& other) noexcept
        : type(other.type), refDeclared(other.refDeclared), bits(other.bits)
    {
        other.type = kEmpty;
    }
    ~Value() { Release(); }
    Value& operator=(const Value& other)
    {
        if (this != &other) {
            Value copy(other);
            Swap(copy);
        }
        return *this;
    }
    Value& operator=(Value&& other) noexcept
    {
        Swap(other);
        return *this;
    }
    void Swap(Value& other)
    {
        std::swap(type, other.type);
        std::swap(refDeclared, other.refDeclared);
        std::swap(bits, other.bits);
    }

    static Value Int(long v, VType t = kLong)
    {
        Value r;
        r.type = t;
        r.i = v;
        return r;
    }
    static Value Bool(bool v) { return Int(v ? -1 : 0, kBoolean); }
    static Value Real(double v, VType t = kDouble)
    {
        Value r;
        r.type = t;
        r.d = v;
        return r;
    }
    static Value Str(std::string text);
    static Value Null()
    {
        Value r;
        r.type = kNull;
        return r;
    }
    static Value Object(IDispatch* object);  // takes a new reference
    static Value Nothing() { return Object(NULL); }
    static Value Array(ArrayData* array);    // takes the array's reference
    static Value Reference(Value* target, VType declared)
    {
        Value r;
        r.type = kRef;
        r.refDeclared = declared;
        r.ref = target;
        return r;
    }

    VType type;
    VType refDeclared = kVariant;  // kRef: the declared type of the target
    union {
        long i;  // kInteger, kLong, kBoolean (-1 / 0)
        double d;  // kSingle, kDouble, kDate
        StringData* s;
        IDispatch* obj;  // NULL is Nothing
        ArrayData* arr;
        Value* ref;
        uint64_t bits;
    };

    bool IsNumeric() const
    {
        return type == kInteger || type == kLong || type == kDouble || type == kSingle ||
               type == kBoolean || type == kDate;
    }
    const std::string& Text() const { return s->text; }
    // Follows a ByRef slot.
    Value& Target() { return type == kRef ? *ref : *this; }
    const Value& Target() const { return type == kRef ? *ref : *this; }

private:
    void AddRef();
    void Release();
};

struct ArrayData {
    long refs = 1;
    VType elementType = kVariant;
    std::vector<long> lower;   // per dimension
    std::vector<long> counts;  // per dimension
    std::vector<Value> items;  // first dimension varies fastest
    bool locked = false;       // iterated by For Each / a dynamic array fixed by Dim
    bool fixedSize = false;    // Dim a(n): ReDim refuses it
};

// Text between the script (ANSI) and automation (BSTR).
std::string Narrow(BSTR text);
BSTR Wide(const std::string& text);

// Conversions; each fails with kErrTypeMismatch (or kErrOverflow) where the
// value does not convert.
double ToDouble(const Value& v);
long ToLong(const Value& v);
long ToInteger(const Value& v);
bool ToBool(const Value& v);
double ToDate(const Value& v);
std::string ToString(const Value& v);
// Parses a number from text as CDbl does; false when the text is no number.
bool ParseNumber(const std::string& text, double* value);
// A value converted to a declared type (kVariant: unchanged).
Value Coerce(const Value& v, VType declared);
// The initial value of a variable of a declared type.
Value DefaultValue(VType declared);
// Automation variants, both ways. ToVariant makes an owned copy.
void ToVariant(const Value& v, VARIANT* out);
Value FromVariant(const VARIANT& v);
// A SAFEARRAY of the array's elements with the given element type (VT_BSTR,
// VT_I4, VT_VARIANT, ...), and back.
SAFEARRAY* ToSafeArray(const ArrayData& array, VARTYPE elementType);
ArrayData* FromSafeArray(SAFEARRAY* safe, VType elementType);

// Operators.
enum BinaryOp {
    kAdd, kSubtract, kMultiply, kDivide, kIntDivide, kModulo, kPower, kConcat,
    kEqual, kNotEqual, kLess, kLessEqual, kGreater, kGreaterEqual,
    kAnd, kOr, kXor, kEqv, kImp, kIs
};
Value Binary(BinaryOp op, const Value& a, const Value& b);
Value Negate(const Value& v);
Value Not(const Value& v);
// -1, 0, 1 (Null compares with nothing: the caller checks first).
int Compare(const Value& a, const Value& b);
// The type name of TypeName().
std::string TypeNameOf(const Value& v);

}  // namespace script

#endif
