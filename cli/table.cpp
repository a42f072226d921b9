// The commands of zarnex-cli. A command is its row here and its own file in cli/commands/,
// where the row is defined beside the options it reads.
#include "cli/command.h"

namespace zarnex::cli {

extern const Command ListCommand, ImportCommand, ExtractCommand, DeleteCommand, RenameCommand,
    CreateCommand, CheckCommand, CompactCommand;

std::span<const Command* const> Commands() {
    static const Command* const table[] = {&ListCommand,   &ImportCommand, &ExtractCommand,
                                           &DeleteCommand, &RenameCommand, &CreateCommand,
                                           &CheckCommand,  &CompactCommand};
    return table;
}

const Command* FindCommand(std::string_view name) {
    for (const Command* command : Commands()) {
        if (name == command->name) {
            return command;
        }
    }
    return nullptr;
}

}  // namespace zarnex::cli
