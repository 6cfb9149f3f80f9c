// The language through the engine's ordinals: each script's printed lines,
// the run's result and its error messages (kind and line).
#include "script_runner.h"

#include <temp_path.h>

#include <gtest/gtest.h>

namespace
{

const std::string kNoErrors = "";

struct Case {
    const char* what;
    std::string source;
    long result;
    std::string output;  // printed lines joined by "|"
    std::string errors;  // "kind:line" joined by "|"
};

void Check(const Case& c)
{
    SCOPED_TRACE(c.what);
    ScriptRunner runner;
    long result = runner.CompileAndRun(c.source);
    EXPECT_EQ(ResultName(c.result), ResultName(result)) << runner.FirstErrorText();
    EXPECT_EQ(c.output, runner.Output());
    EXPECT_EQ(c.errors, runner.Errors()) << runner.FirstErrorText();
}

TEST(Language, ExpressionsAndConversions)
{
    const Case cases[] = {
        {"integer arithmetic and precedence", "Print 1 + 2 * 3, -2 ^ 2, 7 \\ 2, 7 Mod 3, 2 ^ 10",
         kEngineOK, "7\t-4\t3\t1\t1024", kNoErrors},
        {"integers grow instead of overflowing",
         "x = 32767 + 1 : Print x, TypeName(x)\nPrint TypeName(2147483647 + 1)", kEngineOK,
         "32768\tLong|Double", kNoErrors},
        {"division and doubles", "Print 1 / 4, 10 / 4 * 2, 0.1 + 0.2 = 0.3", kEngineOK,
         "0.25\t5\tFalse", kNoErrors},
        {"strings", "s = \"Hello\" & \", \" & \"World\"\nPrint Len(s), UCase(Left(s, 5)), Mid(s, 8), "
                    "InStr(s, \"o\"), Replace(s, \"l\", \"L\")",
         kEngineOK, "12\tHELLO\tWorld\t5\tHeLLo, WorLd", kNoErrors},
        {"split, join, trim and friends",
         "a = Split(\"x,y,z\", \",\")\nPrint UBound(a), Join(a, \"-\"), Trim(\"  t  \") & \"|\", "
         "StrReverse(\"abc\"), String(3, \"*\"), Chr(65) & Asc(\"B\")",
         kEngineOK, "2\tx-y-z\tt|\tcba\t***\tA66", kNoErrors},
        {"conversions", "Print CInt(2.5), CInt(3.5), CLng(\"42\"), CStr(True), CDbl(\"1.5\") * 2, "
                        "Hex(255), IsNumeric(\"12\"), IsNumeric(\"x\")",
         kEngineOK, "2\t4\t42\tTrue\t3\tFF\tTrue\tFalse", kNoErrors},
        {"comparisons and logic", "Print 1 < 2 And \"a\" < \"b\", Not True, 5 And 3, 1 = 1 Or 1 = 2",
         kEngineOK, "True\tFalse\t1\tTrue", kNoErrors},
        {"dates", "d = DateSerial(2024, 2, 28)\nd = DateAdd(\"d\", 2, d)\nPrint Year(d), Month(d), "
                  "Day(d), DateDiff(\"d\", DateSerial(2024, 1, 1), d), Weekday(d)",
         kEngineOK, "2024\t3\t1\t60\t6", kNoErrors},
        {"empty, null and nothing", "Print IsEmpty(x), IsNull(Null), x & \"\" = \"\", "
                                    "TypeName(Nothing), Nothing Is Nothing",
         kEngineOK, "True\tTrue\tTrue\tNothing\tTrue", kNoErrors},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Language, StatementsAndProcedures)
{
    const Case cases[] = {
        {"if, elseif and one-line if",
         "For i = 1 To 3\n If i = 1 Then\n  Print \"one\"\n ElseIf i = 2 Then\n  Print \"two\"\n Else\n"
         "  Print \"more\"\n End If\nNext\nIf i = 4 Then Print \"four\" Else Print \"no\"",
         kEngineOK, "one|two|more|four", kNoErrors},
        {"select case", "For Each v In Array(1, 5, 12, 0)\n Select Case v\n  Case 1, 2: Print \"low\"\n"
                        "  Case 3 To 10: Print \"mid\"\n  Case Is > 10: Print \"high\"\n"
                        "  Case Else: Print \"other\"\n End Select\nNext",
         kEngineOK, "low|mid|high|other", kNoErrors},
        {"loops and exits",
         "Do While n < 3 : n = n + 1 : Loop\nDo : n = n + 10 : Loop Until n > 30\nWhile m < 2 : m = m + 1 : "
         "Wend\nFor k = 10 To 1 Step -3 : s = s & k & \",\" : Next\nFor j = 1 To 100 : If j = 4 Then Exit "
         "For\nNext\nPrint n, m, s, j",
         kEngineOK, "33\t2\t10,7,4,1,\t4", kNoErrors},
        {"goto", "i = 0\nagain:\ni = i + 1\nIf i < 3 Then GoTo again\nPrint i", kEngineOK, "3",
         kNoErrors},
        {"sub and function, byval and byref",
         "Sub Twice(ByRef a, ByVal b)\n a = a * 2 : b = b * 2\nEnd Sub\nFunction Fib(n)\n If n < 2 Then\n"
         "  Fib = n\n Else\n  Fib = Fib(n - 1) + Fib(n - 2)\n End If\nEnd Function\nx = 3 : y = 3\n"
         "Twice x, y\nCall Twice(x, y)\nPrint x, y, Fib(15)",
         kEngineOK, "12\t3\t610", kNoErrors},
        {"exit sub and recursion depth",
         "Sub S(n)\n If n = 0 Then Exit Sub\n S n - 1\n c = c + 1\nEnd Sub\nS 500\nPrint \"ok\"",
         kEngineOK, "ok", kNoErrors},
        {"typed variables, const and arrays",
         "Const Limit = 4\nDim total As Long, name As String, flag As Boolean\nDim a(3) As Integer\n"
         "For i = 0 To Limit - 1 : a(i) = i * 1.6 : total = total + a(i) : Next\nname = 12\n"
         "Print total, TypeName(name), name & \"!\", flag, TypeName(a(0))",
         kEngineOK, "10\tString\t12!\tFalse\tInteger", kNoErrors},
        {"redim preserve and copies of arrays",
         "Dim a()\nReDim a(1)\na(0) = \"x\" : a(1) = \"y\"\nReDim Preserve a(2)\na(2) = \"z\"\nb = a\n"
         "b(0) = \"changed\"\nPrint Join(a, \"\"), UBound(b), b(0)",
         kEngineOK, "xyz\t2\tchanged", kNoErrors},
        {"on error resume next and err",
         "On Error Resume Next\nx = 1 / 0\nPrint Err.Number, Err.Description\nErr.Clear\nPrint Err.Number\n"
         "Err.Raise 1000, \"me\", \"mine\"\nPrint Err.Number, Err.Source, Err.Description",
         kEngineOK, "11\tDivision by zero|0|1000\tme\tmine", kNoErrors},
        {"on error goto a label",
         "Sub Risky()\n On Error GoTo failed\n x = CLng(\"nope\")\n Print \"not here\"\n Exit Sub\n"
         "failed:\n Print \"caught \" & Err.Number\nEnd Sub\nRisky\nPrint \"after\"",
         kEngineOK, "caught 13|after", kNoErrors},
        {"an error in a procedure reaches the caller's handler",
         "Sub Inner()\n Err.Raise 5\nEnd Sub\nOn Error Resume Next\nInner\nPrint Err.Number", kEngineOK,
         "5", kNoErrors},
        {"end stops the script", "Print 1\nEnd\nPrint 2", kEngineOK, "1", kNoErrors},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Language, ErrorsCarryTheirKindAndLine)
{
    const Case cases[] = {
        {"a syntax error", "Print 1\nIf x Then\nPrint 2", kEngineSyntaxError, "", "2:3"},
        {"an unterminated string", "x = 1\ny = \"open", kEngineSyntaxError, "", "2:2"},
        {"a missing Next", "For i = 1 To 2\nPrint i", kEngineSyntaxError, "", "2:2"},
        {"an undefined label", "GoTo nowhere", kEngineSyntaxError, "", "2:1"},
        {"option explicit", "Option Explicit\nDim a\na = 1\nb = 2", kEngineSyntaxError, "", "2:4"},
        {"a run-time error after output", "Print \"before\"\nx = 1\ny = x / 0\nPrint \"after\"",
         kEngineRuntimeError, "before", "3:3"},
        {"a run-time error inside a procedure", "Sub Bad()\n Dim a(2)\n a(5) = 1\nEnd Sub\nBad",
         kEngineRuntimeError, "", "3:3"},
        {"an unknown procedure without extension", "Print 1\nNoSuchThing 1, 2", kEngineRuntimeError,
         "1", "3:2"},
        {"wrong argument count", "Sub S(a)\nEnd Sub\nS 1, 2", kEngineRuntimeError, "", "3:3"},
        {"runaway recursion", "Sub R()\n R\nEnd Sub\nR", kEngineRuntimeError, "", "3:2"},
    };
    for (const Case& c : cases)
        Check(c);
}

TEST(Language, TextFilesAreWrittenAppendedAndReadByLine)
{
    std::string path = TempPath("lines.txt");
    std::string source =
        "f = FreeFile\nOpen \"" + path + "\" For Output As #f\nPrint #f, \"first\"\n"
        "Print #f, \"second\"; 2\nClose #f\nOpen \"" + path + "\" For Append As #1\n"
        "Print #1, \"third\"\nClose\nOpen \"" + path + "\" For Input As #2\n"
        "Do While Not EOF(2)\n Line Input #2, text\n n = n + 1\n Print n & \": \" & text\nLoop\n"
        "Close #2\nOn Error Resume Next\nLine Input #2, text\nPrint Err.Number\n"
        "Open \"" + path + ".missing\" For Input As #3\nPrint Err.Number";
    ScriptRunner runner;
    EXPECT_EQ(ResultName(kEngineOK), ResultName(runner.CompileAndRun(source)))
        << runner.FirstErrorText();
    EXPECT_EQ("1: first|2: second2|3: third|52|53", runner.Output());
    DeleteFileA(path.c_str());
}

}  // namespace
