// Loading a module and driving it over an in-memory image.
#include "FilterHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

#include "PIResources.h"
#include "Suites.h"

namespace filterhost {

Image Image::Make(int32_t width, int32_t height, int32_t colourPlanes, bool transparency, int32_t depth,
                  uint16_t fill) {
    Image image;
    image.width = width;
    image.height = height;
    image.colourPlanes = colourPlanes;
    image.transparency = transparency;
    image.depth = depth;
    image.samples.assign(std::size_t(width) * std::size_t(height) * std::size_t(image.Planes()), fill);
    return image;
}

namespace {

int16_t ImageModeOf(const ImageShape& image) {
    if (image.depth == 16) return image.colourPlanes == 1 ? plugInModeGray16 : plugInModeRGB48;
    return image.colourPlanes == 1 ? plugInModeGrayScale : plugInModeRGBColor;
}

bool EmptyRect(const Rect& r) { return r.bottom <= r.top || r.right <= r.left; }

// Sample i of a row in the image's own depth.
int32_t RowSample(const uint8_t* row, std::size_t i, int32_t bytesPerSample) {
    if (bytesPerSample == 1) return row[i];
    uint16_t w;
    std::memcpy(&w, row + 2 * i, 2);
    return w;
}

void SetRowSample(uint8_t* row, std::size_t i, int32_t bytesPerSample, int32_t value) {
    if (bytesPerSample == 1) {
        row[i] = uint8_t(value);
        return;
    }
    const uint16_t w = uint16_t(value);
    std::memcpy(row + 2 * i, &w, 2);
}

// count samples of an Image as row bytes in the image's own depth.
void SamplesToRow(const uint16_t* samples, std::size_t count, int32_t depth, uint8_t* row) {
    if (depth == 16) std::memcpy(row, samples, count * 2);
    else std::transform(samples, samples + count, row, [](uint16_t v) { return uint8_t(v); });
}

// A buffer served to the module for one rectangle, with what is needed to commit it.
struct Served {
    Rect rect{};
    int32_t loPlane = 0, hiPlane = -1;
    int32_t rate = 1;
    std::vector<uint8_t> bytes;
};

// One image row between source and sink: as the source gave it and, once output
// has been committed to it, as filtered.
struct HeldRow {
    std::vector<uint8_t> original, filtered;
};

// The rows of an image in memory, read from it and written back into it.
class ImageRows : public RowSource, public RowSink {
public:
    explicit ImageRows(Image& image) : image(image) {}
    // Plain copies, one loop per depth, which the compiler vectorises.
    bool ReadRow(int32_t y, uint8_t* row, std::string&) override {
        const std::size_t count = std::size_t(image.width) * std::size_t(image.Planes());
        SamplesToRow(image.samples.data() + std::size_t(y) * count, count, image.depth, row);
        return true;
    }
    bool WriteRow(int32_t y, const uint8_t* row, std::string&) override {
        const std::size_t count = std::size_t(image.width) * std::size_t(image.Planes());
        uint16_t* out = image.samples.data() + std::size_t(y) * count;
        if (image.depth == 16) std::memcpy(out, row, count * 2);
        else std::copy(row, row + count, out);
        return true;
    }

private:
    Image& image;
};

// The value of plane p at pixel (x, y) of a width x height image read through at,
// or the padding rule outside it.
template <typename At>
int32_t PaddedSample(int32_t width, int32_t height, const At& at, int32_t x, int32_t y, int32_t plane,
                     int16_t padding, bool& outside) {
    if (x >= 0 && y >= 0 && x < width && y < height) return at(x, y, plane);
    if (padding >= 0) return padding;
    if (padding != plugInWantsEdgeReplication) {
        outside = true;
        return 0;
    }
    return at(std::clamp(x, 0, width - 1), std::clamp(y, 0, height - 1), plane);
}

}  // namespace

struct Host::State {
    void* library = nullptr;
    PluginMainProc entry = nullptr;
    PropertyList properties;
    Terminology terms;
    std::vector<Resource> resources;
    HostOptions options;

    intptr_t data = 0;             // the module's data slot, kept from run to run
    Handle parameters = nullptr;   // the module's parameters handle, kept from run to run

    FilterRecord record{};
    HandleProcs handleProcs{};
    BufferProcs bufferProcs{};
    ReadDescriptorProcs readProcs{};
    WriteDescriptorProcs writeProcs{};
    PIDescriptorParameters descriptorParameters{};
    PlatformData platformData{};

    // The current run.
    ImageShape shape;
    RowSource* source = nullptr;
    RowSink* sink = nullptr;
    std::unique_ptr<ImageRows> imageRows;  // source and sink of a run over an image in memory
    // Rows [released, loaded) are held, row released first; rows above went to the
    // sink, rows below are still in the source.
    std::deque<HeldRow> held;
    int32_t released = 0, loaded = 0;
    int32_t keepAbove = 1;         // rows held above a request: the tallest request so far
    int32_t lastWritten = -1;      // the lowest row output has been committed to
    OSErr faultCode = noErr;       // readErr, writErr or filterBadParameters
    std::string fault;             // why a source, sink or request failed
    Job job;
    RunReport report;
    Served in, out, mask;
    std::map<int32_t, Image> reducedImages, reducedSelections;  // by rate, made when first asked for
    int16_t selector = -1;         // the selector running now
    bool continued = false;        // Continue has been called in this run
    Handle played = nullptr;       // the descriptor handed to the module to play, ours until it disposes it

    int32_t BytesPerSample() const { return shape.depth / 8; }
    const uint8_t* Original(int32_t y) const { return held[std::size_t(y - released)].original.data(); }
    int32_t OriginalAt(int32_t x, int32_t y, int32_t p) const {
        return RowSample(Original(y), std::size_t(x) * std::size_t(shape.Planes()) + std::size_t(p), BytesPerSample());
    }
    bool Fail(OSErr code, std::string message) {
        if (faultCode == noErr) {
            faultCode = code;
            fault = std::move(message);
        }
        return false;
    }
    bool Release(int32_t below);
    bool Load(int32_t below, int32_t keepFrom);
    OSErr Hold(const Rect& in, const Rect& out, int32_t rate);
    // The image or the selection at a rate, reduced once per run and kept: a host
    // holds reduced copies so that a preview's every refresh need not average anew.
    const Image& ReducedImage(int32_t rate);
    const Image& ReducedSelection(int32_t rate);
    void ServeImage(Served& served, const Rect& rect, int32_t lo, int32_t hi, int32_t rate, int16_t padding);
    void ServeMask(const Rect& rect, int32_t rate, int16_t padding);
    void Commit();
};

namespace {

Host::State* current = nullptr;  // the callbacks' way back to the running host

int32_t RateOf(Fixed rate) { return std::max(1, int32_t(rate >> 16)); }

// The image reduced by rate: each pixel the rounded mean of its rate x rate block
// (blocks at the right and bottom edges may be smaller). rowOf(y) gives row y's
// samples, each a Sample, pixel by pixel with the image's planes.
template <typename Sample, typename RowOf>
Image Reduce(const ImageShape& image, const RowOf& rowOf, int32_t rate) {
    Image reduced = Image::Make((image.width + rate - 1) / rate, (image.height + rate - 1) / rate, image.colourPlanes,
                                image.transparency, image.depth, 0);
    const int32_t planes = image.Planes();
    std::vector<uint32_t> sums(std::size_t(reduced.width) * std::size_t(planes));
    for (int32_t ry = 0; ry < reduced.height; ++ry) {
        std::fill(sums.begin(), sums.end(), 0u);
        const int32_t y0 = ry * rate, y1 = std::min(y0 + rate, image.height);
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* row = rowOf(y);
            std::size_t i = 0;
            for (int32_t rx = 0; rx < reduced.width; ++rx) {
                uint32_t* sum = sums.data() + std::size_t(rx) * std::size_t(planes);
                const int32_t x1 = std::min((rx + 1) * rate, image.width);
                for (int32_t x = rx * rate; x < x1; ++x)
                    for (int32_t p = 0; p < planes; ++p, ++i) {
                        Sample sample;
                        std::memcpy(&sample, row + i * sizeof(Sample), sizeof(Sample));
                        sum[p] += sample;
                    }
            }
        }
        for (int32_t rx = 0; rx < reduced.width; ++rx) {
            const uint32_t count = uint32_t((y1 - y0) * (std::min((rx + 1) * rate, image.width) - rx * rate));
            for (int32_t p = 0; p < planes; ++p)
                reduced.At(rx, ry, p) = uint16_t((sums[std::size_t(rx * planes + p)] + count / 2) / count);
        }
    }
    return reduced;
}

}  // namespace

// Hands rows [released, below) to the sink, filtered where output was committed.
bool Host::State::Release(int32_t below) {
    for (; released < std::min(below, loaded); ++released) {
        HeldRow& row = held.front();
        const std::vector<uint8_t>& bytes = row.filtered.empty() ? row.original : row.filtered;
        std::string error;
        if (!sink->WriteRow(released, bytes.data(), error))
            return Fail(writErr, "cannot write row " + std::to_string(released) + ": " + error);
        held.pop_front();
    }
    return true;
}

// Reads rows up to below from the source; rows above keepFrom pass straight on to
// the sink (they lie above every request to come).
bool Host::State::Load(int32_t below, int32_t keepFrom) {
    while (loaded < std::min(below, shape.height)) {
        HeldRow row;
        row.original.resize(shape.RowBytes());
        std::string error;
        if (!source->ReadRow(loaded, row.original.data(), error))
            return Fail(readErr, "cannot read row " + std::to_string(loaded) + ": " + error);
        held.push_back(std::move(row));
        if (loaded++ < keepFrom) {
            if (!Release(loaded)) return false;
            continue;
        }
        report.peakHeldRows = std::max(report.peakHeldRows, int32_t(held.size()));
    }
    return true;
}

// Makes the rows of a request present, first handing on the rows no later request
// can ask for: in the row loop (output asked for during Continue), those more than
// keepAbove above the request; in a run without a dialog, those more than keepAbove
// above the filter rectangle. Reduced images need the whole image, which a run
// holds until its row loop moves on.
OSErr Host::State::Hold(const Rect& inRect, const Rect& outRect, int32_t rate) {
    int32_t top = shape.height, bottom = 0;
    for (const Rect* r : {&inRect, &outRect}) {
        if (EmptyRect(*r)) continue;
        // Padding by edge replication reads the nearest row inside the image.
        top = std::min(top, std::clamp<int32_t>(r->top, 0, shape.height - 1));
        bottom = std::max(bottom, std::clamp<int32_t>(r->bottom, 1, shape.height));
    }
    if (top >= bottom) return noErr;
    if (rate > 1) {
        top = 0;
        bottom = shape.height;
    } else {
        keepAbove = std::max(keepAbove, bottom - top);
    }
    if (top < released) {
        Fail(filterBadParameters,
             "the module asked again for row " + std::to_string(top) + ", which was already written");
        return faultCode;
    }
    const bool dialog = job.showDialog || job.playInfo == plugInDialogDisplay;
    int32_t keepFrom = dialog ? released : record.filterRect.top - keepAbove;
    if (selector == filterSelectorContinue && !EmptyRect(outRect) && rate == 1)
        keepFrom = std::max(keepFrom, top - keepAbove);
    keepFrom = std::min(keepFrom, top);
    if (!Release(keepFrom) || !Load(bottom, keepFrom)) return faultCode;
    return noErr;
}

const Image& Host::State::ReducedImage(int32_t rate) {
    auto found = reducedImages.find(rate);
    if (found == reducedImages.end()) {
        const auto rowOf = [this](int32_t y) { return Original(y); };
        found = reducedImages
                    .emplace(rate, BytesPerSample() == 1 ? Reduce<uint8_t>(shape, rowOf, rate)
                                                         : Reduce<uint16_t>(shape, rowOf, rate))
                    .first;
    }
    return found->second;
}

const Image& Host::State::ReducedSelection(int32_t rate) {
    auto found = reducedSelections.find(rate);
    if (found == reducedSelections.end()) {
        const ImageShape selection{shape.width, shape.height, 1, false, 8};
        const auto rowOf = [this](int32_t y) { return job.mask.data() + std::size_t(y) * std::size_t(shape.width); };
        found = reducedSelections.emplace(rate, Reduce<uint8_t>(selection, rowOf, rate)).first;
    }
    return found->second;
}

void Host::State::ServeImage(Served& served, const Rect& rect, int32_t lo, int32_t hi, int32_t rate,
                             int16_t padding) {
    served.rect = rect;
    served.loPlane = lo;
    served.hiPlane = hi;
    served.rate = rate;
    served.bytes.clear();
    if (EmptyRect(rect) || hi < lo) return;
    const int32_t width = rect.right - rect.left, height = rect.bottom - rect.top, planes = hi - lo + 1;
    served.bytes.resize(std::size_t(width) * std::size_t(height) * std::size_t(planes) * std::size_t(BytesPerSample()));
    bool outside = false;
    std::size_t at = 0;
    const auto serve = [&](int32_t sourceWidth, int32_t sourceHeight, const auto& sample) {
        for (int32_t y = rect.top; y < rect.bottom; ++y)
            for (int32_t x = rect.left; x < rect.right; ++x)
                for (int32_t p = lo; p <= hi; ++p)
                    SetRowSample(served.bytes.data(), at++, BytesPerSample(),
                                 PaddedSample(sourceWidth, sourceHeight, sample, x, y, p, padding, outside));
    };
    // All planes of rows inside the image, as a plain run and a preview ask: whole runs
    // of the held rows' bytes, or of the reduced image's samples.
    const auto whole = [&](int32_t sourceWidth, int32_t sourceHeight) {
        return rect.top >= 0 && rect.left >= 0 && rect.bottom <= sourceHeight && rect.right <= sourceWidth && lo == 0 &&
               hi == shape.Planes() - 1;
    };
    const std::size_t runSamples = std::size_t(width) * std::size_t(planes);
    if (rate == 1 && whole(shape.width, shape.height)) {
        const std::size_t runBytes = runSamples * std::size_t(BytesPerSample());
        for (int32_t y = rect.top; y < rect.bottom; ++y)
            std::memcpy(served.bytes.data() + std::size_t(y - rect.top) * runBytes,
                        Original(y) + std::size_t(rect.left) * std::size_t(planes * BytesPerSample()), runBytes);
    } else if (rate == 1) {
        serve(shape.width, shape.height, [this](int32_t x, int32_t y, int32_t p) { return OriginalAt(x, y, p); });
    } else if (const Image& reduced = ReducedImage(rate); whole(reduced.width, reduced.height)) {
        for (int32_t y = rect.top; y < rect.bottom; ++y) {
            const uint16_t* from =
                reduced.samples.data() + (std::size_t(y) * std::size_t(reduced.width) + std::size_t(rect.left)) * planes;
            SamplesToRow(from, runSamples, reduced.depth,
                         served.bytes.data() + std::size_t(y - rect.top) * runSamples * std::size_t(BytesPerSample()));
        }
    } else {
        serve(reduced.width, reduced.height,
              [&reduced](int32_t x, int32_t y, int32_t p) { return int32_t(reduced.At(x, y, p)); });
    }
    if (outside) served.bytes.clear();
}

void Host::State::ServeMask(const Rect& rect, int32_t rate, int16_t padding) {
    mask.rect = rect;
    mask.rate = rate;
    mask.bytes.clear();
    if (EmptyRect(rect) || job.mask.empty()) return;
    bool outside = false;
    const auto serve = [&](int32_t width, int32_t height, const auto& sample) {
        for (int32_t y = rect.top; y < rect.bottom; ++y)
            for (int32_t x = rect.left; x < rect.right; ++x)
                mask.bytes.push_back(uint8_t(PaddedSample(width, height, sample, x, y, 0, padding, outside)));
    };
    if (rate == 1) {
        serve(shape.width, shape.height, [this](int32_t x, int32_t y, int32_t) {
            return int32_t(job.mask[std::size_t(y) * std::size_t(shape.width) + std::size_t(x)]);
        });
    } else {
        const Image& reduced = ReducedSelection(rate);
        serve(reduced.width, reduced.height,
              [&reduced](int32_t x, int32_t y, int32_t) { return int32_t(reduced.At(x, y, 0)); });
    }
    if (outside) mask.bytes.clear();
    report.maskRects.push_back(rect);
}

// Writes the output buffer into the held rows through the selection: out = in +
// (filtered - in) * mask / 255, rounded; protected transparency stays as it was.
// Output asked for while Start runs is the dialog's preview, scratch like any
// reduced output, except the last one: the first rows of the final run, which are
// committed once Continue runs.
void Host::State::Commit() {
    Served& o = out;
    if (o.bytes.empty() || o.rate != 1) return;
    const int32_t planes = shape.Planes(), bytes = BytesPerSample();
    const int32_t transparencyPlane = shape.transparency ? shape.colourPlanes : -1;
    // Output taken whole, as a plain run without a selection gives it: copied as it is.
    const bool whole = (job.mask.empty() || !job.blendSelection) && !(shape.transparency && job.protectTransparency) &&
                       o.loPlane == 0 && o.hiPlane == planes - 1 && o.rect.left >= 0 && o.rect.right <= shape.width;
    // Output over the whole row replaces it; any other output lands in a copy of it.
    const bool wholeRow = whole && o.rect.left == 0 && o.rect.right == shape.width;
    const std::size_t width = std::size_t(o.rect.right - o.rect.left), pixelBytes = std::size_t(planes * bytes);
    std::size_t at = 0;
    for (int32_t y = o.rect.top; y < o.rect.bottom; ++y) {
        const bool rowInside = y >= 0 && y < shape.height;
        HeldRow* row = rowInside ? &held[std::size_t(y - released)] : nullptr;
        if (rowInside) lastWritten = std::max(lastWritten, y);
        const uint8_t* from = o.bytes.data() + at * std::size_t(bytes);
        if (row && row->filtered.empty() && !wholeRow) row->filtered = row->original;
        if (row && whole) {
            if (wholeRow) row->filtered.assign(from, from + width * pixelBytes);
            else std::memcpy(row->filtered.data() + std::size_t(o.rect.left) * pixelBytes, from, width * pixelBytes);
            at += width * std::size_t(planes);
            continue;
        }
        for (int32_t x = o.rect.left; x < o.rect.right; ++x) {
            const bool inside = rowInside && x >= 0 && x < shape.width;
            const int32_t m = !inside || job.mask.empty() || !job.blendSelection
                                  ? 255
                                  : job.mask[std::size_t(y) * std::size_t(shape.width) + std::size_t(x)];
            for (int32_t p = o.loPlane; p <= o.hiPlane; ++p, ++at) {
                if (!inside || (p == transparencyPlane && job.protectTransparency)) continue;
                const int32_t filtered = RowSample(o.bytes.data(), at, bytes);
                const std::size_t i = std::size_t(x) * std::size_t(planes) + std::size_t(p);
                // A full or empty selection takes one side whole, as the blend would.
                const int32_t before = RowSample(row->original.data(), i, bytes);
                const int32_t value = m == 255 ? filtered
                                      : m == 0 ? before
                                               : (filtered * m + before * (255 - m) + 127) / 255;
                SetRowSample(row->filtered.data(), i, bytes, value);
            }
        }
    }
}

namespace {

OSErr AdvanceState() {
    Host::State& s = *current;
    FilterRecord& r = s.record;
    ++s.report.advanceStateCalls;
    if (s.selector != filterSelectorStart) s.Commit();
    if (s.report.advanceStateCalls == s.options.advanceStateFailAt) return s.options.advanceStateFailure;

    const int32_t inRate = RateOf(r.inputRate), maskRate = RateOf(r.maskRate);
    if ((r.inputRate & 0xFFFF) || (r.maskRate & 0xFFFF)) return filterBadParameters;
    if ((inRate > 1 || maskRate > 1) && s.record.samplingSupport == hostDoesNotSupportSampling)
        return filterBadParameters;
    const int32_t planes = s.shape.Planes();
    if (r.inLoPlane < 0 || r.inHiPlane >= planes || r.outLoPlane < 0 || r.outHiPlane >= planes)
        return filterBadParameters;
    if (const OSErr held = s.Hold(r.inRect, r.outRect, inRate); held != noErr) return held;

    s.ServeImage(s.in, r.inRect, r.inLoPlane, r.inHiPlane, inRate, r.inputPadding);
    s.ServeImage(s.out, r.outRect, r.outLoPlane, r.outHiPlane, inRate, r.outputPadding);
    s.ServeMask(r.maskRect, maskRate, r.maskPadding);
    if ((!EmptyRect(r.inRect) && s.in.bytes.empty()) || (!EmptyRect(r.outRect) && s.out.bytes.empty()))
        return filterBadParameters;  // a rectangle outside the image without padding

    const int32_t bytes = s.BytesPerSample();
    r.inData = s.in.bytes.empty() ? nullptr : s.in.bytes.data();
    r.inRowBytes = (r.inRect.right - r.inRect.left) * (r.inHiPlane - r.inLoPlane + 1) * bytes;
    r.inColumnBytes = (r.inHiPlane - r.inLoPlane + 1) * bytes;
    r.inPlaneBytes = bytes;
    r.outData = s.out.bytes.empty() ? nullptr : s.out.bytes.data();
    r.outRowBytes = (r.outRect.right - r.outRect.left) * (r.outHiPlane - r.outLoPlane + 1) * bytes;
    r.outColumnBytes = (r.outHiPlane - r.outLoPlane + 1) * bytes;
    r.outPlaneBytes = bytes;
    r.maskData = s.mask.bytes.empty() ? nullptr : s.mask.bytes.data();
    r.maskRowBytes = r.maskRect.right - r.maskRect.left;
    return noErr;
}

void Progress(int32_t done, int32_t total) {
    if (current->job.onProgress) current->job.onProgress(done, total);
}

Boolean Abort() {
    ++current->report.abortCalls;
    return current->job.shouldAbort && current->job.shouldAbort() ? 1 : 0;
}

// Copies 8-bit grey or RGB pixels of the map into the BGRA draw surface.
OSErr DisplayPixels(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow, int32_t dstCol,
                    void* platformContext) {
    ++current->report.displayPixelsCalls;
    if (!source || !srcRect) return filterBadParameters;
    auto* surface = static_cast<PIDrawSurface*>(platformContext);
    if (!surface) return noErr;
    const bool grey = source->imageMode == plugInModeGrayScale;
    for (int32_t y = srcRect->top; y < srcRect->bottom; ++y)
        for (int32_t x = srcRect->left; x < srcRect->right; ++x) {
            const int32_t sx = dstCol + (x - srcRect->left), sy = dstRow + (y - srcRect->top);
            if (sx < surface->clip.left || sx >= surface->clip.right || sy < surface->clip.top ||
                sy >= surface->clip.bottom || sx < 0 || sy < 0 || sx >= surface->width || sy >= surface->height)
                continue;
            const auto* pixel = static_cast<const uint8_t*>(source->baseAddr) +
                                (y - source->bounds.top) * source->rowBytes + (x - source->bounds.left) * source->colBytes;
            const uint8_t red = pixel[0];
            const uint8_t green = grey ? red : pixel[source->planeBytes];
            const uint8_t blue = grey ? red : pixel[2 * source->planeBytes];
            uint8_t* to = surface->pixels + sy * surface->rowBytes + sx * 4;
            to[0] = blue;
            to[1] = green;
            to[2] = red;
            to[3] = 255;
        }
    return noErr;
}

const Resource* FindResourceOf(const std::vector<Resource>& resources, OSType type, int32_t id) {
    for (const Resource& r : resources)
        if (r.type == type && r.id == id) return &r;
    return nullptr;
}

}  // namespace

Host::Host() : state(std::make_unique<State>()) {}

Host::~Host() {
    // The module's records go with the host. Records a module keeps on its own heap
    // (when the host's handle suite was withheld) live on with the process, as they
    // would in an application that keeps the module loaded.
    static auto* moduleOwned = new std::vector<Handle>;  // never destroyed, like the process's heap
    for (Handle handle : {reinterpret_cast<Handle>(state->data), state->parameters}) {
        if (!handle) continue;
        if (suites::OwnsHandle(handle)) suites::DisposeHostHandle(handle);
        else moduleOwned->push_back(handle);
    }
    if (state->library) ::dlclose(state->library);
}

bool ReadModuleInfo(const std::string& modulePath, ModuleInfo& info, std::string& error) {
    info = ModuleInfo{};
    if (!ReadResources(modulePath, info.resources, error)) return false;
    const Resource* pipl = FindResourceOf(info.resources, PIPLType, kPIPropertyListId);
    if (!pipl) {
        error = modulePath + " has no property list";
        return false;
    }
    if (!ParsePropertyList(pipl->bytes, info.properties, error)) return false;
    if (info.properties.kind != PIFourCC("8BFM")) {
        error = modulePath + " is not a filter module (its kind is not 8BFM)";
        return false;
    }
    if (info.properties.entryPoint.empty()) {
        error = modulePath + " has no entry point for x86-64";
        return false;
    }
    if (!info.properties.hasFilterCases) {
        error = modulePath + " says nothing of the filter cases it handles";
        return false;
    }
    if (info.properties.hasTerminology) {
        const Resource* aete = FindResourceOf(info.resources, AETEType, info.properties.terminologyId);
        if (!aete) {
            error = modulePath + " announces a terminology it does not carry";
            return false;
        }
        if (!ParseTerminology(aete->bytes, info.terms, error)) return false;
    }
    return true;
}

std::unique_ptr<Host> Host::Load(const std::string& modulePath, const HostOptions& options, std::string& error) {
    std::unique_ptr<Host> host(new Host);
    State& s = *host->state;
    s.options = options;
    ModuleInfo info;
    if (!ReadModuleInfo(modulePath, info, error)) return nullptr;
    s.resources = std::move(info.resources);
    s.properties = std::move(info.properties);
    s.terms = std::move(info.terms);
    s.library = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!s.library) {
        error = std::string("cannot load the module: ") + ::dlerror();
        return nullptr;
    }
    s.entry = reinterpret_cast<PluginMainProc>(::dlsym(s.library, s.properties.entryPoint.c_str()));
    if (!s.entry) {
        error = modulePath + " does not export its entry point " + s.properties.entryPoint;
        return nullptr;
    }
    return host;
}

const PropertyList& Host::Properties() const { return state->properties; }
const Terminology& Host::Terms() const { return state->terms; }
const std::vector<Resource>& Host::Resources() const { return state->resources; }
HostOptions& Host::Options() { return state->options; }
FilterRecord& Host::Record() { return state->record; }
intptr_t Host::DataSlot() const { return state->data; }
int32_t Host::LiveHandles() { return suites::LiveHandles(); }
int32_t Host::LockedHandles() { return suites::LockedHandles(); }

OSErr Host::About() {
    State& s = *state;
    s.record = FilterRecord{};
    s.record.hostSig = s.options.hostSig;
    s.platformData.hwnd = s.options.parentWindow;
    s.record.platformData = &s.platformData;
    current = &s;
    int16_t result = noErr;
    s.entry(filterSelectorAbout, &s.record, &s.data, &result);
    current = nullptr;
    return result;
}

bool Host::Begin(const ImageShape& image, RowSource& source, RowSink& sink, Job given, std::string& error) {
    State& s = *state;
    // The job is kept for the run, moved rather than copied: its mask may be large.
    s.job = std::move(given);
    const Job& job = s.job;
    const HostOptions& o = s.options;
    if (image.width <= 0 || image.height <= 0 || image.width > 30000 || image.height > 30000) {
        error = "the image must be between 1 and 30000 pixels on each side";
        return false;
    }
    if ((image.colourPlanes != 1 && image.colourPlanes != 3) || (image.depth != 8 && image.depth != 16)) {
        error = "the image must be grey or RGB at 8 or 16 bits per channel";
        return false;
    }
    if (!job.mask.empty() && job.mask.size() != std::size_t(image.width) * std::size_t(image.height)) {
        error = "the selection mask does not match the image size";
        return false;
    }
    const int16_t mode = ImageModeOf(image);
    if (!AcceptsImageMode(s.properties, mode, o.readEnableExpression)) {
        error = "the module does not accept " + std::string(image.colourPlanes == 1 ? "greyscale" : "RGB") +
                " images at " + std::to_string(image.depth) + " bits per channel";
        return false;
    }

    Rect filter{0, 0, int16_t(image.height), int16_t(image.width)};
    if (job.filterRect) {
        filter = *job.filterRect;
    } else if (!job.mask.empty()) {
        Rect box{int16_t(image.height), int16_t(image.width), 0, 0};
        for (int32_t y = 0; y < image.height; ++y)
            for (int32_t x = 0; x < image.width; ++x)
                if (job.mask[std::size_t(y) * std::size_t(image.width) + std::size_t(x)]) {
                    box.top = std::min<int16_t>(box.top, int16_t(y));
                    box.left = std::min<int16_t>(box.left, int16_t(x));
                    box.bottom = std::max<int16_t>(box.bottom, int16_t(y + 1));
                    box.right = std::max<int16_t>(box.right, int16_t(x + 1));
                }
        filter = box;
    }
    if (EmptyRect(filter) || filter.top < 0 || filter.left < 0 || filter.bottom > image.height ||
        filter.right > image.width) {
        error = "the selection is empty or outside the image";
        return false;
    }

    const bool hasMask = !job.mask.empty();
    int16_t filterCase = hasMask ? filterCaseFlatImageWithSelection : filterCaseFlatImageNoSelection;
    if (image.transparency)
        filterCase = int16_t(job.protectTransparency ? (hasMask ? 7 : 6) : (hasMask ? 5 : 4));
    if (s.properties.filterCases[filterCase - 1].inputHandling == 0) {
        error = "the module does not handle this kind of layer and selection";
        return false;
    }

    s.shape = image;
    s.source = &source;
    s.sink = &sink;
    s.held.clear();
    s.released = s.loaded = 0;
    s.keepAbove = 1;
    s.lastWritten = -1;
    s.faultCode = noErr;
    s.fault.clear();
    s.report = RunReport{};
    s.in = s.out = s.mask = Served{};
    s.continued = false;
    s.reducedImages.clear();
    s.reducedSelections.clear();
    suites::Buffers() = suites::BufferCounters{0, o.bufferFailAfter, 0};

    suites::FillHandleProcs(s.handleProcs, o.handleProcsVersion);
    suites::FillBufferProcs(s.bufferProcs, o.bufferProcsVersion, o.bufferSpaceProc);
    suites::FillDescriptorProcs(s.readProcs, s.writeProcs);
    s.descriptorParameters = PIDescriptorParameters{kCurrentDescriptorParametersVersion, job.playInfo,
                                                    plugInDialogOptional, nullptr, &s.writeProcs, &s.readProcs};
    if (job.play || !job.playAliases.empty())
        s.descriptorParameters.descriptor = suites::MakeDescriptorHandle(job.play.value_or(Descriptor{}), job.playAliases);
    s.played = s.descriptorParameters.descriptor;
    s.platformData.hwnd = o.parentWindow;

    FilterRecord& r = s.record;
    r = FilterRecord{};
    r.abortProc = o.abort ? Abort : nullptr;
    r.progressProc = o.progress ? Progress : nullptr;
    r.parameters = s.parameters;
    r.imageSize = Point{int16_t(image.height), int16_t(image.width)};
    r.planes = int16_t(image.Planes());
    r.filterRect = filter;
    r.background = RGBColor{65535, 65535, 65535};
    r.foreground = RGBColor{0, 0, 0};
    r.maxSpace = 1 << 30;
    r.haveMask = hasMask;
    r.autoMask = 1;
    r.hostSig = o.hostSig;
    r.imageMode = mode;
    r.imageHRes = r.imageVRes = 72 << 16;
    r.wholeSize = r.imageSize;
    r.platformData = &s.platformData;
    r.bufferProcs = o.bufferProcsVersion ? &s.bufferProcs : nullptr;
    r.displayPixels = o.displayPixels ? DisplayPixels : nullptr;
    r.handleProcs = o.handleProcsVersion ? &s.handleProcs : nullptr;
    r.filterCase = filterCase;
    r.advanceState = o.advanceState ? AdvanceState : nullptr;
    r.supportsPadding = 1;
    r.inputPadding = r.outputPadding = r.maskPadding = plugInWantsEdgeReplication;
    r.samplingSupport = o.samplingSupport;
    r.inputRate = r.maskRate = 0x10000;
    r.inLayerPlanes = r.outLayerPlanes = int16_t(image.colourPlanes);
    r.inTransparencyMask = r.outTransparencyMask = image.transparency ? 1 : 0;
    r.descriptorParameters = o.descriptorSuite ? &s.descriptorParameters : nullptr;
    r.depth = image.depth;
    if (!job.iccProfile.empty()) {
        r.iCCprofileData = suites::NewHostHandle(int32_t(job.iccProfile.size()));
        std::memcpy(suites::HandleData(r.iCCprofileData), job.iccProfile.data(), job.iccProfile.size());
        r.iCCprofileSize = int32_t(job.iccProfile.size());
    }
    r.canUseICCProfiles = 1;
    return true;
}

bool Host::Begin(Image& image, Job job, std::string& error) {
    state->imageRows = std::make_unique<ImageRows>(image);
    return Begin(image.Shape(), *state->imageRows, *state->imageRows, std::move(job), error);
}

OSErr Host::Call(int16_t selector) {
    State& s = *state;
    current = &s;
    s.selector = selector;
    if (selector == filterSelectorContinue) s.continued = true;
    int16_t result = noErr;
    s.entry(selector, &s.record, &s.data, &result);
    s.selector = -1;
    s.parameters = s.record.parameters;
    if (selector == filterSelectorPrepare) s.report.bufferSpace = s.record.bufferSpace;
    s.report.selectors.push_back(selector);
    s.report.results.push_back(result);
    if (result != noErr && s.report.result == noErr) s.report.result = result;
    current = nullptr;
    return result;
}

RunReport Host::End() {
    State& s = *state;
    if (s.continued) s.Commit();
    s.out = Served{};
    // A finished run passes every row on; a failed one the rows up to the last the
    // module wrote, so that an abort keeps what was done (the caller may drop it).
    const bool passed = s.report.result == noErr ? s.Release(s.loaded) && s.Load(s.shape.height, s.shape.height)
                                                 : s.Release(s.lastWritten + 1);
    if (!passed && s.report.result == noErr) s.report.result = s.faultCode;
    s.held.clear();
    const Handle recorded = s.descriptorParameters.descriptor;
    if (recorded) {
        if (!s.report.selectors.empty() && s.report.selectors.back() == filterSelectorFinish)
            s.report.recorded = suites::ReadDescriptorHandle(recorded);
        suites::DisposeHostHandle(recorded);
        s.descriptorParameters.descriptor = nullptr;
    }
    // Without our handle suite the module cannot dispose the played descriptor; it
    // drops its reference instead, and the handle comes back to us.
    if (s.played && s.played != recorded && !s.options.handleProcsVersion && suites::OwnsHandle(s.played))
        suites::DisposeHostHandle(s.played);
    s.played = nullptr;
    if (s.record.iCCprofileData) suites::DisposeHostHandle(s.record.iCCprofileData);
    s.record.iCCprofileData = nullptr;
    s.report.bufferAllocations = suites::Buffers().allocations;
    s.report.buffersOutstanding = suites::Buffers().outstanding;
    s.source = nullptr;
    s.sink = nullptr;
    s.job = Job{};  // its mask and its callbacks end with the run
    return s.report;
}

RunReport Host::Run(const ImageShape& shape, RowSource& source, RowSink& sink, Job job, std::string& error) {
    if (!Begin(shape, source, sink, std::move(job), error)) {
        RunReport refused;
        refused.result = filterBadMode;
        return refused;
    }
    return RunSelectors(error);
}

RunReport Host::Run(Image& image, Job job, std::string& error) {
    if (!Begin(image, std::move(job), error)) {
        RunReport refused;
        refused.result = filterBadMode;
        return refused;
    }
    return RunSelectors(error);
}

RunReport Host::RunSelectors(std::string& error) {
    FilterRecord& r = state->record;
    const Job& job = state->job;
    const auto Empty = [&r] { return EmptyRect(r.inRect) && EmptyRect(r.outRect) && EmptyRect(r.maskRect); };
    bool ok = !job.showDialog || Call(filterSelectorParameters) == noErr;
    ok = ok && Call(filterSelectorPrepare) == noErr;
    ok = ok && Call(filterSelectorStart) == noErr;
    // One Continue normally renders everything; a module without advanceState
    // needs one per row. The bound keeps a faulty module from looping forever.
    for (int32_t calls = 0; ok && !Empty() && calls <= state->shape.height + 2; ++calls)
        ok = Call(filterSelectorContinue) == noErr;
    if (ok) Call(filterSelectorFinish);
    RunReport report = End();
    if (!state->fault.empty()) error = state->fault;
    return report;
}

}  // namespace filterhost
