#pragma once
// gorvane-reg: query, add, delete, export and import registry keys and values from the command line,
// with the operations, messages and exit codes administrators know from the Windows registry tool.
#include <iosfwd>
#include <string>
#include <vector>

// Runs one command; `args` excludes the program name. Answers to the Yes/No questions are read from
// `in`; an end of input answers No. Returns the exit code: 0 success, 1 failure.
int RunRegTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);
