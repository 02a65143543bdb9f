// The scripting descriptor as a host delivers it: the input is the host's descriptor
// handle, read through filterhost's descriptor suite by the module's reader.
#include <cstdlib>
#include <cstring>

#include "Suites.h"
#include "host/Globals.h"
#include "host/Scripting.h"
#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    namespace suites = filterhost::suites;
    if (size > (1 << 20)) return 0;
    static HandleProcs handles{};
    static ReadDescriptorProcs read{};
    static WriteDescriptorProcs write{};
    static const bool ready = (suites::FillHandleProcs(handles, kCurrentHandleProcsVersion),
                               suites::FillDescriptorProcs(read, write), true);
    (void)ready;
    const int32_t livingBefore = suites::LiveHandles();

    PIDescriptorParameters parameters{kCurrentDescriptorParametersVersion, plugInDialogDontDisplay,
                                      plugInDialogOptional, suites::NewHostHandle(int32_t(size)), &write, &read};
    if (size) std::memcpy(suites::HandleData(parameters.descriptor), data, size);
    FilterRecord record{};
    record.hostSig = PIFourCC("8BIM");
    record.handleProcs = &handles;
    record.descriptorParameters = &parameters;
    intptr_t slot = 0;
    int16_t result = noErr;
    Current() = {&record, &slot, &result};
    RunGlobals globals{};
    globals.result = &result;
    globals.filterRecord = &record;
    Settings settings{};
    FactoryReset(settings);
    ReadScriptParameters(globals, settings);
    // The module gives the descriptor and every alias back to the host.
    if (parameters.descriptor || suites::LiveHandles() != livingBefore) std::abort();
    Current() = {};
    return 0;
}
