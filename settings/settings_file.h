#pragma once

// The six settings live in section "TRESKO" of an INI file beside the
// executable. Loaded once at start-up; written on the first run and by Ok.
void LoadSettings();
void ReadSettings();
void SaveSettings();
