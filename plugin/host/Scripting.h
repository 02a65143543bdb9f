// Scripting parameters: reads the host's descriptor into the settings at Start and
// writes all 36 parameters back at Finish, so that a recorded step replays without
// the dialog. Keys and types come from the parameter table.
#pragma once

#include "PIFilter.h"

struct RunGlobals;
struct Settings;

// The key array handed to openReadDescriptorProc: the 36 keys and a zero.
const DescriptorKeyID* ScriptKeyArray();

// Version 0 blocks with at least 18 read and 16 write procedures, all 18 read ones set.
bool DescriptorSuiteUsable(const PIDescriptorParameters* parameters);
// Hosts whose descriptor handling the filter does not trust: "PSP8" and "PSP9".
bool HostWithoutScripting(const FilterRecord& record);
// A usable suite that opens a read descriptor: the run is being replayed.
bool HasScriptValues(const FilterRecord& record);

// The key of an export step: an alias naming the PSD file to write instead of
// filtering the image (the command line's export-psd).
constexpr DescriptorKeyID kExportPsdKey = PIFourCC("PSDf");

// Reads the parameters into settings, and an export step's file into
// globals.exportPath (empty when the descriptor asks for none).
void ReadScriptParameters(RunGlobals& globals, Settings& settings);
void WriteScriptParameters(RunGlobals& globals);
