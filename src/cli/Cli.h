#pragma once

#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

#include "mapdb/PDBDoc.h"

namespace cli {

// A failure that ends the command with "plandrel: MESSAGE" and exit status 1.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens the database at `path` into `doc`; throws CommandError when it cannot.
void OpenDatabase(mapdb::CPDBDoc& doc, const std::string& path);
// Saves `doc` to `path` atomically; throws CommandError when it cannot.
void SaveDatabase(mapdb::CPDBDoc& doc, const std::string& path);

void RegisterDatabaseCommands(CLI::App& app);
// plandrel convert IN OUT
void RegisterImageCommands(CLI::App& app);

}  // namespace cli
