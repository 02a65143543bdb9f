/* The resource directory of a filter module on this platform.
 *
 * A module carries its resources (the property list 'PIPL', the terminology 'AETE',
 * string tables, dialog templates, bitmaps, cursors) in one directory stored in the
 * ELF section named kPIResourceSection, so that a host can read them from the file
 * without loading the module or running any of its code. All integers of the
 * directory are little-endian; offsets count from the start of the directory.
 *
 *   PIResourceDirectory   header
 *   PIResourceEntry[count]
 *   data                  each entry's bytes, every start aligned to 4
 *
 * Resource bytes are exactly the Windows form of each resource: in 'PIPL' and
 * 'AETE' four-character codes are stored little-endian, so their bytes appear
 * reversed ("8BIM" is stored as "MIB8"). */
#ifndef TESSELUME_PROTOCOL_PIRESOURCES_H
#define TESSELUME_PROTOCOL_PIRESOURCES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define kPIResourceSection ".pirsrc"
#define kPIResourceMagic "PIRD"
enum { kPIResourceVersion = 1, kPIResourceNameLength = 32 };

typedef struct PIResourceDirectory {
    char magic[4];     /* "PIRD" */
    uint32_t version;  /* kPIResourceVersion */
    uint32_t count;    /* entries that follow */
    uint32_t totalSize;/* bytes of the whole directory, header to last data byte */
} PIResourceDirectory;

typedef struct PIResourceEntry {
    uint32_t type;     /* four-character code, e.g. 'PIPL' */
    int32_t id;
    char name[kPIResourceNameLength]; /* zero-terminated; empty for resources known by id */
    uint32_t offset;
    uint32_t size;
} PIResourceEntry;

/* Resource ids and types the protocol fixes. */
enum { kPIPropertyListId = 16000, kPITerminologyId = 16000 };

/* Resource type codes, as four-character values. */
#define PIPLType 0x5049504Cu   /* 'PIPL' */
#define AETEType 0x41455445u   /* 'AETE' */
#define StringTableType 0x53545223u /* 'STR#' */

#ifdef __cplusplus
}
#endif

#endif
