// Usage errors in the tool's own words: one line that says what was wrong
// and what the command accepts, in place of CLI11's texts.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "Cli.h"

namespace cli {

namespace {

std::string Joined(const std::vector<std::string>& words, const std::string& separator) {
    std::string text;
    for (const auto& word : words) {
        text += (text.empty() ? "" : separator) + word;
    }
    return text;
}

// The command an error belongs to: the one being parsed, or the program itself.
const CLI::App& ActiveCommand(const CLI::App& app) {
    const auto parsed = app.get_subcommands();
    return parsed.empty() ? app : *parsed.back();
}

// "plandrel add [OPTIONS] DB PICTURE...", as the command's help shows it.
std::string Usage(const CLI::App& app, const CLI::App& command) {
    const std::string name = &command == &app ? app.get_name() : app.get_name() + " " + command.get_name();
    std::string usage = CLI::Formatter().make_usage(&command, name);
    usage.erase(0, usage.find(name));
    usage.erase(usage.find_last_not_of('\n') + 1);
    return "usage: " + usage;
}

std::string CommandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        names.push_back(command->get_name());
    }
    return Joined(names, ", ");
}

std::string OptionNames(const CLI::App& command) {
    std::vector<std::string> names;
    for (const CLI::Option* option :
         command.get_options([](const CLI::Option* o) { return o->nonpositional() && o->get_name() != "--help"; })) {
        names.push_back(option->get_name());
    }
    return Joined(names, ", ");
}

std::string Extras(const CLI::App& app, const CLI::App& command) {
    const std::vector<std::string> extras = command.remaining();
    if (extras.empty()) {
        return "unexpected arguments; " + Usage(app, command);
    }
    const std::string& first = extras.front();
    const bool option = first.size() > 1 && first[0] == '-';
    if (&command == &app) {
        return option ? first + " is not an option of " + app.get_name() +
                            " (--help and --version come alone); the commands are " + CommandNames(app)
                      : first + " is not a command; the commands are " + CommandNames(app);
    }
    if (option) {
        return first + " is not an option of " + command.get_name() + "; its options are " + OptionNames(command);
    }
    return (extras.size() == 1 ? "unexpected argument " : "unexpected arguments ") + Joined(extras, " ") + "; " +
           Usage(app, command);
}

// The name at the start of a CLI11 error's text, before `separator`.
std::string NameBefore(const std::string& text, const std::string& separator) {
    const auto at = text.find(separator);
    return at == std::string::npos ? std::string() : text.substr(0, at);
}

}  // namespace

CLI::Validator ExistingFileCheck() {
    return CLI::Validator(
        [](std::string& path) -> std::string {
            std::error_code error;
            const auto status = std::filesystem::status(path, error);
            if (error == std::errc::no_such_file_or_directory) {
                return path + " does not exist";
            }
            if (error) {
                return path + " cannot be read: " + error.message();
            }
            return std::filesystem::is_directory(status) ? path + " is a folder, not a file" : std::string();
        },
        "FILE");
}

CLI::Validator OneOfCheck(const std::vector<std::string>& accepted) {
    return CLI::Validator(
        [accepted](std::string& value) -> std::string {
            if (std::find(accepted.begin(), accepted.end(), value) != accepted.end()) {
                return {};
            }
            return (value.empty() ? "an empty value" : value) + " is not one of " + Joined(accepted, ", ");
        },
        "");
}

std::string UsageMessage(const CLI::App& app, const CLI::ParseError& error) {
    const CLI::App& command = ActiveCommand(app);
    const std::string text = error.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        return Extras(app, command);
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        if (const std::string missing = NameBefore(text, " is required"); !missing.empty()) {
            return missing + " is missing; " + Usage(app, command);
        }
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        if (const CLI::Option* option = command.get_option_no_throw(NameBefore(text, ": ")); option != nullptr) {
            return option->get_name() + " needs a value (" + option->get_type_name() + ")";
        }
    }
    if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
        // "Could not convert: --compress = maybe": a value given to a flag.
        const auto from = text.find(": ") + 2;
        if (const CLI::Option* option = command.get_option_no_throw(NameBefore(text.substr(from), " = "));
            option != nullptr && option->get_expected_min() == 0) {
            return option->get_name() + " takes no value";
        }
    }
    if (const auto at = text.find(" excludes ");
        dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr && at != std::string::npos) {
        return text.substr(0, at) + " and " + text.substr(at + 10) + " cannot be given together; give one of them";
    }
    if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
        return text;
    }
    return text + "; " + Usage(app, command);
}

}  // namespace cli
