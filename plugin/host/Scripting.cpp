// Reading and writing the scripting descriptor.
#include "host/Scripting.h"

#include <array>
#include <cstring>

#include "host/Globals.h"
#include "settings/Parameters.h"

namespace {

constexpr std::array<DescriptorKeyID, kParameterCount + 1> MakeKeyArray() {
    std::array<DescriptorKeyID, kParameterCount + 1> keys{};
    for (int i = 0; i < kParameterCount; ++i) keys[std::size_t(i)] = kParameters[std::size_t(i)].key;
    return keys;
}

constexpr std::array<DescriptorKeyID, kParameterCount + 1> kKeyArray = MakeKeyArray();

const ParameterInfo* FindParameter(DescriptorKeyID key) {
    for (const ParameterInfo& p : kParameters)
        if (p.key == key) return &p;
    return nullptr;
}

// The descriptor handle belongs to the host: it can only go back through the host's
// handle suite, never to the platform heap.
void DisposeHostHandle(const FilterRecord& record, PIDescriptorHandle& descriptor) {
    if (descriptor && HandleSuiteUsable(&record)) DisposeHandle(descriptor);
    descriptor = nullptr;
}

// An export step's file: the alias's bytes as a path; a path that does not fit is
// refused (left empty) rather than cut short.
void ReadExportPath(const FilterRecord& record, const ReadDescriptorProcs& procs, PIReadDescriptor token,
                    char (&path)[kPathCapacity]) {
    Handle alias = nullptr;
    if (!procs.getAliasProc || procs.getAliasProc(token, &alias) != noErr || !alias) return;
    const int32_t size = record.handleProcs ? record.handleProcs->getSizeProc(alias) : 0;
    if (const Ptr bytes = LockHandle(alias, false); bytes && size > 0 && size < kPathCapacity) {
        std::memcpy(path, bytes, std::size_t(size));
        path[size] = '\0';
    }
    UnlockHandle(alias);
    DisposeHostHandle(record, alias);
}

// Reads the value of the key just returned by getKeyProc into its field, with the
// getter of the parameter's own type.
void ReadValue(const ReadDescriptorProcs& procs, PIReadDescriptor token, const ParameterInfo& p, Settings& settings) {
    ScriptValue value = ToScriptValue(p, 0);
    bool read = false;
    switch (value.type) {
        case typeInteger: read = procs.getIntegerProc(token, &value.value) == noErr; break;
        case typeBoolean: {
            Boolean flag = 0;
            read = procs.getBooleanProc(token, &flag) == noErr;
            value.value = flag ? 1 : 0;
            break;
        }
        default: read = procs.getEnumeratedProc(token, &value.enumValue) == noErr; break;
    }
    if (read) FromScriptValue(p, value, settings.*p.field);
}

}  // namespace

const DescriptorKeyID* ScriptKeyArray() { return kKeyArray.data(); }

bool DescriptorSuiteUsable(const PIDescriptorParameters* parameters) {
    if (!parameters || parameters->descriptorParametersVersion != kCurrentDescriptorParametersVersion) return false;
    const ReadDescriptorProcs* read = parameters->readDescriptorProcs;
    const WriteDescriptorProcs* write = parameters->writeDescriptorProcs;
    if (!read || !write || read->readDescriptorProcsVersion != 0 || write->writeDescriptorProcsVersion != 0)
        return false;
    if (read->numReadDescriptorProcs < kCurrentReadDescriptorProcsCount ||
        write->numWriteDescriptorProcs < kCurrentWriteDescriptorProcsCount)
        return false;
    const void* procs[] = {
        reinterpret_cast<const void*>(read->openReadDescriptorProc),
        reinterpret_cast<const void*>(read->closeReadDescriptorProc),
        reinterpret_cast<const void*>(read->getKeyProc),
        reinterpret_cast<const void*>(read->getIntegerProc),
        reinterpret_cast<const void*>(read->getFloatProc),
        reinterpret_cast<const void*>(read->getUnitFloatProc),
        reinterpret_cast<const void*>(read->getBooleanProc),
        reinterpret_cast<const void*>(read->getTextProc),
        reinterpret_cast<const void*>(read->getAliasProc),
        reinterpret_cast<const void*>(read->getEnumeratedProc),
        reinterpret_cast<const void*>(read->getClassProc),
        reinterpret_cast<const void*>(read->getSimpleReferenceProc),
        reinterpret_cast<const void*>(read->getObjectProc),
        reinterpret_cast<const void*>(read->getCountProc),
        reinterpret_cast<const void*>(read->getStringProc),
        reinterpret_cast<const void*>(read->getPinnedIntegerProc),
        reinterpret_cast<const void*>(read->getPinnedFloatProc),
        reinterpret_cast<const void*>(read->getPinnedUnitFloatProc),
    };
    for (const void* proc : procs)
        if (!proc) return false;
    return true;
}

bool HostWithoutScripting(const FilterRecord& record) {
    return record.hostSig == PIFourCC("PSP8") || record.hostSig == PIFourCC("PSP9");
}

bool HasScriptValues(const FilterRecord& record) {
    if (HostWithoutScripting(record) || !DescriptorSuiteUsable(record.descriptorParameters)) return false;
    const PIDescriptorParameters& parameters = *record.descriptorParameters;
    PIReadDescriptor token =
        parameters.readDescriptorProcs->openReadDescriptorProc(parameters.descriptor, ScriptKeyArray());
    if (!token) return false;
    parameters.readDescriptorProcs->closeReadDescriptorProc(token);
    return true;
}

void ReadScriptParameters(RunGlobals& globals, Settings& settings) {
    FilterRecord& record = *globals.filterRecord;
    if (HostWithoutScripting(record) || !DescriptorSuiteUsable(record.descriptorParameters)) return;
    PIDescriptorParameters& parameters = *record.descriptorParameters;
    const ReadDescriptorProcs& procs = *parameters.readDescriptorProcs;
    globals.exportPath[0] = '\0';

    if (PIReadDescriptor token = procs.openReadDescriptorProc(parameters.descriptor, ScriptKeyArray())) {
        FactoryReset(settings);
        DescriptorKeyID key = 0;
        DescType type = 0;
        int32_t flags = 0;
        while (procs.getKeyProc(token, &key, &type, &flags)) {
            if (const ParameterInfo* p = FindParameter(key)) ReadValue(procs, token, *p, settings);
            if (key == kExportPsdKey && type == typeAlias) ReadExportPath(record, procs, token, globals.exportPath);
        }
        const OSErr closed = procs.closeReadDescriptorProc(token);
        DisposeHostHandle(record, parameters.descriptor);
        if (closed != noErr && closed != errAEParamMissed) SetResult(closed);
    }
    settings.showDialog = parameters.playInfo == plugInDialogDisplay ? 1 : 0;
}

void WriteScriptParameters(RunGlobals& globals) {
    FilterRecord& record = *globals.filterRecord;
    if (!DescriptorSuiteUsable(record.descriptorParameters)) return;
    PIDescriptorParameters& parameters = *record.descriptorParameters;
    const WriteDescriptorProcs& procs = *parameters.writeDescriptorProcs;
    PIWriteDescriptor token = procs.openWriteDescriptorProc();
    if (!token) return;

    const Settings& settings = *CurrentSettings();
    for (const ParameterInfo& p : kParameters) {
        const ScriptValue value = ToScriptValue(p, settings.*p.field);
        switch (value.type) {
            case typeInteger: procs.putIntegerProc(token, p.key, value.value); break;
            case typeBoolean: procs.putBooleanProc(token, p.key, Boolean(value.value)); break;
            default: procs.putEnumeratedProc(token, p.key, value.enumType, value.enumValue); break;
        }
    }
    DisposeHostHandle(record, parameters.descriptor);
    procs.closeWriteDescriptorProc(token, &parameters.descriptor);
    parameters.recordInfo = plugInDialogOptional;
}
