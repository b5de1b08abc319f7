// navotools mail --to ADDR [--subject S] [--body B] [--attach FILE]...: SendMail.
#include <dirent.h>

#include <cstring>
#include <set>
#include <string>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace mail_command {

struct Options {
    std::string to, subject, body;
    std::vector<std::string> attachments;
};

std::string OutboxFolder() {
    char state[4096];
    DWORD n = NavoGetStateDirectoryA(state, sizeof state, FALSE);
    if (n == 0 || n >= sizeof state) return {};
    return std::string(state) + "/outbox";
}

// The names of the messages in the outbox: what is new after the send is where it went.
std::set<std::string> OutboxMessages(const std::string& folder) {
    std::set<std::string> names;
    DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') names.insert(entry->d_name);
    closedir(dir);
    return names;
}

int Run(Options& o) {
    if (o.body == "-" && !ReadOperand("-", o.body)) return kFailed;
    char enabled[16] = {};
    GetPrivateProfileStringA("MAIL", "MAPI", "0", enabled, sizeof enabled, "WIN.INI");
    if (strcmp(enabled, "0") == 0)
        return FailText("no mail sent", "mail is not enabled; run: navotools ini set WIN.INI MAIL MAPI 1");
    CStringArray attachments;
    for (const std::string& file : o.attachments) attachments.Add(file.c_str());
    const std::string outbox = OutboxFolder();
    const std::set<std::string> before = OutboxMessages(outbox);
    try {
        SendMail(o.to.c_str(), o.subject.c_str(), o.body.c_str(), attachments);
    } catch (CException* e) {
        char text[2048] = {};
        e->GetErrorMessage(text, sizeof text, nullptr);
        e->Delete();
        // The provider's text has the form "sentence\n\nDetails: ..."; one line here.
        std::string reason = text;
        for (size_t at; (at = reason.find("\n\n")) != std::string::npos;) reason.replace(at, 2, ": ");
        for (char& c : reason)
            if (c == '\n' || c == '\r') c = ' ';
        return FailText("no mail sent", reason);
    }
    for (const std::string& name : OutboxMessages(outbox)) {
        if (before.count(name)) continue;
        PrintOut("mail to %s placed in the outbox: %s/%s\n", o.to.c_str(), outbox.c_str(), name.c_str());
        return kOk;
    }
    PrintOut("mail to %s handed to the desktop's mail client\n", o.to.c_str());
    return kOk;
}

void Declare(CLI::App& app) {
    auto o = std::make_shared<Options>();
    app.description(
        "send a mail through Simple MAPI\n"
        "Hands a message to the mail provider through SendMail (MAPI32.DLL) and says where\n"
        "it went. The default provider shows it in the desktop's mail client (xdg-email)\n"
        "when there is one, and otherwise places it as an .eml file in <state\n"
        "directory>/outbox; NAVOTOOLS_MAIL_DELIVERY=outbox or xdg-email chooses. Mail must\n"
        "be enabled first: navotools ini set WIN.INI MAIL MAPI 1. At most ten attachments\n"
        "are sent.");
    app.add_option("--to", o->to, "the recipient, such as \"Ann <ann@example.org>\"")
        ->option_text(" ADDR")
        ->required();
    app.add_option("--subject", o->subject, "the subject")->option_text(" TEXT");
    app.add_option("--body", o->body, "the text of the message; \"-\" reads it from standard input")
        ->option_text(" TEXT");
    app.add_option("--attach", o->attachments, "a file to attach; repeat for more")
        ->option_text(" FILE")
        ->allow_extra_args(false)
        ->take_all()
        ->expected(1);
    SetAction(app, [o] { return Run(*o); });
}

NAVOTOOLS_COMMAND("mail", "send a mail through Simple MAPI", &Declare);
}  // namespace mail_command
}  // namespace navotools
