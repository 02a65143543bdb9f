// tesselume-gimp: a GIMP 2.10 plug-in that offers every filter module in its
// modules folders as a procedure of its own, and runs it on the active drawable
// through filterhost. "tesselume-gimp --install" copies it and the modules beside
// it into the user's GIMP plug-ins folder.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <libgimp/gimp.h>

#include "ImageFiles.h"
#include "Modules.h"
#include "ParentWindow.h"

namespace {

namespace fs = std::filesystem;
using tesselume::gimp::FilterModule;

constexpr int kLeadingArguments = 3;  // run-mode, image, drawable

// The pipe GIMP talks to us on. During a run nothing arrives on it unless GIMP
// asks the plug-in to quit, which is what its Cancel button does.
int gimpReadPipe = -1;

std::string BridgeFolder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().string();
}

std::vector<char> Chars(const std::string& text) { return std::vector<char>(text.c_str(), text.c_str() + text.size() + 1); }

// ---- Query ----

void Query() {
    std::vector<std::string> problems;
    const std::vector<FilterModule> modules =
        tesselume::gimp::FindModules(tesselume::gimp::ModuleFolders(BridgeFolder()), problems);
    for (const std::string& problem : problems) std::fprintf(stderr, "tesselume-gimp: %s\n", problem.c_str());

    for (const FilterModule& module : modules) {
        const filterhost::PropertyList& list = module.info.properties;
        const std::string types = tesselume::gimp::ImageTypes(list);
        if (types.empty()) {
            std::fprintf(stderr, "tesselume-gimp: %s accepts neither RGB nor greyscale images\n", module.path.c_str());
            continue;
        }
        // GimpParamDef wants writable strings: keep them alive until installed.
        std::vector<std::vector<char>> texts;
        std::vector<GimpParamDef> params;
        const auto add = [&](GimpPDBArgType type, const std::string& name, const std::string& description) {
            texts.push_back(Chars(name));
            char* n = texts.back().data();
            texts.push_back(Chars(description));
            params.push_back({type, n, texts.back().data()});
        };
        add(GIMP_PDB_INT32, "run-mode", "The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }");
        add(GIMP_PDB_IMAGE, "image", "Input image");
        add(GIMP_PDB_DRAWABLE, "drawable", "Input drawable");
        for (const tesselume::gimp::Argument& argument : tesselume::gimp::Arguments(module.info.terms))
            add(GIMP_PDB_INT32, argument.name, argument.description);

        const std::string blurb = module.info.terms.eventDescription.empty() ? list.name
                                                                              : module.info.terms.eventDescription;
        const std::string help = "Runs the filter module " + module.path +
                                 " on the drawable. The arguments after the drawable are the module's scripting "
                                 "parameters; switches are 0 or 1, enumerations their 1-based number.";
        gimp_install_procedure(module.procedure.c_str(), blurb.c_str(), help.c_str(), list.category.c_str(),
                               list.category.c_str(), "", list.name.c_str(), types.c_str(), GIMP_PLUGIN,
                               gint(params.size()), 0, params.data(), nullptr);
        gimp_plugin_menu_register(module.procedure.c_str(), ("<Image>/Filters/" + list.category).c_str());
    }
}

// ---- Pixels between GIMP and the host image ----

// The drawable's pixels as 8 or 16 bits in its own tone curve (perceptual or linear),
// so that 8-bit and 16-bit images reach the module unconverted. Deeper precisions
// are read as 16 bits and GIMP converts the result back.
struct PixelFormat {
    const Babl* format = nullptr;
    int32_t depth = 8;
};

PixelFormat FormatOf(gint32 image, gint32 drawable) {
    const GimpPrecision precision = gimp_image_get_precision(image);
    const bool perceptual = precision % 100 == 50;  // the *_GAMMA precisions
    const bool grey = gimp_drawable_is_gray(drawable), alpha = gimp_drawable_has_alpha(drawable);
    PixelFormat pixels;
    pixels.depth = precision == GIMP_PRECISION_U8_LINEAR || precision == GIMP_PRECISION_U8_GAMMA ? 8 : 16;
    std::string name = grey ? (perceptual ? "Y'" : "Y") : (perceptual ? "R'G'B'" : "RGB");
    if (alpha) name += "A";
    name += pixels.depth == 8 ? " u8" : " u16";
    pixels.format = babl_format(name.c_str());
    return pixels;
}

// What was read, kept to write unchanged 16-bit samples back exactly as they were.
struct DrawablePixels {
    filterhost::Image image;
    std::vector<uint16_t> deep;  // 16-bit samples as GIMP gave them (0..65535)
};

void ReadPixels(gint32 drawable, const PixelFormat& pixels, DrawablePixels& read) {
    filterhost::Image& image = read.image;
    image.width = gimp_drawable_width(drawable);
    image.height = gimp_drawable_height(drawable);
    image.colourPlanes = gimp_drawable_is_gray(drawable) ? 1 : 3;
    image.transparency = gimp_drawable_has_alpha(drawable);
    image.depth = pixels.depth;
    const std::size_t count = std::size_t(image.width) * std::size_t(image.height) * std::size_t(image.Planes());
    image.samples.resize(count);
    GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
    const GeglRectangle whole = {0, 0, image.width, image.height};
    if (pixels.depth == 8) {
        std::vector<uint8_t> bytes(count);
        gegl_buffer_get(buffer, &whole, 1.0, pixels.format, bytes.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
        std::copy(bytes.begin(), bytes.end(), image.samples.begin());
    } else {
        read.deep.resize(count);
        gegl_buffer_get(buffer, &whole, 1.0, pixels.format, read.deep.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
        std::transform(read.deep.begin(), read.deep.end(), image.samples.begin(), tesselume::ToHostScale);
    }
    g_object_unref(buffer);
}

// Writes the area through GIMP's shadow buffer and merges it as one undo step;
// GIMP blends it through the selection and keeps locked transparency.
void WritePixels(gint32 drawable, const PixelFormat& pixels, const DrawablePixels& read, const GeglRectangle& area) {
    const filterhost::Image& image = read.image;
    const std::size_t planes = std::size_t(image.Planes()), rowSamples = std::size_t(area.width) * planes;
    std::vector<uint8_t> bytes(pixels.depth == 8 ? rowSamples * std::size_t(area.height) : 0);
    std::vector<uint16_t> words(pixels.depth == 8 ? 0 : rowSamples * std::size_t(area.height));
    for (int32_t y = 0; y < area.height; ++y) {
        const std::size_t from = (std::size_t(area.y + y) * std::size_t(image.width) + std::size_t(area.x)) * planes;
        const std::size_t to = std::size_t(y) * rowSamples;
        for (std::size_t i = 0; i < rowSamples; ++i) {
            const uint16_t value = image.samples[from + i];
            if (pixels.depth == 8) {
                bytes[to + i] = uint8_t(value);
            } else {
                const uint16_t before = read.deep[from + i];
                words[to + i] = value == tesselume::ToHostScale(before) ? before : tesselume::FromHostScale(value);
            }
        }
    }
    GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
    gegl_buffer_set(shadow, &area, 0, pixels.format,
                    pixels.depth == 8 ? static_cast<const void*>(bytes.data()) : static_cast<const void*>(words.data()),
                    GEGL_AUTO_ROWSTRIDE);
    gegl_buffer_flush(shadow);
    g_object_unref(shadow);
    gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, area.x, area.y, area.width, area.height);
}

// The selection over the drawable, 0..255 a pixel; empty without a selection.
std::vector<uint8_t> ReadSelection(gint32 image, gint32 drawable, int32_t width, int32_t height) {
    if (gimp_selection_is_empty(image)) return {};
    gint x = 0, y = 0;
    gimp_drawable_offsets(drawable, &x, &y);
    std::vector<uint8_t> mask(std::size_t(width) * std::size_t(height));
    GeglBuffer* selection = gimp_drawable_get_buffer(gimp_image_get_selection(image));
    const GeglRectangle over = {x, y, width, height};
    gegl_buffer_get(selection, &over, 1.0, babl_format("Y u8"), mask.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    g_object_unref(selection);
    return mask;
}

std::vector<uint8_t> ProfileOf(gint32 image) {
    GimpColorProfile* profile = gimp_image_get_color_profile(image);
    if (!profile) return {};
    gsize length = 0;
    const guint8* bytes = gimp_color_profile_get_icc_profile(profile, &length);
    std::vector<uint8_t> icc(bytes, bytes + length);
    g_object_unref(profile);
    return icc;
}

// ---- Run ----

struct Outcome {
    GimpPDBStatusType status = GIMP_PDB_SUCCESS;
    std::string message;
};

Outcome Fail(GimpPDBStatusType status, std::string message) { return {status, std::move(message)}; }

bool CancelRequested() {
    if (gimpReadPipe < 0) return false;
    pollfd pipe = {gimpReadPipe, POLLIN, 0};
    return ::poll(&pipe, 1, 0) > 0 && (pipe.revents & (POLLIN | POLLHUP | POLLERR));
}

Outcome RunFilter(const std::string& procedure, gint argumentCount, const GimpParam* arguments) {
    const GimpRunMode runMode = GimpRunMode(arguments[0].data.d_int32);
    const gint32 imageId = arguments[1].data.d_image, drawable = arguments[2].data.d_drawable;

    std::vector<std::string> problems;
    const std::vector<std::string> folders = tesselume::gimp::ModuleFolders(BridgeFolder());
    const std::vector<FilterModule> modules = tesselume::gimp::FindModules(folders, problems);
    const auto module = std::find_if(modules.begin(), modules.end(),
                                     [&](const FilterModule& m) { return m.procedure == procedure; });
    if (module == modules.end()) {
        std::string message = "No filter module for " + procedure + " in ";
        for (std::size_t i = 0; i < folders.size(); ++i) message += (i ? ", " : "") + folders[i];
        message += ".";
        for (const std::string& problem : problems) message += "\n" + problem;
        return Fail(GIMP_PDB_EXECUTION_ERROR, message);
    }
    const filterhost::Terminology& terms = module->info.terms;
    // The menu name without its trailing dots, for the progress bar and messages.
    std::string title = module->info.properties.name;
    while (title.size() > 1 && title.back() == '.') title.pop_back();
    const std::size_t parameterCount = terms.parameters.size();

    // The parameters: the call's, or the last run's.
    std::vector<int32_t> values(parameterCount, 0);
    bool haveValues = false;
    if (runMode == GIMP_RUN_NONINTERACTIVE) {
        if (argumentCount != gint(kLeadingArguments + parameterCount))
            return Fail(GIMP_PDB_CALLING_ERROR, procedure + " takes " + std::to_string(kLeadingArguments + parameterCount) +
                                                    " arguments, not " + std::to_string(argumentCount));
        for (std::size_t i = 0; i < parameterCount; ++i) values[i] = arguments[kLeadingArguments + i].data.d_int32;
        haveValues = true;
    } else if (gimp_get_data_size(procedure.c_str()) == gint(parameterCount * sizeof(int32_t))) {
        gimp_get_data(procedure.c_str(), values.data());
        haveValues = true;
    }
    filterhost::Job job;
    std::string error;
    if (haveValues) {
        filterhost::Descriptor descriptor;
        if (!tesselume::gimp::DescriptorFromValues(terms, values, descriptor, error))
            return Fail(GIMP_PDB_CALLING_ERROR, title + ": " + error);
        job.play = descriptor;
    } else if (runMode == GIMP_RUN_WITH_LAST_VALS) {
        job.play = filterhost::Descriptor{};  // nothing run yet: the factory settings
    }
    job.showDialog = runMode == GIMP_RUN_INTERACTIVE;
    job.playInfo = job.showDialog ? plugInDialogDisplay : plugInDialogDontDisplay;

    if (gimp_item_is_group(drawable))
        return Fail(GIMP_PDB_EXECUTION_ERROR, title + " works on one layer at a time, not on a layer group.");
    if (gimp_drawable_is_indexed(drawable))
        return Fail(GIMP_PDB_EXECUTION_ERROR, title + " does not take indexed images; change the image's mode to "
                                                      "RGB or Grayscale first.");
    gint x = 0, y = 0, width = 0, height = 0;
    if (!gimp_drawable_mask_intersect(drawable, &x, &y, &width, &height))
        return {};  // the selection lies outside the drawable: nothing to do
    if (gimp_drawable_width(drawable) > tesselume::kMaxImageSide ||
        gimp_drawable_height(drawable) > tesselume::kMaxImageSide)
        return Fail(GIMP_PDB_EXECUTION_ERROR, title + ": " + tesselume::kTooLarge + ".");

    // The progress bar lives in the image's window, which is also the dialog's parent.
    gimp_progress_init(title.c_str());
    filterhost::HostOptions options;
    const std::optional<PIWindowGeometry> parent =
        job.showDialog ? tesselume::gimp::ParentWindow(gimp_progress_get_window_handle()) : std::nullopt;
    if (parent) options.parentWindow = &*parent;
    const std::unique_ptr<filterhost::Host> host = filterhost::Host::Load(module->path, options, error);
    if (!host) return Fail(GIMP_PDB_EXECUTION_ERROR, "Cannot load " + title + ": " + error);

    const PixelFormat pixels = FormatOf(imageId, drawable);
    DrawablePixels read;
    ReadPixels(drawable, pixels, read);
    job.mask = ReadSelection(imageId, drawable, read.image.width, read.image.height);
    job.blendSelection = false;  // GIMP blends the result through its selection when merging
    job.protectTransparency = gimp_item_is_layer(drawable) && gimp_layer_get_lock_alpha(drawable);
    job.iccProfile = ProfileOf(imageId);
    job.shouldAbort = CancelRequested;
    double shown = -1;
    job.onProgress = [&shown](int32_t done, int32_t total) {
        const double fraction = total > 0 ? double(done) / total : 0;
        if (fraction - shown < 0.01 && fraction < 1) return;
        shown = fraction;
        gimp_progress_update(fraction);
    };

    const filterhost::RunReport report = host->Run(read.image, job, error);
    if (report.result == userCanceledErr) return Fail(GIMP_PDB_CANCEL, title + " was cancelled.");
    if (report.result != noErr)
        return Fail(GIMP_PDB_EXECUTION_ERROR, title + " failed (result " + std::to_string(report.result) + ")" +
                                                  (error.empty() ? "" : ": " + error));

    gimp_image_undo_group_start(imageId);
    WritePixels(drawable, pixels, read, GeglRectangle{x, y, width, height});
    gimp_image_undo_group_end(imageId);
    gimp_progress_update(1.0);
    if (runMode != GIMP_RUN_NONINTERACTIVE) gimp_displays_flush();

    if (report.recorded) {
        tesselume::gimp::ValuesFromDescriptor(terms, *report.recorded, values);
        gimp_set_data(procedure.c_str(), values.data(), guint32(values.size() * sizeof(int32_t)));
    }
    return {};
}

void Run(const gchar* name, gint argumentCount, const GimpParam* arguments, gint* resultCount, GimpParam** results) {
    static GimpParam values[2];
    static std::string message;
    gegl_init(nullptr, nullptr);
    Outcome outcome;
    if (argumentCount < kLeadingArguments) {
        outcome = Fail(GIMP_PDB_CALLING_ERROR, std::string(name) + " needs run-mode, image and drawable");
    } else {
        try {
            outcome = RunFilter(name, argumentCount, arguments);
        } catch (const std::bad_alloc&) {
            outcome = Fail(GIMP_PDB_EXECUTION_ERROR, "Not enough memory to run the filter on this image.");
        }
    }
    message = outcome.message;
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = outcome.status;
    *resultCount = 1;
    *results = values;
    if (!message.empty()) {
        values[1].type = GIMP_PDB_STRING;
        values[1].data.d_string = message.data();
        *resultCount = 2;
    }
}

const GimpPlugInInfo kPlugInInfo = {nullptr, nullptr, Query, Run};

// ---- --install ----

// GIMP's folder for the user's plug-ins: $GIMP2_DIRECTORY/plug-ins when set, else
// under $XDG_CONFIG_HOME (default ~/.config), as GIMP 2.10 looks for it.
fs::path UserPlugInsFolder() {
    if (const char* gimpDir = std::getenv("GIMP2_DIRECTORY"); gimpDir && *gimpDir) {
        const fs::path dir(gimpDir);
        return (dir.is_absolute() ? dir : fs::path(std::getenv("HOME") ? std::getenv("HOME") : "") / dir) / "plug-ins";
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const fs::path base = config && *config ? fs::path(config) : fs::path(home ? home : "") / ".config";
    return base / "GIMP" / "2.10" / "plug-ins";
}

// Copies under a temporary name and renames, so GIMP never finds a half-copied file.
bool CopyWhole(const fs::path& from, const fs::path& to, std::string& error) {
    const fs::path temp = to.string() + ".part";
    std::error_code fault;
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, fault);
    if (!fault) fs::permissions(temp, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec, fault);
    if (!fault) fs::rename(temp, to, fault);
    if (fault) {
        fs::remove(temp, fault);
        error = "cannot copy " + from.string() + " to " + to.string() + ": " + fault.message();
        return false;
    }
    return true;
}

int Install() {
    const fs::path source = BridgeFolder(), target = UserPlugInsFolder() / "tesselume-gimp";
    std::error_code fault;
    fs::create_directories(target, fault);
    if (fault) {
        std::fprintf(stderr, "tesselume-gimp: cannot create %s: %s\n", target.c_str(), fault.message().c_str());
        return 1;
    }
    std::vector<fs::path> files = {source / "tesselume-gimp"};
    for (const auto& entry : fs::directory_iterator(source, fault))
        if (entry.path().extension() == ".8bf") files.push_back(entry.path());
    if (files.size() == 1) {
        std::fprintf(stderr, "tesselume-gimp: no filter module (*.8bf) beside %s\n", files[0].c_str());
        return 1;
    }
    for (const fs::path& file : files) {
        std::string error;
        if (!CopyWhole(file, target / file.filename(), error)) {
            std::fprintf(stderr, "tesselume-gimp: %s\n", error.c_str());
            return 1;
        }
        std::printf("installed %s\n", (target / file.filename()).c_str());
    }
    std::printf("Restart GIMP: the filters appear under Filters by their category.\n");
    return 0;
}

constexpr const char* kUsage =
    "Usage: tesselume-gimp --install\n"
    "\n"
    "A GIMP 2.10 plug-in that runs filter modules (*.8bf). --install copies it and the\n"
    "modules beside it into GIMP's plug-ins folder for this user:\n"
    "$XDG_CONFIG_HOME/GIMP/2.10/plug-ins/tesselume-gimp/ (or under $GIMP2_DIRECTORY).\n"
    "GIMP then lists each module under Filters > CATEGORY > NAME. Further module\n"
    "folders can be named in TESSELUME_GIMP_MODULES, separated by ':'.\n";

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--install") return Install();
    if (first != "-gimp") {
        std::fputs(kUsage, first == "--help" || first == "-h" ? stdout : stderr);
        return first == "--help" || first == "-h" ? 0 : 2;
    }
    // GIMP 2.10 starts plug-ins as: -gimp READ-FD WRITE-FD MODE STACK-TRACE-MODE.
    if (argc > 2) gimpReadPipe = std::atoi(argv[2]);
    return gimp_main(&kPlugInInfo, argc, argv);
}
