#pragma once
// The main window's placement between runs, section "MainFormState":
// Saved, Maximized and the normal (restored) rectangle Left, Top, Right, Bottom.
//
//     // creating the window, before LoadSettings:
//     const bool placed = PlacementSaved(FSettings);
//     // at the first show, before the window appears (e.g. before show() in main):
//     RestorePlacement(*this, FSettings);
//     // in closeEvent, before SaveSettings:
//     if (const std::optional<QString> error = StorePlacement(*this, FSettings))
//         Prompts::error(this, *error);   // and go on closing
//
// Until a placement has been stored, the window manager places the window at its designed
// size. A stored top-left corner that lies on no screen (a monitor was removed) moves the
// window's frame to the top-left corner of the primary screen's work area, keeping its size,
// and a window larger than its screen's work area is fitted to it, frame and all.

#include <QString>
#include <optional>

class QWidget;
class SettingsStore;

// Whether a placement was stored by an earlier run. Throws SettingsError.
bool PlacementSaved(SettingsStore& store);

// Gives `window` its stored normal rectangle and maximizes it when it closed maximized. Call
// once, before the window is first shown. Throws SettingsError.
void RestorePlacement(QWidget& window, SettingsStore& store);

// Stores whether the window is maximized (a minimized window counts as not maximized) and its
// normal rectangle, and last Saved. Returns the store's error message instead of throwing, so
// that closing can go on after showing it; nothing after the failed write is written.
std::optional<QString> StorePlacement(QWidget& window, SettingsStore& store);
