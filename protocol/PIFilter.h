/* The host-filter plug-in protocol as this platform speaks it: the filter record,
 * the selectors, result codes, the handle, buffer and descriptor suites, the pixel
 * map for displayPixels and the platform records. Shared by the module and every
 * host; plain C so either side may be written in C or C++.
 *
 * Conventions: rectangles are (top, left, bottom, right) with bottom and right
 * exclusive. Four-character codes are 32-bit values whose first character is the
 * most significant byte ('8BIM' == 0x3842494D); stored in memory on this little-
 * endian platform their bytes therefore read reversed. Fixed is 16.16 fixed point.
 * 16-bit images use the host scale 0..32768. */
#ifndef TESSELUME_PROTOCOL_PIFILTER_H
#define TESSELUME_PROTOCOL_PIFILTER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int16_t OSErr;
typedef uint32_t OSType;
typedef int32_t Fixed;
typedef uint8_t Boolean;
typedef char* Ptr;
typedef struct PIHandleRecord* Handle; /* opaque, owned by whoever made it */
typedef void* BufferID;

/* Build a four-character code from a string literal of four characters. */
#define PIFourCC(s) \
    ((OSType)(((uint32_t)(uint8_t)(s)[0] << 24) | ((uint32_t)(uint8_t)(s)[1] << 16) | \
              ((uint32_t)(uint8_t)(s)[2] << 8) | (uint32_t)(uint8_t)(s)[3]))

typedef struct Point { int16_t v, h; } Point;
typedef struct Rect { int16_t top, left, bottom, right; } Rect;
typedef struct VRect { int32_t top, left, bottom, right; } VRect;
typedef struct RGBColor { uint16_t red, green, blue; } RGBColor;
typedef uint8_t FilterColor[4];

/* Selectors passed to PluginMain. */
enum {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5
};

/* Result codes. Positive values mean an error the filter has already shown. */
enum {
    noErr = 0,
    readErr = -19,
    writErr = -20,
    memFullErr = -108,
    userCanceledErr = -128,
    errAEParamMissed = -1715,
    filterBadParameters = -30100,
    filterBadMode = -30101,
    errPlugInHostInsufficient = -30900
};

/* imageMode values. */
enum {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeHSLColor = 5,
    plugInModeHSBColor = 6,
    plugInModeMultichannel = 7,
    plugInModeDuotone = 8,
    plugInModeLabColor = 9,
    plugInModeGray16 = 10,
    plugInModeRGB48 = 11,
    plugInModeLab48 = 12,
    plugInModeCMYK64 = 13,
    plugInModeDeepMultichannel = 14,
    plugInModeDuotone16 = 15,
    plugInModeRGB96 = 16,
    plugInModeGray32 = 17
};

/* filterCase values, in the host's order; the PIPL's fici table has one record each. */
enum {
    filterCaseUnsupported = -1,
    filterCaseFlatImageNoSelection = 1,
    filterCaseFlatImageWithSelection = 2,
    filterCaseFloatingSelection = 3,
    filterCaseEditableTransparencyNoSelection = 4,
    filterCaseEditableTransparencyWithSelection = 5,
    filterCaseProtectedTransparencyNoSelection = 6,
    filterCaseProtectedTransparencyWithSelection = 7
};

/* samplingSupport values. */
enum { hostDoesNotSupportSampling = 0, hostSupportsIntegralSampling = 1, hostSupportsFractionalSampling = 2 };

/* Padding values: a padding of -1 replicates the edge pixels outside the image. */
enum { plugInWantsEdgeReplication = -1, plugInDoesNotWantPadding = -2, plugInWantsErrorOnBoundsException = -3 };

/* ---- Handle suite, version 1 ---- */
typedef Handle (*NewPIHandleProc)(int32_t size);
typedef void (*DisposePIHandleProc)(Handle h);
typedef int32_t (*GetPIHandleSizeProc)(Handle h);
typedef OSErr (*SetPIHandleSizeProc)(Handle h, int32_t newSize);
typedef Ptr (*LockPIHandleProc)(Handle h, Boolean moveHigh);
typedef void (*UnlockPIHandleProc)(Handle h);
typedef void (*RecoverSpaceProc)(int32_t size);
typedef void (*DisposeRegularHandlePIHandleProc)(Handle h);

enum { kCurrentHandleProcsVersion = 1, kCurrentHandleProcsCount = 8 };

typedef struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
} HandleProcs;

/* ---- Buffer suite, version 2 ---- */
typedef OSErr (*AllocateBufferProc)(int32_t size, BufferID* bufferID);
typedef Ptr (*LockBufferProc)(BufferID bufferID, Boolean moveHigh);
typedef void (*UnlockBufferProc)(BufferID bufferID);
typedef void (*FreeBufferProc)(BufferID bufferID);
typedef int32_t (*BufferSpaceProc)(void);

enum { kCurrentBufferProcsVersion = 2, kCurrentBufferProcsCount = 5 };

typedef struct BufferProcs {
    int16_t bufferProcsVersion;
    int16_t numBufferProcs;
    AllocateBufferProc allocateProc;
    LockBufferProc lockProc;
    UnlockBufferProc unlockProc;
    FreeBufferProc freeProc;
    BufferSpaceProc spaceProc;
} BufferProcs;

/* ---- Descriptor suite (scripting) ---- */
typedef OSType DescriptorKeyID;
typedef OSType DescType;
typedef OSType DescriptorEnumID;
typedef const DescriptorKeyID* DescriptorKeyIDArray; /* zero-terminated */
typedef Handle PIDescriptorHandle;
typedef struct PIOpaqueReadDescriptor* PIReadDescriptor;
typedef struct PIOpaqueWriteDescriptor* PIWriteDescriptor;

/* Descriptor value types. */
#define typeInteger PIFourCC("long")
#define typeBoolean PIFourCC("bool")
#define typeEnumerated PIFourCC("enum")
#define typeAlias PIFourCC("alis") /* on this platform: a file path's bytes, without terminator */
#define typeFloat PIFourCC("doub")

typedef PIReadDescriptor (*OpenReadDescriptorProc)(PIDescriptorHandle descriptor, DescriptorKeyIDArray keys);
typedef OSErr (*CloseReadDescriptorProc)(PIReadDescriptor token);
typedef Boolean (*GetKeyProc)(PIReadDescriptor token, DescriptorKeyID* key, DescType* type, int32_t* flags);
typedef OSErr (*GetIntegerProc)(PIReadDescriptor token, int32_t* value);
typedef OSErr (*GetFloatProc)(PIReadDescriptor token, double* value);
typedef OSErr (*GetUnitFloatProc)(PIReadDescriptor token, OSType* unit, double* value);
typedef OSErr (*GetBooleanProc)(PIReadDescriptor token, Boolean* value);
typedef OSErr (*GetTextProc)(PIReadDescriptor token, Handle* value);
typedef OSErr (*GetAliasProc)(PIReadDescriptor token, Handle* value);
typedef OSErr (*GetEnumeratedProc)(PIReadDescriptor token, DescriptorEnumID* value);
typedef OSErr (*GetClassProc)(PIReadDescriptor token, OSType* value);
typedef OSErr (*GetSimpleReferenceProc)(PIReadDescriptor token, void* value);
typedef OSErr (*GetObjectProc)(PIReadDescriptor token, OSType* type, PIDescriptorHandle* value);
typedef OSErr (*GetCountProc)(PIReadDescriptor token, uint32_t* value);
typedef OSErr (*GetStringProc)(PIReadDescriptor token, unsigned char* value);
typedef OSErr (*GetPinnedIntegerProc)(PIReadDescriptor token, int32_t min, int32_t max, int32_t* value);
typedef OSErr (*GetPinnedFloatProc)(PIReadDescriptor token, const double* min, const double* max, double* value);
typedef OSErr (*GetPinnedUnitFloatProc)(PIReadDescriptor token, const double* min, const double* max, OSType* unit,
                                        double* value);

enum { kCurrentReadDescriptorProcsVersion = 0, kCurrentReadDescriptorProcsCount = 18 };

typedef struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    OpenReadDescriptorProc openReadDescriptorProc;
    CloseReadDescriptorProc closeReadDescriptorProc;
    GetKeyProc getKeyProc;
    GetIntegerProc getIntegerProc;
    GetFloatProc getFloatProc;
    GetUnitFloatProc getUnitFloatProc;
    GetBooleanProc getBooleanProc;
    GetTextProc getTextProc;
    GetAliasProc getAliasProc;
    GetEnumeratedProc getEnumeratedProc;
    GetClassProc getClassProc;
    GetSimpleReferenceProc getSimpleReferenceProc;
    GetObjectProc getObjectProc;
    GetCountProc getCountProc;
    GetStringProc getStringProc;
    GetPinnedIntegerProc getPinnedIntegerProc;
    GetPinnedFloatProc getPinnedFloatProc;
    GetPinnedUnitFloatProc getPinnedUnitFloatProc;
} ReadDescriptorProcs;

typedef PIWriteDescriptor (*OpenWriteDescriptorProc)(void);
typedef OSErr (*CloseWriteDescriptorProc)(PIWriteDescriptor token, PIDescriptorHandle* descriptor);
typedef OSErr (*PutIntegerProc)(PIWriteDescriptor token, DescriptorKeyID key, int32_t value);
typedef OSErr (*PutFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, const double* value);
typedef OSErr (*PutUnitFloatProc)(PIWriteDescriptor token, DescriptorKeyID key, OSType unit, const double* value);
typedef OSErr (*PutBooleanProc)(PIWriteDescriptor token, DescriptorKeyID key, Boolean value);
typedef OSErr (*PutTextProc)(PIWriteDescriptor token, DescriptorKeyID key, Handle value);
typedef OSErr (*PutAliasProc)(PIWriteDescriptor token, DescriptorKeyID key, Handle value);
typedef OSErr (*PutEnumeratedProc)(PIWriteDescriptor token, DescriptorKeyID key, DescType type,
                                   DescriptorEnumID value);
typedef OSErr (*PutClassProc)(PIWriteDescriptor token, DescriptorKeyID key, OSType value);
typedef OSErr (*PutSimpleReferenceProc)(PIWriteDescriptor token, DescriptorKeyID key, const void* value);
typedef OSErr (*PutObjectProc)(PIWriteDescriptor token, DescriptorKeyID key, DescType type,
                               PIDescriptorHandle value);
typedef OSErr (*PutCountProc)(PIWriteDescriptor token, DescriptorKeyID key, uint32_t count);
typedef OSErr (*PutStringProc)(PIWriteDescriptor token, DescriptorKeyID key, const unsigned char* value);
typedef OSErr (*PutScopedClassProc)(PIWriteDescriptor token, DescriptorKeyID key, OSType value);
typedef OSErr (*PutScopedObjectProc)(PIWriteDescriptor token, DescriptorKeyID key, DescType type,
                                     PIDescriptorHandle value);

enum { kCurrentWriteDescriptorProcsVersion = 0, kCurrentWriteDescriptorProcsCount = 16 };

typedef struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    OpenWriteDescriptorProc openWriteDescriptorProc;
    CloseWriteDescriptorProc closeWriteDescriptorProc;
    PutIntegerProc putIntegerProc;
    PutFloatProc putFloatProc;
    PutUnitFloatProc putUnitFloatProc;
    PutBooleanProc putBooleanProc;
    PutTextProc putTextProc;
    PutAliasProc putAliasProc;
    PutEnumeratedProc putEnumeratedProc;
    PutClassProc putClassProc;
    PutSimpleReferenceProc putSimpleReferenceProc;
    PutObjectProc putObjectProc;
    PutCountProc putCountProc;
    PutStringProc putStringProc;
    PutScopedClassProc putScopedClassProc;
    PutScopedObjectProc putScopedObjectProc;
} WriteDescriptorProcs;

/* playInfo values. */
enum { plugInDialogDontDisplay = 0, plugInDialogDisplay = 1, plugInDialogSilent = 2 };
/* recordInfo values. */
enum { plugInDialogOptional = 0, plugInDialogRequired = 1, plugInDialogNone = 2 };

enum { kCurrentDescriptorParametersVersion = 0 };

typedef struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;
    int16_t recordInfo;
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
} PIDescriptorParameters;

/* ---- displayPixels ---- */
typedef struct PSPixelMask {
    struct PSPixelMask* next;
    void* maskData;
    int32_t rowBytes;
    int32_t colBytes;
    int32_t maskDescription;
} PSPixelMask;

typedef struct PSPixelMap {
    int32_t version;      /* 1 */
    VRect bounds;         /* the pixels' rectangle in map coordinates */
    int32_t imageMode;    /* plugInModeRGBColor or plugInModeGrayScale, 8 bits per channel */
    int32_t rowBytes;
    int32_t colBytes;     /* bytes from one pixel to the next */
    int32_t planeBytes;   /* bytes from one plane to the next */
    void* baseAddr;       /* pixel (bounds.top, bounds.left), first plane */
    PSPixelMask* mat;
    PSPixelMask* masks;
    int32_t maskPhaseRow;
    int32_t maskPhaseCol;
} PSPixelMap;

/* platformContext of displayPixels on this platform: the dialog's paint surface,
 * 8-bit BGRA. The host writes pixels inside the clip rectangle only. */
typedef struct PIDrawSurface {
    uint8_t* pixels;
    int32_t width, height;
    int32_t rowBytes;
    VRect clip;
} PIDrawSurface;

typedef OSErr (*DisplayPixelsProc)(const PSPixelMap* source, const VRect* srcRect, int32_t dstRow, int32_t dstCol,
                                   void* platformContext);

/* ---- platformData ---- */
/* The parent window on this platform: its screen rectangle and the screen size. */
typedef struct PIWindowGeometry {
    VRect parent;
    int32_t screenWidth, screenHeight;
} PIWindowGeometry;

typedef struct PlatformData {
    const PIWindowGeometry* hwnd; /* null when there is no parent window */
} PlatformData;

/* ---- Callbacks ---- */
typedef Boolean (*TestAbortProc)(void);
typedef void (*ProgressProc)(int32_t done, int32_t total);
typedef OSErr (*AdvanceStateProc)(void);

/* ---- The filter record ---- */
typedef struct FilterRecord {
    int32_t serialNumber;
    TestAbortProc abortProc;
    ProgressProc progressProc;
    Handle parameters;          /* the filter's settings, kept by the host between runs */

    Point imageSize;            /* whole image, in pixels */
    int16_t planes;             /* planes in the image, transparency included */
    Rect filterRect;            /* the area to filter, in image coordinates */
    RGBColor background;
    RGBColor foreground;
    int32_t maxSpace;           /* memory the host can offer, in bytes */
    int32_t bufferSpace;        /* set by the filter at Prepare */

    Rect inRect;                /* requested source area (reduced coordinates at inputRate > 1) */
    int16_t inLoPlane, inHiPlane;
    Rect outRect;               /* requested output area */
    int16_t outLoPlane, outHiPlane;

    void* inData;               /* filled by advanceState: inRect, planes interleaved */
    int32_t inRowBytes;
    void* outData;
    int32_t outRowBytes;

    Boolean isFloating;
    Boolean haveMask;           /* the host has a selection mask for this run */
    Boolean autoMask;           /* the host applies the mask when committing output */

    Rect maskRect;              /* requested mask area; empty for none */
    void* maskData;             /* 8-bit mask rows */
    int32_t maskRowBytes;

    FilterColor backColor;
    FilterColor foreColor;
    OSType hostSig;             /* the host's signature, e.g. '8BIM' */
    void* hostProc;

    int16_t imageMode;
    Fixed imageHRes, imageVRes;
    Point floatCoord;
    Point wholeSize;

    void* monitor;
    PlatformData* platformData;
    BufferProcs* bufferProcs;
    void* resourceProcs;
    void* processEvent;
    DisplayPixelsProc displayPixels;
    HandleProcs* handleProcs;

    Boolean supportsDummyChannels;
    Boolean supportsAlternateLayouts;
    int16_t wantLayout;
    int16_t filterCase;         /* filterCase* */
    int16_t dummyPlaneValue;
    void* premiereHook;
    AdvanceStateProc advanceState;

    Boolean supportsAbsolute;
    Boolean wantsAbsolute;
    void* getPropertyObsolete;
    Boolean cannotUndo;
    Boolean supportsPadding;
    int16_t inputPadding;       /* plugInWantsEdgeReplication etc. */
    int16_t outputPadding;
    int16_t maskPadding;
    char samplingSupport;       /* hostSupportsIntegralSampling: rates above 1 deliver reduced images */
    char reservedByte;
    Fixed inputRate;            /* 0x10000 is full size; s * 0x10000 reduces by s */
    Fixed maskRate;

    void* colorServices;

    /* Layer planes: how the planes of inData are made up. */
    int16_t inLayerPlanes;
    int16_t inTransparencyMask; /* 1 when the last plane is layer transparency */
    int16_t inLayerMasks;
    int16_t inInvertedLayerMasks;
    int16_t inNonLayerPlanes;
    int16_t outLayerPlanes;
    int16_t outTransparencyMask;
    int16_t outLayerMasks;
    int16_t outInvertedLayerMasks;
    int16_t outNonLayerPlanes;

    int32_t inColumnBytes;      /* bytes from one pixel to the next in inData */
    int32_t inPlaneBytes;       /* bytes from one plane to the next */
    int32_t outColumnBytes;
    int32_t outPlaneBytes;

    PIDescriptorParameters* descriptorParameters;
    unsigned char* errorString;

    int32_t depth;              /* bits per channel: 8 or 16 */
    Handle iCCprofileData;      /* the image's ICC profile, or null */
    int32_t iCCprofileSize;
    int32_t canUseICCProfiles;
} FilterRecord;

typedef FilterRecord* FilterRecordPtr;

/* The one exported entry point of a filter module. */
typedef void (*PluginMainProc)(int16_t selector, FilterRecord* filterRecord, intptr_t* data, int16_t* result);

#ifdef __cplusplus
}
#endif

#endif
