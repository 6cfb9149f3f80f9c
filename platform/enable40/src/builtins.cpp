// The built-in functions: strings, numbers, dates, conversions, arrays,
// files and objects.
#include "interpreter.h"

#include <math.h>
#include <string.h>

#include <algorithm>

namespace script
{

namespace
{

typedef Value* Args;

std::string Str(const Value& v)
{
    return v.Target().type == kNull ? std::string() : ToString(v);
}

// A 1-based position argument.
size_t Position(const Value& v)
{
    long p = ToLong(v);
    if (p < 1)
        Fail(kErrInvalidCall);
    return (size_t)p;
}

long Count(const Value& v)
{
    long n = ToLong(v);
    if (n < 0)
        Fail(kErrInvalidCall);
    return n;
}

bool IsNullArg(const Value& v)
{
    return v.Target().type == kNull;
}

std::string Upper(std::string s)
{
    CharUpperBuffA(&s[0], (DWORD)s.size());
    return s;
}

std::string LowerText(std::string s)
{
    CharLowerBuffA(&s[0], (DWORD)s.size());
    return s;
}

// Compare mode argument: 0 binary, 1 text.
bool TextCompare(Args a, int count, int at)
{
    return count > at && ToLong(a[at]) == 1;
}

size_t Find(const std::string& text, const std::string& part, size_t from, bool ignoreCase)
{
    if (!ignoreCase)
        return text.find(part, from);
    return LowerText(text).find(LowerText(part), from);
}

// ---- strings
Value Len(Interpreter&, Args a, int)
{
    if (IsNullArg(a[0]))
        return Value::Null();
    return Value::Int((long)Str(a[0]).size());
}
Value Left(Interpreter&, Args a, int)
{
    if (IsNullArg(a[0]))
        return Value::Null();
    return Value::Str(Str(a[0]).substr(0, Count(a[1])));
}
Value Right(Interpreter&, Args a, int)
{
    if (IsNullArg(a[0]))
        return Value::Null();
    std::string s = Str(a[0]);
    size_t n = std::min((size_t)Count(a[1]), s.size());
    return Value::Str(s.substr(s.size() - n));
}
Value Mid(Interpreter&, Args a, int count)
{
    if (IsNullArg(a[0]))
        return Value::Null();
    std::string s = Str(a[0]);
    size_t start = Position(a[1]) - 1;
    if (start >= s.size())
        return Value::Str("");
    size_t n = count > 2 ? (size_t)Count(a[2]) : std::string::npos;
    return Value::Str(s.substr(start, n));
}
Value InStr(Interpreter&, Args a, int count)
{
    // InStr([start,] text, part [, compare])
    int at = 0;
    size_t start = 0;
    if (count >= 3) {
        start = Position(a[0]) - 1;
        at = 1;
    }
    if (IsNullArg(a[at]) || IsNullArg(a[at + 1]))
        return Value::Null();
    std::string text = Str(a[at]), part = Str(a[at + 1]);
    if (start > text.size())
        return Value::Int(0);
    size_t found = Find(text, part, start, TextCompare(a, count, at + 2));
    return Value::Int(found == std::string::npos ? 0 : (long)found + 1);
}
Value InStrRev(Interpreter&, Args a, int count)
{
    std::string text = Str(a[0]), part = Str(a[1]);
    size_t from = count > 2 && ToLong(a[2]) != -1 ? Position(a[2]) - 1 : std::string::npos;
    bool ignoreCase = TextCompare(a, count, 3);
    std::string t = ignoreCase ? LowerText(text) : text;
    std::string p = ignoreCase ? LowerText(part) : part;
    size_t found = t.rfind(p, from);
    return Value::Int(found == std::string::npos ? 0 : (long)found + 1);
}
Value UCase(Interpreter&, Args a, int)
{
    return IsNullArg(a[0]) ? Value::Null() : Value::Str(Upper(Str(a[0])));
}
Value LCase(Interpreter&, Args a, int)
{
    return IsNullArg(a[0]) ? Value::Null() : Value::Str(LowerText(Str(a[0])));
}
Value Trimmed(Args a, bool left, bool right)
{
    if (IsNullArg(a[0]))
        return Value::Null();
    std::string s = Str(a[0]);
    size_t b = 0, e = s.size();
    while (left && b < e && s[b] == ' ')
        ++b;
    while (right && e > b && s[e - 1] == ' ')
        --e;
    return Value::Str(s.substr(b, e - b));
}
Value Trim(Interpreter&, Args a, int) { return Trimmed(a, true, true); }
Value LTrim(Interpreter&, Args a, int) { return Trimmed(a, true, false); }
Value RTrim(Interpreter&, Args a, int) { return Trimmed(a, false, true); }
Value Replace(Interpreter&, Args a, int count)
{
    std::string text = Str(a[0]), find = Str(a[1]), with = Str(a[2]);
    size_t start = count > 3 ? Position(a[3]) - 1 : 0;
    long limit = count > 4 ? ToLong(a[4]) : -1;
    bool ignoreCase = TextCompare(a, count, 5);
    std::string result = text.substr(0, std::min(start, text.size()));
    if (find.empty() || start >= text.size())
        return Value::Str(start >= text.size() ? "" : text.substr(start));
    size_t at = start;
    while (limit != 0) {
        size_t found = Find(text, find, at, ignoreCase);
        if (found == std::string::npos)
            break;
        result += text.substr(at, found - at) + with;
        at = found + find.size();
        if (limit > 0)
            --limit;
    }
    result += text.substr(at);
    return Value::Str(result.substr(start));
}
Value Space(Interpreter&, Args a, int)
{
    return Value::Str(std::string(Count(a[0]), ' '));
}
Value StringOf(Interpreter&, Args a, int)
{
    const Value& c = a[1].Target();
    char ch = c.type == kString ? (c.Text().empty() ? (Fail(kErrInvalidCall), ' ') : c.Text()[0])
                                : (char)ToLong(c);
    return Value::Str(std::string(Count(a[0]), ch));
}
Value Chr(Interpreter&, Args a, int)
{
    long code = ToLong(a[0]);
    if (code < 0 || code > 255)
        Fail(kErrInvalidCall);
    return Value::Str(std::string(1, (char)code));
}
Value Asc(Interpreter&, Args a, int)
{
    std::string s = Str(a[0]);
    if (s.empty())
        Fail(kErrInvalidCall);
    return Value::Int((unsigned char)s[0], kInteger);
}
Value StrComp(Interpreter&, Args a, int count)
{
    if (IsNullArg(a[0]) || IsNullArg(a[1]))
        return Value::Null();
    std::string x = Str(a[0]), y = Str(a[1]);
    if (TextCompare(a, count, 2)) {
        x = LowerText(x);
        y = LowerText(y);
    }
    int c = x.compare(y);
    return Value::Int(c < 0 ? -1 : c > 0, kInteger);
}
Value StrReverse(Interpreter&, Args a, int)
{
    std::string s = Str(a[0]);
    std::reverse(s.begin(), s.end());
    return Value::Str(s);
}
Value Split(Interpreter&, Args a, int count)
{
    std::string text = Str(a[0]);
    std::string delimiter = count > 1 ? Str(a[1]) : " ";
    long limit = count > 2 ? ToLong(a[2]) : -1;
    ArrayData* array = new ArrayData;
    Value result = Value::Array(array);
    if (!text.empty()) {
        size_t at = 0;
        while (limit != 1 && !delimiter.empty()) {
            size_t found = Find(text, delimiter, at, TextCompare(a, count, 3));
            if (found == std::string::npos)
                break;
            array->items.push_back(Value::Str(text.substr(at, found - at)));
            at = found + delimiter.size();
            if (limit > 0)
                --limit;
        }
        array->items.push_back(Value::Str(text.substr(at)));
    }
    array->lower.push_back(0);
    array->counts.push_back((long)array->items.size());
    return result;
}
Value Join(Interpreter&, Args a, int count)
{
    const Value& v = a[0].Target();
    if (v.type != kArray || v.arr->counts.size() != 1)
        Fail(kErrTypeMismatch);
    std::string delimiter = count > 1 ? Str(a[1]) : " ";
    std::string result;
    for (size_t k = 0; k < v.arr->items.size(); ++k) {
        if (k)
            result += delimiter;
        result += Str(v.arr->items[k]);
    }
    return Value::Str(result);
}

// ---- numbers
Value Abs(Interpreter&, Args a, int)
{
    const Value& v = a[0].Target();
    if (v.type == kNull)
        return Value::Null();
    if (v.type == kInteger || v.type == kLong)
        return v.i < 0 ? Negate(v) : v;
    return Value::Real(fabs(ToDouble(v)));
}
Value IntOf(Interpreter&, Args a, int)
{
    const Value& v = a[0].Target();
    if (v.type == kInteger || v.type == kLong)
        return v;
    return Value::Real(floor(ToDouble(v)));
}
Value Fix(Interpreter&, Args a, int)
{
    const Value& v = a[0].Target();
    if (v.type == kInteger || v.type == kLong)
        return v;
    return Value::Real(trunc(ToDouble(v)));
}
Value Sgn(Interpreter&, Args a, int)
{
    double d = ToDouble(a[0]);
    return Value::Int(d < 0 ? -1 : d > 0, kInteger);
}
Value Sqr(Interpreter&, Args a, int)
{
    double d = ToDouble(a[0]);
    if (d < 0)
        Fail(kErrInvalidCall);
    return Value::Real(sqrt(d));
}
Value Round(Interpreter&, Args a, int count)
{
    double d = ToDouble(a[0]);
    long places = count > 1 ? ToLong(a[1]) : 0;
    double scale = pow(10.0, (double)places);
    double r = nearbyint(d * scale) / scale;
    if (places == 0 && (a[0].Target().type == kInteger || a[0].Target().type == kLong))
        return a[0].Target();
    return Value::Real(r);
}
Value Exp(Interpreter&, Args a, int) { return Value::Real(exp(ToDouble(a[0]))); }
Value Log(Interpreter&, Args a, int)
{
    double d = ToDouble(a[0]);
    if (d <= 0)
        Fail(kErrInvalidCall);
    return Value::Real(log(d));
}
Value Sin(Interpreter&, Args a, int) { return Value::Real(sin(ToDouble(a[0]))); }
Value Cos(Interpreter&, Args a, int) { return Value::Real(cos(ToDouble(a[0]))); }
Value Tan(Interpreter&, Args a, int) { return Value::Real(tan(ToDouble(a[0]))); }
Value Atn(Interpreter&, Args a, int) { return Value::Real(atan(ToDouble(a[0]))); }
Value Hex(Interpreter&, Args a, int)
{
    char text[16];
    snprintf(text, sizeof text, "%lX", (unsigned long)ToLong(a[0]));
    return Value::Str(text);
}
Value Oct(Interpreter&, Args a, int)
{
    char text[16];
    snprintf(text, sizeof text, "%lo", (unsigned long)ToLong(a[0]));
    return Value::Str(text);
}
Value Rnd(Interpreter& in, Args a, int count)
{
    if (count && ToDouble(a[0]) == 0)
        return Value::Real(in.randomSeed, kSingle);
    // A linear congruential generator over 24 bits.
    unsigned long state = (unsigned long)(in.randomSeed * 16777216.0);
    state = (state * 1140671485UL + 12820163UL) & 0xFFFFFF;
    in.randomSeed = state / 16777216.0;
    return Value::Real(in.randomSeed, kSingle);
}
Value Randomize(Interpreter& in, Args a, int count)
{
    double seed = count ? ToDouble(a[0]) : (double)GetTickCount();
    in.randomSeed = fmod(fabs(seed) * 0.000123 + 0.1, 1.0);
    return Value();
}

// ---- conversions and tests
Value CInt(Interpreter&, Args a, int) { return Coerce(a[0], kInteger); }
Value CLng(Interpreter&, Args a, int) { return Coerce(a[0], kLong); }
Value CDbl(Interpreter&, Args a, int) { return Coerce(a[0], kDouble); }
Value CSng(Interpreter&, Args a, int) { return Coerce(a[0], kSingle); }
Value CStr(Interpreter&, Args a, int) { return Coerce(a[0], kString); }
Value CBool(Interpreter&, Args a, int) { return Coerce(a[0], kBoolean); }
Value CDate(Interpreter&, Args a, int) { return Coerce(a[0], kDate); }
Value Val(Interpreter&, Args a, int)
{
    std::string s = Str(a[0]);
    std::string digits;
    for (char c : s)
        if (c != ' ' && c != '\t')
            digits += c;
    double d = strtod(digits.c_str(), NULL);
    return Value::Real(d);
}
Value StrOf(Interpreter&, Args a, int)
{
    std::string s = ToString(a[0]);
    if (ToDouble(a[0]) >= 0)
        s = " " + s;
    return Value::Str(s);
}
Value IsNumeric(Interpreter&, Args a, int)
{
    const Value& v = a[0].Target();
    double d;
    return Value::Bool(v.IsNumeric() || v.type == kEmpty ||
                       (v.type == kString && ParseNumber(v.Text(), &d)));
}
Value IsDate(Interpreter&, Args a, int)
{
    const Value& v = a[0].Target();
    if (v.type == kDate)
        return Value::Bool(true);
    if (v.type != kString)
        return Value::Bool(false);
    try {
        ToDate(v);
        return Value::Bool(true);
    } catch (ScriptError&) {
        return Value::Bool(false);
    }
}
Value IsEmpty(Interpreter&, Args a, int) { return Value::Bool(a[0].Target().type == kEmpty); }
Value IsNull(Interpreter&, Args a, int) { return Value::Bool(a[0].Target().type == kNull); }
Value IsObject(Interpreter&, Args a, int) { return Value::Bool(a[0].Target().type == kObject); }
Value IsArray(Interpreter&, Args a, int) { return Value::Bool(a[0].Target().type == kArray); }
Value TypeName(Interpreter&, Args a, int) { return Value::Str(TypeNameOf(a[0])); }
Value VarType(Interpreter&, Args a, int)
{
    const Value& v = a[0].Target();
    if (v.type == kArray)
        return Value::Int(VT_ARRAY | VT_VARIANT, kInteger);
    return Value::Int(v.type, kInteger);
}

// ---- arrays
const ArrayData& ArrayArg(const Value& v)
{
    if (v.Target().type != kArray)
        Fail(kErrTypeMismatch);
    return *v.Target().arr;
}
size_t Dimension(const ArrayData& array, Args a, int count)
{
    long d = count > 1 ? ToLong(a[1]) : 1;
    if (d < 1 || (size_t)d > array.counts.size())
        Fail(kErrSubscript);
    return (size_t)d - 1;
}
Value UBound(Interpreter&, Args a, int count)
{
    const ArrayData& array = ArrayArg(a[0]);
    size_t d = Dimension(array, a, count);
    return Value::Int(array.lower[d] + array.counts[d] - 1);
}
Value LBound(Interpreter&, Args a, int count)
{
    const ArrayData& array = ArrayArg(a[0]);
    return Value::Int(array.lower[Dimension(array, a, count)]);
}
Value ArrayOf(Interpreter&, Args a, int count)
{
    ArrayData* array = new ArrayData;
    for (int k = 0; k < count; ++k)
        array->items.push_back(a[k].Target());
    array->lower.push_back(0);
    array->counts.push_back(count);
    return Value::Array(array);
}

// ---- dates
SYSTEMTIME TimeOf(const Value& v)
{
    SYSTEMTIME t = {};
    if (!VariantTimeToSystemTime(ToDate(v), &t))
        Fail(kErrInvalidCall);
    return t;
}
Value DateValueOf(const SYSTEMTIME& t)
{
    double d = 0;
    SystemTimeToVariantTime(const_cast<SYSTEMTIME*>(&t), &d);
    return Value::Real(d, kDate);
}
Value Now(Interpreter&, Args, int)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    t.wMilliseconds = 0;
    return DateValueOf(t);
}
Value Today(Interpreter&, Args, int)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    t.wHour = t.wMinute = t.wSecond = t.wMilliseconds = 0;
    return DateValueOf(t);
}
Value TimeNow(Interpreter&, Args, int)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    double d = (t.wHour * 3600 + t.wMinute * 60 + t.wSecond) / 86400.0;
    return Value::Real(d, kDate);
}
Value Timer(Interpreter&, Args, int)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return Value::Real(t.wHour * 3600.0 + t.wMinute * 60 + t.wSecond + t.wMilliseconds / 1000.0,
                       kSingle);
}
Value Year(Interpreter&, Args a, int) { return Value::Int(TimeOf(a[0]).wYear, kInteger); }
Value Month(Interpreter&, Args a, int) { return Value::Int(TimeOf(a[0]).wMonth, kInteger); }
Value Day(Interpreter&, Args a, int) { return Value::Int(TimeOf(a[0]).wDay, kInteger); }
Value Hour(Interpreter&, Args a, int) { return Value::Int(TimeOf(a[0]).wHour, kInteger); }
Value Minute(Interpreter&, Args a, int) { return Value::Int(TimeOf(a[0]).wMinute, kInteger); }
Value Second(Interpreter&, Args a, int) { return Value::Int(TimeOf(a[0]).wSecond, kInteger); }
Value Weekday(Interpreter&, Args a, int) { return Value::Int(TimeOf(a[0]).wDayOfWeek + 1, kInteger); }
Value DateSerial(Interpreter&, Args a, int)
{
    // Months and days out of range roll over into the next unit.
    long year = ToLong(a[0]), month = ToLong(a[1]), day = ToLong(a[2]);
    year += (month - 1) >= 0 ? (month - 1) / 12 : -((12 - month) / 12);
    month = ((month - 1) % 12 + 12) % 12 + 1;
    SYSTEMTIME t = {};
    t.wYear = (WORD)year;
    t.wMonth = (WORD)month;
    t.wDay = 1;
    double d = 0;
    if (!SystemTimeToVariantTime(&t, &d))
        Fail(kErrInvalidCall);
    return Value::Real(d + day - 1, kDate);
}
Value TimeSerial(Interpreter&, Args a, int)
{
    double seconds = ToLong(a[0]) * 3600.0 + ToLong(a[1]) * 60.0 + ToLong(a[2]);
    return Value::Real(seconds / 86400.0, kDate);
}
double IntervalDays(const std::string& unit)
{
    std::string u = LowerText(unit);
    if (u == "d" || u == "y" || u == "w")
        return 1;
    if (u == "ww")
        return 7;
    if (u == "h")
        return 1.0 / 24;
    if (u == "n")
        return 1.0 / 1440;
    if (u == "s")
        return 1.0 / 86400;
    return 0;
}
Value DateAdd(Interpreter& in, Args a, int)
{
    std::string unit = LowerText(Str(a[0]));
    long n = ToLong(a[1]);
    double date = ToDate(a[2]);
    if (unit == "yyyy" || unit == "q" || unit == "m") {
        SYSTEMTIME t = TimeOf(a[2]);
        long months = unit == "yyyy" ? n * 12 : unit == "q" ? n * 3 : n;
        Value args[3] = {Value::Int(t.wYear), Value::Int(t.wMonth + months), Value::Int(1)};
        double first = DateSerial(in, args, 3).d;
        double fraction = date - floor(date);
        return Value::Real(first + t.wDay - 1 + fraction, kDate);
    }
    double days = IntervalDays(unit);
    if (days == 0)
        Fail(kErrInvalidCall);
    return Value::Real(date + n * days, kDate);
}
Value DateDiff(Interpreter&, Args a, int)
{
    std::string unit = LowerText(Str(a[0]));
    SYSTEMTIME x = TimeOf(a[1]), y = TimeOf(a[2]);
    if (unit == "yyyy")
        return Value::Int(y.wYear - x.wYear);
    if (unit == "m")
        return Value::Int((y.wYear - x.wYear) * 12 + y.wMonth - x.wMonth);
    if (unit == "q")
        return Value::Int((y.wYear - x.wYear) * 4 + (y.wMonth - 1) / 3 - (x.wMonth - 1) / 3);
    double days = IntervalDays(unit);
    if (days == 0)
        Fail(kErrInvalidCall);
    double from = ToDate(a[1]), to = ToDate(a[2]);
    if (days >= 1)
        return Value::Int((long)((floor(to) - floor(from)) / days));
    return Value::Int((long)nearbyint((to - from) / days));
}

// ---- files and objects
Value EndOfFile(Interpreter& in, Args a, int)
{
    Interpreter::OpenFile& f = in.File(ToLong(a[0]));
    int c = fgetc(f.file);
    if (c == EOF)
        return Value::Bool(true);
    ungetc(c, f.file);
    return Value::Bool(false);
}
Value FreeFile(Interpreter& in, Args, int)
{
    for (long n = 1; n <= 511; ++n)
        if (!in.files.count(n))
            return Value::Int(n, kInteger);
    Fail(kErrTooManyFiles);
}
Value CreateObject(Interpreter&, Args a, int)
{
    std::string progId = Str(a[0]);
    BSTR wide = Wide(progId);
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(wide, &clsid);
    SysFreeString(wide);
    IDispatch* object = NULL;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, NULL, CLSCTX_SERVER, IID_IDispatch, (void**)&object);
    if (FAILED(hr))
        Fail(kErrCannotCreateObject, ErrorDescription(kErrCannotCreateObject) + ": '" + progId + "'");
    return Value::Object(object);
}
Value GetObject(Interpreter&, Args a, int count)
{
    std::string path = count > 0 ? Str(a[0]) : "";
    std::string progId = count > 1 ? Str(a[1]) : "";
    IDispatch* object = NULL;
    HRESULT hr = E_FAIL;
    if (!path.empty()) {
        BSTR wide = Wide(path);
        hr = CoGetObject(wide, NULL, IID_IDispatch, (void**)&object);
        SysFreeString(wide);
    } else if (!progId.empty()) {
        BSTR wide = Wide(progId);
        CLSID clsid;
        hr = CLSIDFromProgID(wide, &clsid);
        SysFreeString(wide);
        IUnknown* unknown = NULL;
        if (SUCCEEDED(hr))
            hr = GetActiveObject(clsid, NULL, &unknown);
        if (SUCCEEDED(hr)) {
            hr = unknown->QueryInterface(IID_IDispatch, (void**)&object);
            unknown->Release();
        }
    }
    if (FAILED(hr) || !object)
        Fail(kErrCannotCreateObject, ErrorDescription(kErrCannotCreateObject) + ": '" +
                                         (path.empty() ? progId : path) + "'");
    return Value::Object(object);
}

const Builtin kBuiltins[] = {
    {"Abs", 1, 1, Abs},
    {"Array", 0, kMaxBuiltinArgs, ArrayOf},
    {"Asc", 1, 1, Asc},
    {"Atn", 1, 1, Atn},
    {"CBool", 1, 1, CBool},
    {"CDate", 1, 1, CDate},
    {"CDbl", 1, 1, CDbl},
    {"Chr", 1, 1, Chr},
    {"CInt", 1, 1, CInt},
    {"CLng", 1, 1, CLng},
    {"Cos", 1, 1, Cos},
    {"CreateObject", 1, 2, CreateObject},
    {"CSng", 1, 1, CSng},
    {"CStr", 1, 1, CStr},
    {"Date", 0, 0, Today},
    {"DateAdd", 3, 3, DateAdd},
    {"DateDiff", 3, 3, DateDiff},
    {"DateSerial", 3, 3, DateSerial},
    {"Day", 1, 1, Day},
    {"EOF", 1, 1, EndOfFile},
    {"Exp", 1, 1, Exp},
    {"Fix", 1, 1, Fix},
    {"FreeFile", 0, 0, FreeFile},
    {"GetObject", 0, 2, GetObject},
    {"Hex", 1, 1, Hex},
    {"Hour", 1, 1, Hour},
    {"InStr", 2, 4, InStr},
    {"InStrRev", 2, 4, InStrRev},
    {"Int", 1, 1, IntOf},
    {"IsArray", 1, 1, IsArray},
    {"IsDate", 1, 1, IsDate},
    {"IsEmpty", 1, 1, IsEmpty},
    {"IsNull", 1, 1, IsNull},
    {"IsNumeric", 1, 1, IsNumeric},
    {"IsObject", 1, 1, IsObject},
    {"Join", 1, 2, Join},
    {"LBound", 1, 2, LBound},
    {"LCase", 1, 1, LCase},
    {"Left", 2, 2, Left},
    {"Len", 1, 1, Len},
    {"Log", 1, 1, Log},
    {"LTrim", 1, 1, LTrim},
    {"Mid", 2, 3, Mid},
    {"Minute", 1, 1, Minute},
    {"Month", 1, 1, Month},
    {"Now", 0, 0, Now},
    {"Oct", 1, 1, Oct},
    {"Randomize", 0, 1, Randomize},
    {"Replace", 3, 6, Replace},
    {"Right", 2, 2, Right},
    {"Rnd", 0, 1, Rnd},
    {"Round", 1, 2, Round},
    {"RTrim", 1, 1, RTrim},
    {"Second", 1, 1, Second},
    {"Sgn", 1, 1, Sgn},
    {"Sin", 1, 1, Sin},
    {"Space", 1, 1, Space},
    {"Split", 1, 4, Split},
    {"Sqr", 1, 1, Sqr},
    {"Str", 1, 1, StrOf},
    {"StrComp", 2, 3, StrComp},
    {"String", 2, 2, StringOf},
    {"StrReverse", 1, 1, StrReverse},
    {"Tan", 1, 1, Tan},
    {"Time", 0, 0, TimeNow},
    {"Timer", 0, 0, Timer},
    {"TimeSerial", 3, 3, TimeSerial},
    {"Trim", 1, 1, Trim},
    {"TypeName", 1, 1, TypeName},
    {"UBound", 1, 2, UBound},
    {"UCase", 1, 1, UCase},
    {"Val", 1, 1, Val},
    {"VarType", 1, 1, VarType},
    {"Weekday", 1, 1, Weekday},
    {"Year", 1, 1, Year},
};

}  // namespace

const Builtin* FindBuiltin(const std::string& name)
{
    for (const Builtin& b : kBuiltins)
        if (_stricmp(b.name, name.c_str()) == 0)
            return &b;
    return nullptr;
}

}  // namespace script
