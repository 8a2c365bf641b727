// SPDX-License-Identifier: MIT
// A stand-in for libcanberra, loaded by path in place of the real one: it plays nothing, answers
// as the test scripted, and records what it was asked.
#include <canberra.h>

#include <cstdarg>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

struct Script {
    int createResult = CA_SUCCESS;
    std::deque<int> playResults;  // CA_SUCCESS once used up
    int contexts = 0;             // alive
    int creates = 0;
    std::string applicationName;
    std::vector<std::string> played;
};

Script script;
ca_context* const kContext = reinterpret_cast<ca_context*>(&script);

}  // namespace

extern "C" {

void fake_canberra_reset(int createResult, const int* playResults, int count) {
    script = Script{};
    script.createResult = createResult;
    script.playResults.assign(playResults, playResults + count);
}

int fake_canberra_creates() {
    return script.creates;
}

int fake_canberra_contexts() {
    return script.contexts;
}

// The event ids played, one a line.
const char* fake_canberra_played() {
    static std::string lines;
    lines.clear();
    for (const std::string& id : script.played) {
        lines += id + '\n';
    }
    return lines.c_str();
}

const char* fake_canberra_application_name() {
    return script.applicationName.c_str();
}

int ca_context_create(ca_context** context) {
    ++script.creates;
    if (script.createResult != CA_SUCCESS) {
        return script.createResult;
    }
    ++script.contexts;
    *context = kContext;
    return CA_SUCCESS;
}

int ca_context_destroy(ca_context*) {
    --script.contexts;
    return CA_SUCCESS;
}

int ca_context_change_props(ca_context* context, ...) {
    va_list properties;
    va_start(properties, context);
    while (const char* key = va_arg(properties, const char*)) {
        const char* value = va_arg(properties, const char*);
        if (std::strcmp(key, CA_PROP_APPLICATION_NAME) == 0) {
            script.applicationName = value;
        }
    }
    va_end(properties);
    return CA_SUCCESS;
}

int ca_context_play(ca_context*, uint32_t id, ...) {
    va_list properties;
    va_start(properties, id);
    while (const char* key = va_arg(properties, const char*)) {
        const char* value = va_arg(properties, const char*);
        if (std::strcmp(key, CA_PROP_EVENT_ID) == 0) {
            script.played.emplace_back(value);
        }
    }
    va_end(properties);
    if (script.playResults.empty()) {
        return CA_SUCCESS;
    }
    const int result = script.playResults.front();
    script.playResults.pop_front();
    return result;
}

}  // extern "C"
