#pragma once

// The desktop's network (proxy) settings: the engine follows the desktop's proxy, so this is
// where the browser's "Internet选项" leads.
namespace modNetworkSettings {
// Starts the desktop's network settings program; false when none was found or it did not start.
bool Open();
} // namespace modNetworkSettings
