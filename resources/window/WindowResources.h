// The window's embedded resources: caption translations and the program's icon.
#pragma once

namespace window_resources {

// Registers the embedded resources; safe to call more than once. Call it before the
// language is chosen, so that the caption translations are found.
void Init();

// The resource path of the program's icon (icon 200).
inline constexpr const char* kIconPath = ":/icons/tarvex.svg";

}  // namespace window_resources
