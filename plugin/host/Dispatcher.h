// Selector dispatch: keeps the globals record in the host's data slot, makes sure
// the settings record exists in the host's parameters handle, and runs the selector.
// Every outcome is a result code in the caller's result slot.
#pragma once

#include "PIFilter.h"

void RunSelector(int16_t selector, FilterRecord* filterRecord, intptr_t* data, int16_t* result);
