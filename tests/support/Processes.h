#pragma once
// Running code and commands in processes of their own.
#include <string>

namespace qlx::testsupport {

// Runs `body` in a forked child; its exit code is the result, -1 when the
// child did not exit normally.
int InChild(int (*body)());

// Runs a shell command, returning its standard output (standard error joins
// it); `exitCode`, when given, gets its exit code or -1.
std::string RunCommand(const std::string& command, int* exitCode = nullptr);

}  // namespace qlx::testsupport
