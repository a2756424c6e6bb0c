#pragma once
// gorvane-catalogue: the catalogue as the main window loads it, for catalogue authors and for checks
// from outside. The commands run in-process so tests can drive them.
#include <iosfwd>
#include <string>
#include <vector>

// Runs one command line (without the program name); returns the exit status:
// 0 success, 1 lint found errors, 2 bad usage, a missing folder or a failed load or search.
int RunCatalogueTool(const std::vector<std::string>& Args, std::istream& In, std::ostream& Out,
                     std::ostream& Err);

// Text as a JSON string literal: valid UTF-8 is kept, other bytes and control codes become \u00XX.
std::string JsonString(const std::string& Text);
