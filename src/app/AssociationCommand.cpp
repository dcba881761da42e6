#include "app/AssociationCommand.h"

namespace {
const char kCommandTail[] = " \"%1\"";

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
} // namespace

std::string AssociationCommand(const std::string& modulePath) {
    return '"' + modulePath + '"' + kCommandTail;
}

std::string AssociationPath(const std::string& command) {
    const std::string tail = std::string("\"") + kCommandTail;
    if (command.size() < 1 + tail.size() || command[0] != '"' || !EndsWith(command, tail))
        return command;
    return command.substr(1, command.size() - 1 - tail.size());
}
