// The module's one exported function.
#include "PIFilter.h"
#include "host/Dispatcher.h"

// No exception ever leaves the module: anything that escapes the dispatcher becomes
// an out-of-memory result, the only failure C++ code here can throw.
extern "C" __attribute__((visibility("default"))) void PluginMain(int16_t selector, FilterRecord* filterRecord,
                                                                  intptr_t* data, int16_t* result) {
    try {
        RunSelector(selector, filterRecord, data, result);
    } catch (...) {
        if (result) *result = memFullErr;
    }
}
