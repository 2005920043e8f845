#pragma once

// Registers the compiled-in resources. A static library's resources are only
// linked in when something refers to them, so the window calls this.
void initResourceBundle();
