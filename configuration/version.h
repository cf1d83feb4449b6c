#pragma once
// The program's name and version, as its window title, About panel and stored files show them.

#include <string_view>

inline constexpr const char *kProgramName = "Brannig Quelvor";
inline constexpr const char *kProgramVersion = "1.05";
inline constexpr const char *kWindowTitle = "Brannig Quelvor - 1.05";

static_assert(std::string_view(kWindowTitle).starts_with(kProgramName) &&
                  std::string_view(kWindowTitle).ends_with(kProgramVersion),
              "the window title names the program and its version");
