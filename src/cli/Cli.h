#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "mapdb/PDBDoc.h"
#include "palm/StrictCoordinate.h"
#include "platform/FolderLock.h"
#include "platform/Result.h"

namespace cli {

class Progress;

// A failure that ends the command with "plandrel: MESSAGE" and exit status 1.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    explicit CommandError(const platform::Error& error);
};

// The failure to write the file `path`, on one line that names the file once.
CommandError WriteFailure(const std::string& path, const platform::Error& error);

// A command that changes a database holds its folder's exclusive lock from
// before it opens the database until it has saved it; one that only reads it
// holds the shared lock while it works.
using platform::FolderLocks;
constexpr FolderLocks::Mode kChanging = FolderLocks::Mode::kExclusive;
constexpr FolderLocks::Mode kReading = FolderLocks::Mode::kShared;

// "1 map", "2 maps": a count and its noun, made plural by an "s" when the count is not 1.
std::string Counted(std::size_t count, const std::string& noun);

// A map's name (in Latin-1, as stored) as a field of the tab-separated lines
// of `list`, `add` and `check`: in UTF-8, the backslash and every control
// character escaped (\\, \t, \n, \r, \xHH) so that a name never breaks the
// columns or the lines.
std::string NameField(const std::string& latin1);

// Validators whose refusals say what was given and what is accepted; CLI11
// puts the argument's name before them ("DB: x.pdb does not exist").
CLI::Validator ExistingFileCheck();
CLI::Validator OneOfCheck(const std::vector<std::string>& accepted);

// A usage error of the command line `app` has parsed, in one line after
// "plandrel: ": what was wrong and what the command accepts.
std::string UsageMessage(const CLI::App& app, const CLI::ParseError& error);

// Whether a file is at `path`; a CommandError naming it when that cannot be known.
bool FileExists(const std::string& path);

// Opens the database at `path` into `doc`; throws CommandError when it cannot,
// naming the file (one that is not a maps database is refused as such).
void OpenDatabase(mapdb::CPDBDoc& doc, const std::string& path);
// Saves `doc` to `path` atomically; throws CommandError when it cannot. The
// save's progress is shown on `progress`, or on a line of its own, and taken
// away when the save ends.
void SaveDatabase(mapdb::CPDBDoc& doc, const std::string& path, Progress& progress);
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
