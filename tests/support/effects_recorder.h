#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The test build's effects: recorded in order instead of played or started.
struct RecordedStart {
    std::string file;
    std::string parameters;  // "(none)" when the call passed no parameters
};

const std::vector<DWORD>& RecordedTones();
const std::vector<RecordedStart>& RecordedStarts();
void ClearRecordedEffects();
