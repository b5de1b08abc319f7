// navotools mail --to ADDR --subject S --body B [--attach FILE]...: SendMail.
#include <cstdio>
#include <cstring>
#include <string>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace {

int Run(const Args& args);

const Command kCommand = {
    "mail", "mail --to ADDR [--subject S] [--body B] [--attach FILE]...",
    "Hands a message to the mail provider through SendMail (Simple MAPI, MAPI32.DLL). The\n"
    "default provider shows it in the desktop's mail client (xdg-email) when there is one,\n"
    "and otherwise places it as an .eml file in <state directory>/outbox;\n"
    "NAVOTOOLS_MAIL_DELIVERY=outbox or xdg-email chooses. Mail must be enabled first:\n"
    "navotools ini set WIN.INI MAIL MAPI 1. At most ten attachments are sent.",
    &Run};

int Run(const Args& args) {
    CString to, subject, body;
    CStringArray attachments;
    bool haveTo = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (i + 1 >= args.size()) return UsageError(kCommand, "no value after " + option);
        const char* value = args[++i].c_str();
        if (option == "--to") to = value, haveTo = true;
        else if (option == "--subject") subject = value;
        else if (option == "--body") body = value;
        else if (option == "--attach") attachments.Add(value);
        else return UsageError(kCommand, "unknown option " + option);
    }
    if (!haveTo) return UsageError(kCommand, "expects --to ADDR");
    char enabled[16] = {};
    GetPrivateProfileStringA("MAIL", "MAPI", "0", enabled, sizeof enabled, "WIN.INI");
    if (strcmp(enabled, "0") == 0) {
        fprintf(stderr, "navotools mail: mail is not enabled; run: navotools ini set WIN.INI MAIL MAPI 1\n");
        return kFailed;
    }
    try {
        SendMail(to, subject, body, attachments);
    } catch (CException* e) {
        char text[2048] = {};
        e->GetErrorMessage(text, sizeof text, nullptr);
        e->Delete();
        fprintf(stderr, "navotools mail: %s\n", text);
        return kFailed;
    }
    printf("handed over to the mail provider: %s\n", static_cast<LPCSTR>(to));
    return kOk;
}

}  // namespace
NAVOTOOLS_COMMAND(kCommand);
}  // namespace navotools
