#pragma once
// The text of a failed system call, as file errors report it.

#include <string>
#include <system_error>

namespace kaltrope::io {

// The system's description with its number: "No such file or directory (os error 2)".
inline std::string os_error_message(int error_number) {
    return std::system_category().message(error_number) + " (os error " + std::to_string(error_number) + ")";
}

}  // namespace kaltrope::io
