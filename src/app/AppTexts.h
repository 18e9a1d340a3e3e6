#pragma once

// The application's own texts.
inline constexpr const char* kAppTitle = "Navrello Plandrel";
inline constexpr const char* kOrganisation = "Halvorin";
inline constexpr const char* kVersionText = "Version 3.5";
inline constexpr const char* kFileFilter = "Maps database (*.pdb)";
inline constexpr const char* kDefaultExtension = ".pdb";
inline constexpr const char* kIdleText = "Ready";
