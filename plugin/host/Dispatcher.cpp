// Selector dispatch.
#include "host/Dispatcher.h"

#include "host/HostUtil.h"

void RunSelector(int16_t selector, FilterRecord* filterRecord, intptr_t* data, int16_t* result) {
    Current() = {filterRecord, data, result};
    if (selector < filterSelectorAbout || selector > filterSelectorFinish) SetResult(filterBadParameters);
}
