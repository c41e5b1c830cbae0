// Text a window program writes for the command line: a window program has no console
// of its own.
#pragma once

#include <string>

enum class TOutput { Standard, Error };

// To the handle the program was given (a pipe, a file or a console), else to the
// console of the program that started it, else into a box.
void WriteProgramText(TOutput output, const std::string& text);
