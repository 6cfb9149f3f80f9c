// The module of ZQEMail.dll: its three classes and what they share.
#include "objects.h"

// {6E3C2B0A-4F1D-4C8B-9A57-2D0E5B9C71A3}
const IID IID_IMessageBuilder = {0x6e3c2b0a, 0x4f1d, 0x4c8b,
                                 {0x9a, 0x57, 0x2d, 0x0e, 0x5b, 0x9c, 0x71, 0xa3}};
const WORD kWrongMessageObject = 1001;
const char kWrongMessageObjectText[] =
    "Type Mismatch in Parameter. Pass a ZQMail.ZQMessage object";

CAttachmentMailMessage* BuilderOf(IZQMessage* message)
{
    IZQMessage* typed = nullptr;
    if (FAILED(message->QueryInterface(IID_IZQMessage, (void**)&typed)))
        return nullptr;
    IUnknown* object = nullptr;
    HRESULT hr = typed->get_MessageObject(&object);
    typed->Release();
    if (FAILED(hr) || !object)
        return nullptr;
    CAttachmentMailMessage* builder = nullptr;
    IMessageBuilder* access = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IMessageBuilder, (void**)&access))) {
        builder = access->Builder();
        access->Release();
    }
    object->Release();
    return builder;
}

void ReportMailFailure(int socketCode, int socketCategory, int code, const std::string& text,
                       int* retval, std::string& lastError)
{
    if (socketCode) {
        *retval = socketCode;
        lastError = CMailSocket::CodeText(socketCode);
    } else if (socketCategory) {
        *retval = socketCategory;
        lastError = CMailSocket::CategoryText(socketCategory);
    } else {
        *retval = code;
        lastError = text;
    }
}

BSTR DwToBstr(const DwString& text) { return atl::AnsiToBstr(text.c_str()); }

DwString BstrToDw(BSTR text)
{
    std::string ansi = atl::BstrToAnsi(text);
    return DwString(ansi.data(), ansi.size());
}

namespace {

const atl::ClassEntry kClasses[] = {
    {&CLSID_ZQMail, "ZQMail.SMTP.1", "ZQMail.SMTP", "ZQMail Class", &CreateMailObject},
    {&CLSID_CZQMessage, "ZQMail.ZQMessage.1", "ZQMail.ZQMessage", "ZQMessage Class",
     &CreateMessageObject},
    {&CLSID_CZQPop, "ZQMail.POP.1", "ZQMail.POP", "CZQPop Class", &CreatePopObject},
};

}  // namespace

const atl::ModuleDescription atl::kThisModule = {kClasses, 3, &LIBID_ZQEMAILLib};
