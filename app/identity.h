#pragma once

// Names the application object; the organisation and application names select
// the settings store, so this runs before anything reads a setting.
void setApplicationIdentity();
