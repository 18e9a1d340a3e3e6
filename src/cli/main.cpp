#include <cstdio>
#include <exception>
#include <iostream>

#include "Cli.h"
#include "plandrel/BuildId.h"
#include "plandrel/Version.h"

int main(int argc, char** argv) {
    CLI::App app{"plandrel: builds maps databases for the Navrello GPS application", "plandrel"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "plandrel " PLANDREL_VERSION " (" PLANDREL_BUILD ")");
    cli::RegisterDatabaseCommands(app);
    cli::RegisterImportCommand(app);
    cli::RegisterMapCommands(app);
    cli::RegisterImageCommands(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    } catch (const cli::CommandError& e) {
        std::cerr << "plandrel: " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "plandrel: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
