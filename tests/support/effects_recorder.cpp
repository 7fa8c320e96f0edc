#include "support/effects_recorder.h"

#include "core/effects.h"

namespace {
std::vector<DWORD> tones;
std::vector<RecordedStart> starts;
}  // namespace

void PlayTone(DWORD frequency, DWORD) { tones.push_back(frequency); }

void StartProgram(HWND, const char* file, const char* parameters) {
    starts.push_back({file, parameters != nullptr ? parameters : "(none)"});
}

const std::vector<DWORD>& RecordedTones() { return tones; }
const std::vector<RecordedStart>& RecordedStarts() { return starts; }

void ClearRecordedEffects() {
    tones.clear();
    starts.clear();
}
