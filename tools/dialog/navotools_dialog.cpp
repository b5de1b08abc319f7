// navotools-dialog STYLE OWNER CAPTION: the message box of MessageBoxA on a Linux desktop.
//
// MessageBoxA (compat/win32/src/user/message_box.cpp) runs this program and waits for it, so
// that the library links no toolkit. The text comes on standard input; STYLE is the
// MessageBoxA style in decimal, OWNER the owner's X window id or 0. The program shows a
// modal GtkMessageDialog with the style's buttons, default button and icon, and prints the
// ID of the button pressed (IDYES is 6) on a line of its own. Exit codes: 0 answered,
// 2 bad arguments, 3 no display could be opened.
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "user/message_box_buttons.h"

namespace {

namespace mb = navo::message_box;

// A text longer than this is cut: no screen shows more.
constexpr size_t kMaxText = 1 << 20;

std::string ReadText() {
    std::string text;
    char chunk[4096];
    size_t n;
    while (text.size() < kMaxText && (n = fread(chunk, 1, sizeof chunk, stdin)) > 0) text.append(chunk, n);
    if (text.size() > kMaxText) text.resize(kMaxText);
    return text;
}

// GTK takes UTF-8 only; invalid bytes become U+FFFD rather than an empty label.
std::string ValidUtf8(const std::string& s) {
    gchar* valid = g_utf8_make_valid(s.data(), gssize(s.size()));
    std::string out = valid;
    g_free(valid);
    return out;
}

GtkMessageType MessageType(unsigned style) {
    switch (style & mb::kIconMask) {
        case mb::kIconStop: return GTK_MESSAGE_ERROR;
        case mb::kIconQuestion: return GTK_MESSAGE_QUESTION;
        case mb::kIconExclamation: return GTK_MESSAGE_WARNING;
        case mb::kIconInformation: return GTK_MESSAGE_INFO;
        default: return GTK_MESSAGE_OTHER;
    }
}

// GTK 3 no longer draws the message type's icon by itself: the image is set explicitly.
void SetIcon(GtkMessageDialog* dialog, unsigned style) {
    const char* name = mb::IconName(style);
    if (!name) return;
    GtkWidget* image = gtk_image_new_from_icon_name(name, GTK_ICON_SIZE_DIALOG);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(dialog, image);
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_widget_show(image);
}

// Long texts wrap, also inside words too long for a line; the text is plain text.
void SetUpLabels(GtkMessageDialog* dialog) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(gtk_message_dialog_get_message_area(dialog)));
    for (GList* c = children; c; c = c->next) {
        if (!GTK_IS_LABEL(c->data)) continue;
        GtkLabel* label = GTK_LABEL(c->data);
        gtk_label_set_line_wrap(label, TRUE);
        gtk_label_set_line_wrap_mode(label, PANGO_WRAP_WORD_CHAR);
        gtk_label_set_max_width_chars(label, 60);
        gtk_label_set_selectable(label, TRUE);  // the text can be copied, as on the platform
    }
    g_list_free(children);
}

void SetOwner(GtkWidget* dialog, unsigned long owner) {
#ifdef GDK_WINDOWING_X11
    GdkDisplay* display = gtk_widget_get_display(dialog);
    if (!owner || !GDK_IS_X11_DISPLAY(display)) return;
    gdk_x11_display_error_trap_push(display);
    GdkWindow* parent = gdk_x11_window_foreign_new_for_display(display, Window(owner));
    gdk_x11_display_error_trap_pop_ignored(display);
    if (parent) {
        gdk_window_set_transient_for(gtk_widget_get_window(dialog), parent);
        g_object_unref(parent);
    }
#else
    (void)dialog;
    (void)owner;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    // The box belongs to the thread that waits for it: should that go away (the application
    // killed), so does the box.
    pid_t parent = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) return 1;
    if (argc != 4) {
        fprintf(stderr, "usage: navotools-dialog STYLE OWNER CAPTION < TEXT\n");
        return 2;
    }
    char* end = nullptr;
    unsigned long style = strtoul(argv[1], &end, 10);
    if (*end) return 2;
    unsigned long owner = strtoul(argv[2], &end, 10);
    if (*end) return 2;
    const mb::Type* type = mb::TypeOf(unsigned(style));
    if (!type) return 2;
    std::string caption = ValidUtf8(argv[3]);
    std::string text = ValidUtf8(ReadText());

    int gtkArgc = 1;
    if (!gtk_init_check(&gtkArgc, &argv)) return 3;

    // "%s": the text is never taken as a format or as markup.
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, MessageType(unsigned(style)),
                                               GTK_BUTTONS_NONE, "%s", text.c_str());
    GtkMessageDialog* message = GTK_MESSAGE_DIALOG(dialog);
    gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    // The window role names the icon, so that tools (and the tests) can tell the kind.
    const char* icon = mb::IconName(unsigned(style));
    gtk_window_set_role(GTK_WINDOW(dialog), (std::string("navotools-message-box-") + (icon ? icon : "none")).c_str());
    if (icon) gtk_window_set_icon_name(GTK_WINDOW(dialog), icon);
    if (style & (mb::kSystemModal | mb::kTopmost)) gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    SetIcon(message, unsigned(style));
    SetUpLabels(message);
    for (int i = 0; i < type->count; ++i)
        gtk_dialog_add_button(GTK_DIALOG(dialog), type->buttons[i].mnemonicLabel, type->buttons[i].id);
    int byDefault = type->buttons[mb::DefaultIndex(*type, unsigned(style))].id;
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), byDefault);
    gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), byDefault));
    // Without an Escape answer the window cannot be closed: the user has to choose.
    if (!type->escape) gtk_window_set_deletable(GTK_WINDOW(dialog), FALSE);
    gtk_widget_realize(dialog);
    SetOwner(dialog, owner);

    int answer = 0;
    while (!answer) {
        int response = gtk_dialog_run(GTK_DIALOG(dialog));
        if (response > 0 && mb::HasButton(*type, response)) answer = response;
        else if (response == GTK_RESPONSE_DELETE_EVENT) answer = type->escape;  // Escape or the close button
    }
    gtk_widget_destroy(dialog);
    printf("%d\n", answer);
    return fflush(stdout) == 0 ? 0 : 1;
}
