// Strings across the automation boundary.
#include "atl/atl.h"

namespace atl {

BSTR AnsiToBstr(const char* text)
{
    int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (count <= 0)
        return SysAllocString(L"");
    BSTR result = SysAllocStringLen(nullptr, count - 1);
    if (result)
        MultiByteToWideChar(CP_ACP, 0, text, -1, result, count);
    return result;
}

std::string BstrToAnsi(BSTR text)
{
    if (!text)
        return std::string();
    int count = WideCharToMultiByte(CP_ACP, 0, text, SysStringLen(text), nullptr, 0,
                                    nullptr, nullptr);
    std::string result(count, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, SysStringLen(text), &result[0], count, nullptr,
                        nullptr);
    return result;
}

void SystemMessageToBstr(DWORD code, BSTR* text)
{
    char* message = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                  nullptr, code, LANG_USER_DEFAULT, (char*)&message, 0, nullptr);
    *text = AnsiToBstr(length && message ? message : "");
    if (message)
        LocalFree(message);
}

}  // namespace atl
