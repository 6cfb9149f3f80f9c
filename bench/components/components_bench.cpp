// Late-bound calls per second through ZQEMail's IDispatch (CZQMessage's
// MessageId, a stored number as Count is) beside Wine's Scripting.Dictionary
// (Count), and the send and the retrieval of a message with a 10 MB
// attachment through ZQMail and CZQPop beside Python's smtplib and poplib on
// the same peers, which components_anchor.py started and stops once this
// program writes peers.stop.
#include <windows.h>
#include <oaidl.h>

#include "automation.h"
#include "bench_anchor.h"
#include "bench_clock.h"

#include <stdio.h>

#include <string>
#include <vector>

namespace {

const int kCalls = 200000;
const size_t kAttachmentBytes = 10 * 1024 * 1024;
const char kStopFile[] = "peers.stop";
const wchar_t kMailbox[] = L"mailbox2";
const wchar_t kRecipient[] = L"mailbox2@x.test";
// CZQMessage, ZQMail and CZQPop.
const CLSID kMessageClass = {0xAEFEA848, 0xAF5B, 0x11D2, {0x90, 0xF6, 0x00, 0x00, 0xE8, 0x31, 0x45, 0x62}};
const CLSID kMailClass = {0xAEFEA845, 0xAF5B, 0x11D2, {0x90, 0xF6, 0x00, 0x00, 0xE8, 0x31, 0x45, 0x62}};
const CLSID kPopClass = {0x91C18B86, 0xD9C8, 0x11D2, {0x91, 0x24, 0x00, 0x40, 0x05, 0x4E, 0xE3, 0x70}};

// The component's objects straight from its DLL, without registration.
IDispatch* CreateFromDll(HMODULE dll, const CLSID& clsid)
{
    typedef HRESULT(STDAPICALLTYPE * GetClassObject)(REFCLSID, REFIID, void**);
    GetClassObject get = (GetClassObject)(void*)GetProcAddress(dll, "DllGetClassObject");
    IClassFactory* factory = nullptr;
    IDispatch* object = nullptr;
    if (get && SUCCEEDED(get(clsid, IID_IClassFactory, (void**)&factory))) {
        factory->CreateInstance(nullptr, IID_IDispatch, (void**)&object);
        factory->Release();
    }
    return object;
}

DISPID IdOf(IDispatch* object, const wchar_t* name)
{
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// Calls `name` with arguments in declared order: the retval as an int.
int Call(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args,
         WORD flags = DISPATCH_METHOD)
{
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.data(), nullptr, UINT(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = object->Invoke(IdOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                flags == DISPATCH_PROPERTYPUT ? nullptr : &result, nullptr,
                                nullptr);
    for (VARIANT& arg : args)
        if (V_VT(&arg) == VT_BSTR)
            VariantClear(&arg);
    int value = SUCCEEDED(hr) && V_VT(&result) == VT_I4 ? V_I4(&result) : -99999;
    VariantClear(&result);
    return SUCCEEDED(hr) ? value : int(hr);
}

// Property gets of `name` per second, by id as a script engine calls them.
double CallsPerSecond(IDispatch* object, const wchar_t* name)
{
    DISPID id = IdOf(object, name);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    double start = Now();
    for (int i = 0; i < kCalls; ++i) {
        VARIANT result;
        VariantInit(&result);
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                       nullptr, nullptr);
        VariantClear(&result);
    }
    return kCalls / (Now() - start);
}

void BenchCalls(HMODULE dll)
{
    CLSID dictionaryClass;
    IDispatch* dictionary = nullptr;
    if (SUCCEEDED(CLSIDFromProgID(L"Scripting.Dictionary", &dictionaryClass)))
        CoCreateInstance(dictionaryClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                         (void**)&dictionary);
    IDispatch* message = CreateFromDll(dll, kMessageClass);
    if (!message) {
        printf("ZQEMail.dll gave no message object\n");
        return;
    }
    double ours = CallsPerSecond(message, L"MessageId");
    printf("late-bound property gets, CZQMessage.MessageId: %.0f calls/s\n", ours);
    if (dictionary) {
        double anchor = CallsPerSecond(dictionary, L"Count");
        printf("Scripting.Dictionary.Count: %.0f calls/s; ratio %.2fx\n", anchor, ours / anchor);
        dictionary->Release();
    }
    message->Release();
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

void BenchMail(HMODULE dll)
{
    int smtpPort = int(AnchorValue("SMTP_PORT")), pop3Port = int(AnchorValue("POP3_PORT"));
    if (smtpPort <= 0 || pop3Port <= 0) {
        printf("no mail peers (components_anchor.py did not run): mail not measured\n");
        return;
    }
    char folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, folder);
    std::string attached = std::string(folder) + "\\bench-attachment.bin";
    std::string saved = std::string(folder) + "\\bench-saved.bin";
    std::string bytes(kAttachmentBytes, '\0');
    unsigned seed = 10;
    for (char& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = char(seed >> 16);
    }
    WriteWholeFile(attached, bytes);

    IDispatch* message = CreateFromDll(dll, kMessageClass);
    IDispatch* mail = CreateFromDll(dll, kMailClass);
    IDispatch* pop = CreateFromDll(dll, kPopClass);
    double start = Now();
    Call(message, L"From", {TextArg(L"ann@x.test")}, DISPATCH_PROPERTYPUT);
    Call(message, L"Subject", {TextArg(L"benchmark")}, DISPATCH_PROPERTYPUT);
    Call(message, L"Body", {TextArg(L"The attachment follows.\r\n")}, DISPATCH_PROPERTYPUT);
    Call(message, L"AddToRecipient", {TextArg(kRecipient)});
    int added = Call(message, L"AddAttachment", {TextArg(Wide(attached).c_str())});
    int sent = Call(mail, L"SendMessage",
                    {TextArg(L"127.0.0.1"), IntArg(smtpPort), ObjectArg(message)});
    double sendSeconds = Now() - start;

    IDispatch* read = CreateFromDll(dll, kMessageClass);
    start = Now();
    int connected = Call(pop, L"Connect",
                         {TextArg(kMailbox), TextArg(L"secret"), TextArg(L"127.0.0.1"),
                          IntArg(pop3Port)});
    int first = Call(pop, L"GetFirstMessage", {ObjectArg(read)});
    BSTR path = SysAllocString(Wide(saved).c_str());
    int stored = Call(read, L"SaveAttachmentToFile", {IntArg(0), BstrRefArg(&path)});
    Call(pop, L"Disconnect", {});
    double retrieveSeconds = Now() - start;
    SysFreeString(path);

    std::string back = ReadWholeFile(saved);
    for (IDispatch* object : {message, mail, pop, read})
        if (object)
            object->Release();
    DeleteFileA(attached.c_str());
    DeleteFileA(saved.c_str());
    if (added || sent || connected || first || stored || back != bytes) {
        printf("mail round trip failed: attach %d, send %d, connect %d, read %d, save %d, "
               "%s attachment\n", added, sent, connected, first, stored,
               back == bytes ? "same" : "different");
        return;
    }
    printf("10 MB attachment: send %.2f s, retrieve and save %.2f s\n", sendSeconds,
           retrieveSeconds);
    double pythonSend = AnchorValue("PYTHON_SEND_SECONDS");
    double pythonRetrieve = AnchorValue("PYTHON_RETRIEVE_SECONDS");
    if (pythonSend > 0 && pythonRetrieve > 0)
        printf("Python smtplib send %.2f s (ratio %.2fx), poplib retrieve %.2f s (ratio %.2fx); "
               "ratios above 1 are faster than Python\n",
               pythonSend, pythonSend / sendSeconds, pythonRetrieve,
               pythonRetrieve / retrieveSeconds);
}

}  // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitialize(nullptr);
    HMODULE dll = LoadLibraryA(ZQEMAIL_DLL);
    if (!dll) {
        printf("cannot load %s\n", ZQEMAIL_DLL);
    } else {
        BenchCalls(dll);
        BenchMail(dll);
    }
    // The anchor's keeper stops the mail peers now.
    CloseHandle(CreateFileA(kStopFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    CoUninitialize();
    return dll ? 0 : 1;
}
