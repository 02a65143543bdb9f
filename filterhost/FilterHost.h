// filterhost: the host side of the filter protocol, as a library.
//
// It reads a module's property list and terminology from the file without running
// any of its code, loads it, builds a FilterRecord over an image and drives the
// selectors, serving advanceState, displayPixels, progress, abort and
// the handle, buffer and descriptor suites. It is strict: a module whose property
// list does not fit is refused with a message, and every facility can be withheld
// so that a module's fallbacks can be exercised.
//
// Images: samples are interleaved, colour planes first, then the transparency
// plane if any; 8-bit images use 0..255 and 16-bit images the host scale 0..32768.
// A run takes the image's rows from a source and hands the finished rows to a sink,
// each once and from the top, holding only the rows the module may still ask for:
// those of its current request and one request's height above it; without a dialog
// nothing above the filter rectangle is held. A module asks for one row after
// another in a plain run; what it asks for before Continue (the dialog's preview,
// reduced images) is held until Continue moves past it, so a dialog run holds the
// whole image. Held rows keep the image's own depth. A request for a row already
// handed on fails (filterBadParameters); so do a source and a sink that fail
// (readErr, writErr), with their message.
// As the protocol's hosts do, the host applies the selection mask when it commits
// output: out = in + (filtered - in) * mask / 255, and keeps protected transparency.
// Requests at a rate s > 1 (the dialog's preview) get the image reduced by s in
// reduced coordinates, each pixel the rounded mean of its s x s block, made once per
// rate and run; their output, like any output asked for during Start but the last,
// never reaches the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PIFilter.h"

namespace filterhost {

// ---- What a module says about itself ----

struct FilterCaseInfo {
    uint8_t inputHandling = 0, outputHandling = 0, flags1 = 0, flags2 = 0;
};

struct PropertyList {
    OSType kind = 0;
    std::string name, category;
    uint32_t version = 0;
    std::string entryPoint;         // the x86-64 entry point ('8664')
    bool hasTerminology = false;
    OSType terminologyClass = 0, terminologyEvent = 0;
    int16_t terminologyId = 0;
    std::string terminologyScope;
    bool hasModeFlags = false;
    uint8_t modeFlags[2] = {0, 0};  // 'mode': bit 0x40 greyscale, 0x10 RGB in the first byte
    std::string enableExpression;   // 'enbl', empty when absent
    bool hasFilterCases = false;
    FilterCaseInfo filterCases[7];  // 'fici', one per filter case 1..7
};

struct TermParameter {
    std::string name;
    OSType key = 0, type = 0;
    std::string description;
    uint16_t flags = 0;
};

struct TermEnumValue {
    std::string name;
    OSType key = 0;
    std::string description;
};

struct TermEnumeration {
    OSType type = 0;
    std::vector<TermEnumValue> values;
};

struct Terminology {
    std::string suiteName, suiteDescription;
    OSType suiteId = 0;
    std::string eventName, eventDescription;
    OSType eventClass = 0, eventId = 0;
    OSType replyType = 0, directType = 0;
    uint16_t directFlags = 0;
    std::vector<TermParameter> parameters;
    std::vector<TermEnumeration> enumerations;
};

struct Resource {
    OSType type = 0;
    int32_t id = 0;
    std::string name;
    std::vector<uint8_t> bytes;
};

// Reads the resource directory from a module file's ".pirsrc" section.
bool ReadResources(const std::string& modulePath, std::vector<Resource>& resources, std::string& error);
// The same over a module file's bytes already in memory; modulePath only names it in errors.
bool ReadResourceBytes(const std::vector<uint8_t>& file, const std::string& modulePath,
                       std::vector<Resource>& resources, std::string& error);
bool ParsePropertyList(const std::vector<uint8_t>& bytes, PropertyList& list, std::string& error);
bool ParseTerminology(const std::vector<uint8_t>& bytes, Terminology& terms, std::string& error);

// What a module file says about itself, read and checked as Host::Load does
// (property list, kind, entry point, filter cases, terminology) without loading it.
struct ModuleInfo {
    std::vector<Resource> resources;
    PropertyList properties;
    Terminology terms;
};
bool ReadModuleInfo(const std::string& modulePath, ModuleInfo& info, std::string& error);

// Whether a property list accepts an image mode: through 'enbl' when the host reads
// it, else through the 'mode' flags.
bool AcceptsImageMode(const PropertyList& list, int16_t imageMode, bool readEnableExpression);

// ---- Images ----

// An image's shape, and its rows as a run moves them: interleaved samples in the
// image's own depth, one byte each at 8 bits, a native uint16_t at 16 bits.
struct ImageShape {
    int32_t width = 0, height = 0;
    int32_t colourPlanes = 3;   // 1 grey, 3 RGB
    bool transparency = false;  // one more plane after the colour planes
    int32_t depth = 8;          // 8 or 16

    int32_t Planes() const { return colourPlanes + (transparency ? 1 : 0); }
    std::size_t RowBytes() const {
        return std::size_t(width) * std::size_t(Planes()) * std::size_t(depth / 8);
    }
};

// Gives the rows a run starts from, each once, row 0 first. False, with a message,
// when a row cannot be read; the run then fails with readErr.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual bool ReadRow(int32_t y, uint8_t* row, std::string& error) = 0;
};

// Takes the rows a run leaves, each once, row 0 first. False, with a message, when a
// row cannot be written; the run then fails with writErr.
class RowSink {
public:
    virtual ~RowSink() = default;
    virtual bool WriteRow(int32_t y, const uint8_t* row, std::string& error) = 0;
};

struct Image {
    int32_t width = 0, height = 0;
    int32_t colourPlanes = 3;   // 1 grey, 3 RGB
    bool transparency = false;  // one more plane after the colour planes
    int32_t depth = 8;          // 8 or 16
    std::vector<uint16_t> samples;

    int32_t Planes() const { return colourPlanes + (transparency ? 1 : 0); }
    ImageShape Shape() const { return ImageShape{width, height, colourPlanes, transparency, depth}; }
    uint16_t& At(int32_t x, int32_t y, int32_t plane) {
        return samples[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(Planes()) +
                       std::size_t(plane)];
    }
    uint16_t At(int32_t x, int32_t y, int32_t plane) const {
        return samples[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(Planes()) +
                       std::size_t(plane)];
    }
    // A new image of the given shape, every sample set to fill.
    static Image Make(int32_t width, int32_t height, int32_t colourPlanes, bool transparency, int32_t depth,
                      uint16_t fill);
};

// ---- Scripting descriptors ----

struct DescriptorItem {
    OSType key = 0;
    OSType type = 0;        // typeInteger, typeBoolean or typeEnumerated
    int32_t value = 0;      // integer or boolean value
    OSType enumType = 0;    // for typeEnumerated
    OSType enumValue = 0;
};
using Descriptor = std::vector<DescriptorItem>;

// An alias item: a file the module is to use (on this platform the path's bytes).
struct DescriptorAlias {
    OSType key = 0;
    std::string path;
};

// ---- Running a module ----

// What the host offers; every facility can be withheld or bent.
struct HostOptions {
    OSType hostSig = PIFourCC("8BIM");
    bool advanceState = true;
    bool displayPixels = true;
    bool progress = true;
    bool abort = true;
    int16_t handleProcsVersion = kCurrentHandleProcsVersion;  // 0: no handle suite at all
    int16_t bufferProcsVersion = kCurrentBufferProcsVersion;  // 0: no buffer suite at all
    bool bufferSpaceProc = true;        // false: the buffer suite lacks spaceProc
    int32_t bufferFailAfter = -1;       // host buffer allocations after this many fail; -1 never
    int32_t advanceStateFailAt = 0;     // the nth call of advanceState (from 1) fails; 0 never
    OSErr advanceStateFailure = -1;     //   with this code
    bool descriptorSuite = true;
    char samplingSupport = hostSupportsIntegralSampling;
    bool readEnableExpression = true;   // false: an older host that reads only 'mode'
    const PIWindowGeometry* parentWindow = nullptr;
};

// One run: the selectors from Parameters (when a dialog is wanted) to Finish.
struct Job {
    std::optional<Rect> filterRect;     // default: the mask's bounding box, else the whole image
    std::vector<uint8_t> mask;          // width * height selection values; empty for none
    bool protectTransparency = false;   // keep the layer's transparency plane unchanged
    bool blendSelection = true;         // false: commit the module's output unblended, for a
                                        // host application that applies its selection itself
    std::vector<uint8_t> iccProfile;
    bool showDialog = false;            // call Parameters first
    std::optional<Descriptor> play;     // descriptor handed to the module at Start
    std::vector<DescriptorAlias> playAliases;  // alias items added to it
    int16_t playInfo = plugInDialogDontDisplay;  // plugInDialogDisplay asks for the dialog
    std::function<void(int32_t done, int32_t total)> onProgress;
    std::function<bool()> shouldAbort;  // polled by abortProc
};

// What happened during a run.
struct RunReport {
    OSErr result = noErr;                       // the first non-zero selector result, else 0
    std::vector<int16_t> selectors;             // in the order called
    std::vector<OSErr> results;                 // one per selector
    std::optional<Descriptor> recorded;         // the descriptor written at Finish
    int32_t advanceStateCalls = 0;
    int32_t abortCalls = 0;
    int32_t displayPixelsCalls = 0;
    std::vector<Rect> maskRects;                // every non-empty mask rectangle requested
    int32_t bufferSpace = 0;                    // what the module asked for at Prepare
    int32_t bufferAllocations = 0;              // host buffers handed out
    int32_t buffersOutstanding = 0;             // host buffers not freed at the end
    int32_t peakHeldRows = 0;                   // most image rows the host held at once
};

class Host {
public:
    // Reads and checks the module's property list, then loads it. Null, with a
    // message in error, when the file is missing, not a module, or not one this host
    // can run (kind, x86-64 entry point, image modes, filter cases).
    static std::unique_ptr<Host> Load(const std::string& modulePath, const HostOptions& options,
                                      std::string& error);
    ~Host();

    const PropertyList& Properties() const;
    const Terminology& Terms() const;
    const std::vector<Resource>& Resources() const;
    HostOptions& Options();

    // Shows the module's about box (selector About).
    OSErr About();
    // Runs the filter over the image of shape that source gives, handing the result
    // to sink: every row goes to the sink once a run has succeeded; after a failure,
    // the rows up to the last one the module wrote. Refuses (result filterBadMode,
    // message in error) an image mode the module does not accept; a source, sink or
    // request fault leaves its message in error.
    RunReport Run(const ImageShape& shape, RowSource& source, RowSink& sink, Job job, std::string& error);
    // The same over an image in memory, changed in place.
    RunReport Run(Image& image, Job job, std::string& error);

    // Low-level steps for tests; Run() is built from them. Begin checks the job and
    // sets up the record over the image (false, with a message, when it cannot run);
    // Call runs one selector; End commits the last output, passes the rows on and
    // fills the report. Source, sink and image must outlive End.
    bool Begin(const ImageShape& shape, RowSource& source, RowSink& sink, Job job, std::string& error);
    bool Begin(Image& image, Job job, std::string& error);
    FilterRecord& Record();
    OSErr Call(int16_t selector);
    RunReport End();

    // The module's data slot, and how many host handles exist and are locked now.
    intptr_t DataSlot() const;
    static int32_t LiveHandles();
    static int32_t LockedHandles();

    struct State;  // opaque: the host's record, suites and current run

private:
    Host();
    RunReport RunSelectors(std::string& error);
    std::unique_ptr<State> state;
};

}  // namespace filterhost
