// The layered PSD document: one transparent layer "layer 1" holding a store image
// with its alpha, and the merged image of that layer over a grey-and-white
// checkerboard, at 8 or 16 bits or as 32-bit floats.
//
// Every number in the file is big-endian. 16-bit store values (0..32768) are written
// as twice their value, 32768 as 65535; floats as IEEE single precision.
#pragma once

#include <cstdint>

#include "PIFilter.h"
#include "platform/Files.h"
#include "store/ImageStore.h"

struct MetadataBlock;

// What goes into one document besides the pixels.
struct PsdDocument {
    ImageStore* image;             // kind 3, 4 or 9 for 1, 2 or 4 bytes per channel
    int32_t bytesPerChannel;       // 1, 2 or 4
    const void* iccProfile;        // the host's profile, or null
    int32_t iccSize;
    const MetadataBlock* iptc;     // built without the "Photoshop 3.0" prefix, or null
    const MetadataBlock* exif;     // built without the "Exif" prefix, or null
};

// Fills the document's image just before its channels are written. The channels
// take what the image holds when it returns: all of the layer, or, after a cancel,
// the rows rendered until then.
using PsdLayerRenderer = void (*)(void* context);

// The store kind that holds samples of a document of that many bytes per channel.
PixelKind PsdStoreKind(int32_t bytesPerChannel);

// Writes the whole document from the file's current position and cuts the file
// there. Returns noErr, writErr when a write failed (writing goes on after it), or
// filterBadParameters for a kind or size the format cannot hold.
OSErr WritePsd(platform::FileHandle file, const PsdDocument& document, PsdLayerRenderer render, void* context);
