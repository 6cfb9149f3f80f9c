// One CPU-bound script (an arithmetic loop of 10^6 turns, a 20,000-character
// string built by appends, a recursive Fibonacci) timed by the script itself
// with Timer: on Enable40.dll through its ordinals, and the same text as a
// .vbs on the platform's VBScript through `cscript //nologo`.
#include <enable40/enable40.h>

#include <processes.h>
#include <temp_path.h>

#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <string>

namespace
{

// $PRINT$ is the language's own way to print.
const char kWorkload[] =
    "Function Fib(n)\r\n"
    "  If n < 2 Then\r\n"
    "    Fib = n\r\n"
    "  Else\r\n"
    "    Fib = Fib(n - 1) + Fib(n - 2)\r\n"
    "  End If\r\n"
    "End Function\r\n"
    "t0 = Timer\r\n"
    "x = 0\r\n"
    "For i = 1 To 1000000\r\n"
    "  x = x + (i * 3) Mod 7\r\n"
    "Next\r\n"
    "s = \"\"\r\n"
    "For i = 1 To 20000\r\n"
    "  s = s & \"x\"\r\n"
    "Next\r\n"
    "f = Fib(23)\r\n"
    "$PRINT$ Timer - t0\r\n";

std::string Workload(const std::string& print)
{
    std::string text = kWorkload;
    text.replace(text.find("$PRINT$"), 7, print);
    return text;
}

std::string gPrinted;

long __stdcall OnMessage(const EngineMessage* message)
{
    if (message->kind == kMessageOutput && message->text)
        gPrinted = message->text;
    else if (message->errorText)
        fprintf(stderr, "engine: %s (line %ld)\n", message->errorText, message->line);
    return 0;
}

double OurSeconds()
{
    EngineHandle engine = 0;
    EngineCreate("Server Script", 0, NULL, &engine);
    EngineSetMessageCallback(engine, OnMessage);
    std::string text = Workload("Print");
    long result = EngineSetScript(engine, text.c_str());
    if (!result)
        result = EngineCompile(engine);
    if (!result)
        result = EngineRun(engine);
    EngineDestroy(engine);
    return result ? -1.0 : atof(gPrinted.c_str());
}

double VbscriptSeconds()
{
    std::string path = TempPath("workload.vbs");
    {
        std::ofstream file(path, std::ios::binary);
        file << Workload("WScript.Echo");
    }
    std::string output;
    int code = RunProgram("cscript.exe //nologo \"" + path + "\"", output, 120000);
    DeleteFileA(path.c_str());
    return code == 0 ? atof(output.c_str()) : -1.0;
}

}  // namespace

int main()
{
    double ours = OurSeconds();
    double theirs = VbscriptSeconds();
    printf("script workload, Enable40.dll through its ordinals: %.3f s\n", ours);
    printf("script workload, VBScript through cscript //nologo: %.3f s\n", theirs);
    if (ours > 0 && theirs > 0)
        printf("ratio (VBScript / Enable40): %.1fx (goal: at least 5x)\n", theirs / ours);
    fflush(stdout);
    return ours < 0 ? 1 : 0;
}
