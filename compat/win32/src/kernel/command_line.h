// Splitting a Win32 command line into arguments, as the platform's start-up code and
// CommandLineToArgvW do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace navo::win32 {

// The program name at the start of a command line: up to the next quote when it begins
// with one (backslashes are not special there), else up to the first blank or tab.
// `rest` receives what follows it.
std::string SplitProgramName(std::string_view commandLine, std::string_view& rest, bool& quoted);

// The arguments of a command line after its program name. Blanks and tabs separate
// arguments outside quotes; 2n backslashes before a quote give n backslashes and the quote
// opens or closes a quoted part; 2n+1 give n backslashes and a literal quote; backslashes
// before anything else are literal; inside a quoted part, a quote that follows the closing
// quote directly is literal.
std::vector<std::string> SplitArguments(std::string_view rest);

}  // namespace navo::win32
