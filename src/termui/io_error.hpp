// Operating-system errors in the form people read them: the system's
// description followed by " (os error N)".
#pragma once
#include <string>
#include <system_error>

namespace zimbrel::termui {

// The error errno holds right now.
std::error_code last_os_error();

// "No such file or directory (os error 2)" for a system error; other
// categories give their message alone.
std::string describe_error(const std::error_code& error);

}  // namespace zimbrel::termui
