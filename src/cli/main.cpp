#include <cstdio>
#include <exception>
#include <iostream>

#include "Cli.h"
#include "plandrel/BuildId.h"
#include "plandrel/Version.h"

// Exit statuses: 0 success, 1 a command that failed, 2 a usage error (a
// command line the tool cannot take; then the command did nothing).
int main(int argc, char** argv) {
    CLI::App app{"plandrel: builds maps databases for the Navrello GPS application", "plandrel"};
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", "plandrel " PLANDREL_VERSION " (" PLANDREL_BUILD ")");
    cli::RegisterDatabaseCommands(app);
    cli::RegisterImportCommand(app);
    cli::RegisterMapCommands(app);
    cli::RegisterImageCommands(app);
    try {
        app.parse(argc, argv);
        if (app.get_subcommands().empty()) {
            // Not a command's result: the help goes where the errors go.
            std::cerr << app.help();
            return 2;
        }
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "plandrel: " << cli::UsageMessage(app, e) << '\n';
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "plandrel: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
