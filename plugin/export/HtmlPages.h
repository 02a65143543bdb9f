// HTML 4.01 catalogue pages: a table of framed thumbnails with their names, the
// thumbnails as JPEG files and the frame pieces as GIF files in a "web_images"
// folder beside the page. The presets page is written here whole; the memory-dots
// page renders its pictures in the dialog and adds them cell by cell.
//
// Nothing here needs a host or a window: the command line writes presets pages too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "PIFilter.h"
#include "platform/Files.h"

struct ImageStore;

enum class PageKind { presets = 0, images = 1, outputModes = 2, memoryDots = 3 };

inline constexpr char kImagesFolderName[] = "web_images";
inline constexpr int kPresetsPageColumns = 5;
inline constexpr int kDotsPageColumns = 4;
inline constexpr int kPageJpegQuality = 80;
inline constexpr int kPresetCellSide = 88;

// The three text filters. File system names are UTF-8: PageText shows each
// character as itself or as a character reference (bytes that are not UTF-8 count
// as ISO 8859-1); LinkText percent-encodes every byte but letters and digits;
// PictureFileName turns a preset name into a plain ASCII file name.
std::string PageText(std::string_view text);
std::string LinkText(std::string_view text);
std::string PictureFileName(std::string_view presetName);

// One page being written.
struct PageBuilder {
    PageKind kind = PageKind::presets;
    int columns = kPresetsPageColumns;
    int column = 1;  // the next cell of the current row, from 1
    int row = 1;
    std::string imagesFolder;
    platform::FileHandle file = platform::kNoFile;
    bool writeFailed = false;
};

// Creates the images folder with its frame pieces and opens the page (created or
// overwritten), writing everything up to the table. heading is the source folder's
// name on a presets page. Returns kOpenErr when the page cannot be opened.
OSErr StartPage(PageBuilder& page, const char* pagePath, PageKind kind, std::string_view heading);
// A framed picture of width x height named fileName (".jpg" added) in the images
// folder, shown with caption.
void AddImageCell(PageBuilder& page, std::string_view caption, std::string_view fileName, int32_t width,
                  int32_t height);
// Fills the last row, closes the table and the page. writErr when any write failed.
OSErr EndPage(PageBuilder& page);

// The size of a memory dot's picture for a filtered area of width x height: the
// larger side 300 pixels, each side at least 1.
inline constexpr int32_t kDotPictureSide = 300;
void DotPictureSize(int32_t width, int32_t height, int32_t& pictureWidth, int32_t& pictureHeight);

// Writes image into the images folder as fileName.jpg (quality 80, with the EXIF
// and IPTC blocks). False when the file cannot be written.
bool WritePagePicture(const PageBuilder& page, const ImageStore& image, std::string_view fileName);

// The presets page of every "*.q1r" file in folder, in listing order. presetCount
// tells how many cells were written. kOpenErr when the page cannot be opened,
// readErr when the folder cannot be listed (the page then ends after its header).
OSErr WritePresetsPage(const char* folder, const char* pagePath, int& presetCount);
