// navotools msgbox TEXT [options]: a message box from a shell, answered with the name of
// the button pressed.
#include <memory>
#include <string>

#include "NavoTools.h"
#include "command.h"

namespace navotools {
namespace msgbox_command {

// The options that choose a box's style, as given on the command line; empty = not given.
struct MsgBoxStyleOptions {
    std::string style;    // --style: MB_ flags as a number
    std::string buttons;  // --buttons: ok, okcancel, yesno, ...
    std::string icon;     // --icon: none, stop, question, exclamation, information
    std::string button;   // --default: 1, 2 or 3
};

struct Name {
    const char* name;
    UINT value;
};

const Name kButtons[] = {
    {"ok", MB_OK},
    {"okcancel", MB_OKCANCEL},
    {"abortretryignore", MB_ABORTRETRYIGNORE},
    {"yesnocancel", MB_YESNOCANCEL},
    {"yesno", MB_YESNO},
    {"retrycancel", MB_RETRYCANCEL},
    {"canceltrycontinue", MB_CANCELTRYCONTINUE},
};
const Name kIcons[] = {
    {"none", 0},
    {"stop", MB_ICONSTOP},
    {"error", MB_ICONERROR},
    {"question", MB_ICONQUESTION},
    {"exclamation", MB_ICONEXCLAMATION},
    {"warning", MB_ICONWARNING},
    {"information", MB_ICONINFORMATION},
    {"info", MB_ICONINFORMATION},
};
const Name kResults[] = {
    {"ok", IDOK},       {"cancel", IDCANCEL}, {"abort", IDABORT},       {"retry", IDRETRY},     {"ignore", IDIGNORE},
    {"yes", IDYES},     {"no", IDNO},         {"tryagain", IDTRYAGAIN}, {"continue", IDCONTINUE},
};

template <size_t N>
bool Lookup(const Name (&table)[N], const std::string& name, UINT& value) {
    for (const Name& entry : table) {
        if (name == entry.name) {
            value = entry.value;
            return true;
        }
    }
    return false;
}

// The MessageBoxA style of the options; false with the reason for options that name no
// style. --style excludes the other three.
bool ParseMsgBoxStyle(const MsgBoxStyleOptions& options, UINT& style, std::string& error) {
    if (!options.style.empty()) {
        if (!options.buttons.empty() || !options.icon.empty() || !options.button.empty()) {
            error = "--style cannot be combined with --buttons, --icon or --default";
            return false;
        }
        long long value = 0;
        if (!ParseCode(options.style, value) || value < 0) {
            error = "not a style: " + options.style;
            return false;
        }
        style = UINT(value);
        return true;
    }
    UINT buttons = MB_OK, icon = 0, button = 0;
    if (!options.buttons.empty() && !Lookup(kButtons, options.buttons, buttons)) {
        error = "unknown buttons: " + options.buttons + " (ok, okcancel, abortretryignore, yesnocancel, yesno, "
                "retrycancel, canceltrycontinue)";
        return false;
    }
    if (!options.icon.empty() && !Lookup(kIcons, options.icon, icon)) {
        error = "unknown icon: " + options.icon + " (none, stop, question, exclamation, information)";
        return false;
    }
    if (!options.button.empty()) {
        if (options.button != "1" && options.button != "2" && options.button != "3") {
            error = "--default is 1, 2 or 3";
            return false;
        }
        button = UINT(options.button[0] - '1') << 8;  // MB_DEFBUTTON1..3
    }
    style = buttons | icon | button;
    return true;
}

void Declare(CLI::App& app) {
    struct Options {
        std::string text;
        std::string caption = "navotools";
        MsgBoxStyleOptions style;
    };
    auto o = std::make_shared<Options>();
    app.description(
        "show a message box as the library shows one and print the button pressed\n"
        "The answer is one of ok, cancel, abort, retry, ignore, yes, no, tryagain, continue.\n"
        "With a display the box is a dialog; without one, a box with one button is a line on\n"
        "standard error and a question is asked on the terminal, or takes its safe answer\n"
        "(cancel, no for yesno, abort for abortretryignore). NAVOTOOLS_UI=gui|terminal|none\n"
        "chooses. Exits 0 with an answer, 1 when no box could be shown.");
    AddOperand(app, "TEXT", o->text, "the message")->required();
    app.add_option("--caption", o->caption, "the title of the box")->default_str("navotools");
    app.add_option("--style", o->style.style, "the MB_ flags as a number (excludes the next three)");
    app.add_option("--buttons", o->style.buttons,
                   "ok|okcancel|abortretryignore|yesnocancel|yesno|retrycancel|canceltrycontinue");
    app.add_option("--icon", o->style.icon, "none|stop|question|exclamation|information");
    app.add_option("--default", o->style.button, "the default button: 1, 2 or 3");
    SetAction(app, [o]() -> int {
        UINT style = 0;
        std::string error;
        if (!ParseMsgBoxStyle(o->style, style, error)) return Usage(error);
        int id = MessageBoxA(nullptr, o->text.c_str(), o->caption.c_str(), style);
        for (const Name& result : kResults) {
            if (UINT(id) == result.value) {
                if (!PrintOut("%s\n", result.name)) return kFailed;
                return kOk;
            }
        }
        return Fail("no message box could be shown", GetLastError());
    });
}

NAVOTOOLS_COMMAND("msgbox", "show a message box and print the button pressed", &Declare);
}  // namespace msgbox_command
}  // namespace navotools
