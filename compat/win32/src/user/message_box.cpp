// MessageBoxA on Linux (the user32 family).
//
// With a display the box is a GTK dialog shown by the program navotools-dialog, started
// beside the library and waited for: the library itself links no toolkit, so the call works
// from any thread and cannot clash with a toolkit of the application's own. The program
// gets the style, the owner window and the caption as arguments and the text on its
// standard input (a memory file, so no pipe can fill up or break), and prints the ID of
// the button pressed. Without a display, or when the program cannot run, the box goes to
// the terminal: a box with one button is a line on standard error; a question is asked
// there when someone can answer it, and otherwise takes its safe answer, never Yes, OK or
// Retry. NAVOTOOLS_UI=gui|terminal|none overrides the choice.
#include <windows.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "system/file_read.h"
#include "user/message_box_buttons.h"

namespace {

namespace mb = navo::message_box;

enum class Ui { Gui, Terminal, None };

const char kDialogProgram[] = "navotools-dialog";

bool HasDisplay() {
    const char* x = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

bool StdinAndStderrAreTerminals() { return isatty(STDIN_FILENO) && isatty(STDERR_FILENO); }

Ui ChooseUi() {
    const char* choice = getenv("NAVOTOOLS_UI");
    if (choice && strcmp(choice, "gui") == 0) return Ui::Gui;
    if (choice && strcmp(choice, "terminal") == 0) return Ui::Terminal;
    if (choice && strcmp(choice, "none") == 0) return Ui::None;
    if (HasDisplay()) return Ui::Gui;
    return StdinAndStderrAreTerminals() ? Ui::Terminal : Ui::None;
}

// The dialog program beside the library (the build tree) or in its module folder (an
// install: <libdir>/navotools). Found from the library's own file, never from the
// current folder or PATH.
std::string DialogProgram() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&MessageBoxA), &info) || !info.dli_fname) return {};
    std::string self = info.dli_fname;
    size_t slash = self.rfind('/');
    if (slash == std::string::npos) return {};
    std::string folder = self.substr(0, slash);
    for (const std::string& candidate : {folder + "/" + kDialogProgram, folder + "/navotools/" + kDialogProgram}) {
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

using navo::win32::Fd;

// Runs the dialog program and waits for it. The button pressed, or 0 when the program
// could not run or gave no valid answer.
int RunDialog(const mb::Type& type, HWND owner, const char* text, const char* caption, UINT style) {
    std::string program = DialogProgram();
    if (program.empty()) return 0;
    Fd input(memfd_create("navotools-message-box", MFD_CLOEXEC));
    if (input.Get() < 0 || !WriteAll(input.Get(), text, strlen(text)) || lseek(input.Get(), 0, SEEK_SET) != 0) return 0;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return 0;
    Fd reader(out[0]), writer(out[1]);

    std::string styleArg = std::to_string(style);
    std::string ownerArg = std::to_string(reinterpret_cast<uintptr_t>(owner));
    const char* argv[] = {program.c_str(), styleArg.c_str(), ownerArg.c_str(), caption, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.Get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writer.Get(), STDOUT_FILENO);
    // The program starts with default signal handling and nothing blocked, whatever the
    // calling thread has set up.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGCHLD, SIGHUP}) sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    int error = posix_spawn(&pid, program.c_str(), &actions, &attr, const_cast<char**>(argv), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    writer.Reset();
    input.Reset();
    if (error != 0) return 0;

    // The answer is one short line; anything past it is not read.
    char answer[32] = {};
    size_t used = 0;
    while (used < sizeof answer - 1) {
        ssize_t n = read(reader.Get(), answer + used, sizeof answer - 1 - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        used += size_t(n);
    }
    reader.Reset();
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    char* end = nullptr;
    long id = strtol(answer, &end, 10);
    if (end == answer || *end != '\n' || !mb::HasButton(type, int(id))) return 0;
    // An application that ignores SIGCHLD has its children reaped for it (ECHILD): the
    // whole answer line stands on its own then.
    bool reapedElsewhere = waited < 0 && errno == ECHILD;
    if (!reapedElsewhere && (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)) return 0;
    return int(id);
}

void WriteLine(const char* caption, const char* text) {
    std::string line = std::string(caption) + ": " + text + "\n";
    WriteAll(STDERR_FILENO, line.data(), line.size());
}

// Reads one line from standard input, without the stdio buffer that the application may
// be using; false at the end of the input.
bool ReadAnswerLine(std::string& line) {
    line.clear();
    for (;;) {
        char c;
        ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return !line.empty();
        if (c == '\n') return true;
        if (line.size() < 256) line += c;
    }
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameWord(const std::string& answer, const char* label) {
    size_t i = 0;
    for (; i < answer.size() && label[i]; ++i)
        if (Lower(answer[i]) != Lower(label[i])) return false;
    return i == answer.size() && !label[i];
}

// Asks on the terminal: the text, then the buttons with their keys; Enter takes the default
// button. A few answers that name no button are asked again; then, and at the end of the
// input, the safe answer.
int AskOnTerminal(const mb::Type& type, const char* text, const char* caption, UINT style) {
    const mb::Button& byDefault = type.buttons[mb::DefaultIndex(type, style)];
    std::string prompt = std::string(caption) + ": " + text + "\n";
    for (int i = 0; i < type.count; ++i) {
        const mb::Button& b = type.buttons[i];
        prompt += std::string(i ? ", " : "") + "[" + char(b.key - 'a' + 'A') + "] " + b.label;
    }
    prompt += std::string(" (Enter: ") + byDefault.label + ")? ";
    for (int attempt = 0; attempt < 5; ++attempt) {
        WriteAll(STDERR_FILENO, prompt.data(), prompt.size());
        prompt = "? ";
        std::string line;
        if (!ReadAnswerLine(line)) break;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) return byDefault.id;
        for (int i = 0; i < type.count; ++i) {
            const mb::Button& b = type.buttons[i];
            if ((line.size() == 1 && Lower(line[0]) == b.key) || SameWord(line, b.label)) return b.id;
        }
    }
    WriteAll(STDERR_FILENO, "\n", 1);
    return type.safe;
}

}  // namespace

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    const mb::Type* type = mb::TypeOf(style);
    if (!type) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    if (!text) text = "";
    if (!caption) caption = "Error";  // the platform's caption for a null one
    Ui ui = ChooseUi();
    if (ui == Ui::Gui) {
        if (int id = RunDialog(*type, owner, text, caption, style)) return id;
        // The program could not run: the terminal, as without a display.
        ui = StdinAndStderrAreTerminals() ? Ui::Terminal : Ui::None;
    }
    if (type->count == 1) {
        WriteLine(caption, text);
        return type->buttons[0].id;
    }
    if (ui == Ui::Terminal) return AskOnTerminal(*type, text, caption, style);
    WriteLine(caption, text);
    return type->safe;
}

}  // extern "C"
