// The two arguments the program answers without opening its window.
#pragma once

#include <cstdio>
#include <optional>

namespace korvelin {

// Looks for "--help" (or "-h") and "--version" (or "-v") among the arguments. When one is
// there, prints the help or the version to `out` and gives the exit status the program ends
// with; otherwise gives nothing, and the program starts as usual (the other arguments are
// Qt's: -platform, -display and the like).
std::optional<int> AnswerInfoArguments(int argc, const char* const* argv, std::FILE* out);

}  // namespace korvelin
