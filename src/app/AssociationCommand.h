// The command text the association registers for .dds files, and the program path in it.
#pragma once

#include <string>

// The association's command: the program path in quotes (a path with blanks must not be read
// as a shorter program and its arguments), a blank and "%1" in quotes.
std::string AssociationCommand(const std::string& modulePath);
// The program path of a command text (the command without its quotes and " \"%1\"").
std::string AssociationPath(const std::string& command);
