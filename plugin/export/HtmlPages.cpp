// The catalogue pages' HTML, written piece by piece with CRLF line ends.
#include "export/HtmlPages.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "export/GifPieces.h"
#include "settings/PresetsFile.h"
#include "settings/Settings.h"
#include "store/FileLayer.h"
#include "store/ImageStore.h"
#include "store/Jpeg.h"
#include "store/Metadata.h"

namespace {

constexpr char kProduct[] = "Tesselume";
constexpr char kCrlf[] = "\r\n";
constexpr char kCellStart[] = "<td align=\"center\" valign=\"top\" width=\"20%\">";

// HTML 4.01's entity names for ISO 8859-1 160..255.
constexpr const char* kLatin1Entities[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// Decodes one UTF-8 character at text[at], advancing at; a byte that does not
// start a well-formed sequence is taken alone as ISO 8859-1.
uint32_t NextCharacter(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return uint8_t(text[i]); };
    const uint8_t lead = byte(at);
    const int extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 0;
    if (lead < 0x80 || extra == 0 || at + extra >= text.size()) return byte(at++);
    uint32_t code = lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return byte(at++);
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    // Overlong forms and surrogates are not characters.
    static constexpr uint32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[extra] || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) return byte(at++);
    at += extra + 1;
    return code;
}

struct PageWriter {
    PageBuilder& page;
    void operator()(std::string_view text) {
        if (!page.writeFailed && !platform::WriteBytes(page.file, text.data(), text.size())) page.writeFailed = true;
    }
    void Number(int32_t value) { (*this)(std::to_string(value)); }
};

// An image tag for fileName (without extension) in the images folder.
void ImageTag(PageWriter& out, std::string_view fileName, std::string_view extension, std::string_view alt,
              int32_t width, int32_t height) {
    out("<img src=\"");
    out(kImagesFolderName);
    out("/");
    out(LinkText(fileName));
    out(extension);
    out("\"");
    if (!alt.empty()) {
        out(" alt=\"");
        out(PageText(alt));
        out(extension);
        out("\"");
    }
    out(" width=\"");
    out.Number(width);
    out("\" height=\"");
    out.Number(height);
    out("\" border=\"0\">");
}

void EndCell(PageBuilder& page) {
    PageWriter out{page};
    if (++page.column <= page.columns) return;
    out("</tr>");
    out(kCrlf);
    out("<tr>");
    for (int i = 0; i < page.columns; ++i) {
        out(kCellStart);
        out("<p>&nbsp;</p></td>");
    }
    out("</tr>");
    ++page.row;
    page.column = 1;
}

void StartCell(PageBuilder& page) {
    if (page.column == 1) PageWriter{page}("<tr>");
}

void AddEmptyCell(PageBuilder& page) {
    StartCell(page);
    PageWriter out{page};
    out(kCellStart);
    out("<p></p>");
    out(kCrlf);
    out("<div align=\"center\">");
    out(kCrlf);
    out("<p><font face=\"Hoefler Text,Times New Roman,Georgia,Times\"><b></b></font></p>");
    out(kCrlf);
    out("</div>");
    out(kCrlf);
    out("</td>");
    out(kCrlf);
    out(kCrlf);
    EndCell(page);
}

// The text built byte by byte: map appends what each byte becomes.
template <class Map>
std::string MapBytes(std::string_view text, Map map) {
    std::string out;
    for (const char c : text) map(uint8_t(c), out);
    return out;
}

bool IsPresetName(const std::filesystem::path& name) {
    std::string extension = name.extension().string();
    for (char& c : extension) c = char(std::tolower(uint8_t(c)));
    return extension == ".q1r";
}

}  // namespace

std::string PageText(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const uint32_t code = NextCharacter(text, at);
        char reference[16];
        if (code == '"') out += "&quot;";
        else if (code == '&') out += "&amp;";
        else if (code == '<') out += "&lt;";
        else if (code == '>') out += "&gt;";
        else if (code < 123) out += char(code);
        else if (code < 160) {
            std::snprintf(reference, sizeof reference, "&#%03u;", unsigned(code));
            out += reference;
        } else if (code < 256) {
            out += '&';
            out += kLatin1Entities[code - 160];
            out += ';';
        } else {
            std::snprintf(reference, sizeof reference, "&#%u;", unsigned(code));
            out += reference;
        }
    }
    return out;
}

std::string LinkText(std::string_view text) {
    return MapBytes(text, [](uint8_t byte, std::string& out) {
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')) {
            out += char(byte);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02x", unsigned(byte));
            out += escaped;
        }
    });
}

std::string PictureFileName(std::string_view presetName) {
    return MapBytes(presetName, [](uint8_t byte, std::string& out) {
        if (byte < 32) byte = ' ';
        if (byte > 127) byte = (byte & 127) + 32 == '.' ? '_' : uint8_t((byte & 127) + 32);
        if (byte == '\\' || byte == '/' || byte == ':') byte = '_';
        out += char(byte);
    });
}

OSErr StartPage(PageBuilder& page, const char* pagePath, PageKind kind, std::string_view heading) {
    namespace fs = std::filesystem;
    page.kind = kind;
    page.columns = kind == PageKind::memoryDots ? kDotsPageColumns : kPresetsPageColumns;
    page.column = page.row = 1;
    page.writeFailed = false;
    std::error_code fault;
    page.imagesFolder = (fs::absolute(pagePath, fault).parent_path() / kImagesFolderName).string();
    fs::create_directory(page.imagesFolder, fault);
    WriteFramePieces(page.imagesFolder.c_str());
    page.file = platform::OpenForWriting(pagePath);
    if (page.file == platform::kNoFile) return kOpenErr;

    static constexpr const char* kTitles[4] = {" presets", " images", " output modes", " memory dots"};
    PageWriter out{page};
    out("<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n\r\n");
    out("<html>\r\n<head>\r\n");
    out("<meta http-equiv=\"content-type\" content=\"text/html;charset=ISO-8859-1\">\r\n");
    out("<meta name=\"generator\" content=\"Quillborne Tesselume\"><title>");
    out(kProduct);
    out(kTitles[int(kind)]);
    out("</title>\r\n</head>\r\n\r\n<body bgcolor=\"#ffffff\">\r\n<p><br>\r\n\r\n");
    out("<font size=\"4\" face=\"Gill Sans,Verdana,Helvetica,Arial,Geneva\"><b>");
    out(kProduct);
    if (kind == PageKind::memoryDots) {
        out(" memory dots ");
    } else {
        out(" presets from ");
        out(PageText(heading));
    }
    out("<br>\r\n</b></font></p>");
    out("<table width=\"100%\" border=\"0\" cellspacing=\"12\" cellpadding=\"0\" align=\"center\">");
    return noErr;
}

void AddImageCell(PageBuilder& page, std::string_view caption, std::string_view fileName, int32_t width,
                  int32_t height) {
    StartCell(page);
    PageWriter out{page};
    out(kCellStart);
    out(kCrlf);
    out("<table id=\"Table_01\" width=\"");
    out.Number(width + 6);
    out("\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" height=\"");
    out.Number(height + 7);
    out("\">\r\n<tr>\r\n<td colspan=\"3\">");
    ImageTag(out, "top", ".gif", {}, width + 6, 2);
    out("</td>\r\n</tr>\r\n<tr>\r\n<td>");
    ImageTag(out, "left", ".gif", {}, 3, height);
    out("</td>\r\n<td>");
    ImageTag(out, fileName, ".jpg", caption, width, height);
    out("</td>\r\n<td>");
    ImageTag(out, "right", ".gif", {}, 3, height);
    out("</td>\r\n</tr>\r\n<tr>\r\n<td colspan=\"3\">");
    ImageTag(out, "bottom", ".gif", {}, width + 6, 5);
    out("</td>\r\n</tr>\r\n</table>\r\n");
    out("<div align=\"center\">\r\n<br><font  size=\"3\" face=\"Gill Sans,Verdana,Helvetica,Arial\">");
    out(PageText(caption));
    out("</font></div></td>\r\n\r\n");
    EndCell(page);
}

OSErr EndPage(PageBuilder& page) {
    if (page.column > 1)
        while (page.column != 1) AddEmptyCell(page);
    PageWriter out{page};
    out("</table><br>\r\n</body></html>");
    if (!page.writeFailed && !platform::TruncateHere(page.file)) page.writeFailed = true;
    platform::CloseFile(page.file);
    page.file = platform::kNoFile;
    return page.writeFailed ? OSErr(writErr) : OSErr(noErr);
}

void DotPictureSize(int32_t width, int32_t height, int32_t& pictureWidth, int32_t& pictureHeight) {
    const int64_t larger = std::max<int64_t>({width, height, 1});
    pictureWidth = int32_t(std::max<int64_t>(1, int64_t(width) * kDotPictureSide / larger));
    pictureHeight = int32_t(std::max<int64_t>(1, int64_t(height) * kDotPictureSide / larger));
}

bool WritePagePicture(const PageBuilder& page, const ImageStore& image, std::string_view fileName) {
    const std::string path = page.imagesFolder + "/" + std::string(fileName) + ".jpg";
    platform::FileHandle file = platform::OpenForWriting(path.c_str());
    if (file == platform::kNoFile) return false;
    MetadataBlock exif{};
    IptcBlock iptc{};
    BuildExifBlock(exif, true, false);
    BuildIptcBlock(iptc, true, false);
    JpegMetadata metadata = HostIccProfile();
    if (exif.size > 0) metadata.exif = &exif;
    if (iptc.block.size > 0) metadata.iptc = &iptc.block;
    const bool ok = WriteJpegImage(&image, file, false, kPageJpegQuality, metadata) == noErr &&
                    platform::TruncateHere(file);
    platform::CloseFile(file);
    ReleaseMetadataBlock(exif);
    ReleaseMetadataBlock(iptc.block);
    return ok;
}

OSErr WritePresetsPage(const char* folder, const char* pagePath, int& presetCount) {
    namespace fs = std::filesystem;
    presetCount = 0;
    std::error_code fault;
    const fs::path source = fs::absolute(folder, fault);
    std::string heading = source.filename().string();
    if (heading.empty()) heading = source.parent_path().filename().string();
    PageBuilder page;
    if (const OSErr result = StartPage(page, pagePath, PageKind::presets, heading); result != noErr) return result;

    fs::directory_iterator entries(source, fault);
    if (fault) {
        platform::CloseFile(page.file);
        return readErr;
    }
    ImageStore thumbnail;
    InitialiseImage(&thumbnail, nullptr);
    for (fs::directory_iterator end; entries != end; entries.increment(fault)) {
        std::error_code unreadable;  // a broken link is no folder: its cell shows no picture
        if (entries->is_directory(unreadable) || !IsPresetName(entries->path().filename())) continue;
        const std::string name = entries->path().stem().string();
        const std::string pictureName = PictureFileName(name);
        bool thumbnailRead = false;
        if (CreateImage(&thumbnail, kThumbnailMaxSide, kThumbnailMaxSide, kKindRGBA8, 0)) {
            Settings unused{};
            LoadSettingsFile(unused, &thumbnail, entries->path().c_str(), PresetsRead::thumbnailOnly,
                             thumbnailRead);
        }
        AddImageCell(page, name, pictureName, kPresetCellSide, kPresetCellSide);
        if (thumbnailRead) WritePagePicture(page, thumbnail, pictureName);
        ++presetCount;
    }
    ReleaseImage(&thumbnail);
    return EndPage(page);
}
