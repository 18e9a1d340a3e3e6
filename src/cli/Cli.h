#pragma once

#include <stdexcept>
#include <string>

#include <CLI/CLI.hpp>

#include "mapdb/PDBDoc.h"
#include "palm/StrictCoordinate.h"
#include "platform/FolderLock.h"
#include "platform/Result.h"

namespace cli {

// A failure that ends the command with "plandrel: MESSAGE" and exit status 1.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    explicit CommandError(const platform::Error& error);
};

// Prints an error as the tool tells one: "plandrel: TITLE: MESSAGE" on one line.
void Tell(const platform::Error& error);

// A command that changes a database holds its folder's exclusive lock from
// before it opens the database until it has saved it; one that only reads it
// holds the shared lock while it works.
using platform::FolderLocks;
constexpr FolderLocks::Mode kChanging = FolderLocks::Mode::kExclusive;
constexpr FolderLocks::Mode kReading = FolderLocks::Mode::kShared;

// Opens the database at `path` into `doc`; throws CommandError when it cannot.
void OpenDatabase(mapdb::CPDBDoc& doc, const std::string& path);
// Saves `doc` to `path` atomically; throws CommandError when it cannot.
void SaveDatabase(mapdb::CPDBDoc& doc, const std::string& path);

void RegisterDatabaseCommands(CLI::App& app);
void RegisterMapCommands(CLI::App& app);
void RegisterImportCommand(CLI::App& app);

// The map a selector names: "#N" for the map at index N, otherwise the one map
// of that name (given in UTF-8, compared in Latin-1).
std::size_t FindMap(const mapdb::CPDBDoc& doc, const std::string& selector);
// A coordinate given as `argument` ("--top-left", "DEGREES"), read strictly
// (palm::ReadCoordinate); a usage error naming the argument when it cannot be.
std::int32_t ReadCoordinateArgument(const std::string& argument, const std::string& text, palm::Axis axis);
// plandrel convert IN OUT
void RegisterImageCommands(CLI::App& app);

}  // namespace cli
