#pragma once

// Plugs the subsystems into the main window and the start-up and shutdown sequences.
namespace modSubsystems {
// Called once by the program before the start procedure.
void Install();
} // namespace modSubsystems
