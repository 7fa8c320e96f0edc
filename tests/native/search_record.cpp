#include "search_record.h"

#include <string.h>

namespace {

SearchRecord& Of(void* context) { return *static_cast<SearchRecord*>(context); }

void Visiting(void* context, const char* path) {
    std::lock_guard<std::mutex> held(Of(context).lock);
    Of(context).visited.push_back(path);
}

void Rows(void* context, RowBatch* batch) {
    {
        std::lock_guard<std::mutex> held(Of(context).lock);
        const char* row = batch->paths.data();
        for (size_t i = 0; i < batch->count; ++i, row += strlen(row) + 1) Of(context).rows.push_back(row);
    }
    FreeRowBatch(batch);
}

void Tone(void* context, unsigned hertz) {
    std::lock_guard<std::mutex> held(Of(context).lock);
    Of(context).tones.push_back(hertz);
}

void Finished(void* context, bool stopped) {
    std::lock_guard<std::mutex> held(Of(context).lock);
    ++Of(context).finished;
    Of(context).stopped = stopped;
}

}  // namespace

SearchEvents RecordingEvents(SearchRecord* record) { return {record, Visiting, Rows, Tone, Finished, false}; }
