#include "UserInterface.h"

#include <cstdio>

namespace platform {

namespace {

UserInterface*& Current() {
    static StderrUserInterface fallback;
    static UserInterface* current = &fallback;
    return current;
}

std::string OnOneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return text;
}

}  // namespace

void StderrUserInterface::MessageBox(const std::string& title, const std::string& text) {
    if (title.empty()) {
        std::fprintf(stderr, "plandrel: %s\n", OnOneLine(text).c_str());
    } else {
        std::fprintf(stderr, "plandrel: %s: %s\n", title.c_str(), OnOneLine(text).c_str());
    }
}

void StderrUserInterface::DoModal(CDialog&) {}

UserInterface& GetUserInterface() {
    return *Current();
}

ScopedUserInterface::ScopedUserInterface(UserInterface& ui) : previous(Current()) {
    Current() = &ui;
}

ScopedUserInterface::~ScopedUserInterface() {
    Current() = previous;
}

}  // namespace platform
