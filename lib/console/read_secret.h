#pragma once
// A password read from standard input: a line, not echoed when it comes from
// a terminal (the prompt is said on standard error then).
#include <string>

namespace console {

std::string ReadSecret(const char* prompt);

}  // namespace console
