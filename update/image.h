// Upgrade image: a 2048-byte header describing up to seven partition
// payloads, followed by the payloads, each padded with 0xFF to a multiple of
// 2048 bytes. All numbers are 32-bit little-endian (see byteorder.h).
#pragma once

#include "byteorder.h"

#include <cstddef>
#include <cstdint>

enum {
    UPFW_HEADER_SIZE = 2048,
    UPFW_ALIGN = 2048,
    UPFW_SLOTS = 7,
    UPFW_PIECE = 1024, // payloads are read and checked in pieces of this size
};

struct upfw_part {
    uint32_t offset;  // file offset of the payload, 0 = no payload
    uint32_t size;    // payload bytes, padding included, 0 = no payload
    uint32_t version; // platform code, major, minor, patch from the top byte
    uint32_t addr;
    uint32_t flag;
    uint32_t date;    // (year << 16) + (month << 8) + day
    char name[52];
    uint32_t crc32;   // over the payload, padding included
};
static_assert(sizeof(upfw_part) == 80, "image record is 80 bytes");
static_assert(offsetof(upfw_part, offset) == 0, "offset");
static_assert(offsetof(upfw_part, size) == 4, "size");
static_assert(offsetof(upfw_part, version) == 8, "version");
static_assert(offsetof(upfw_part, addr) == 12, "addr");
static_assert(offsetof(upfw_part, flag) == 16, "flag");
static_assert(offsetof(upfw_part, date) == 20, "date");
static_assert(offsetof(upfw_part, name) == 24, "name");
static_assert(offsetof(upfw_part, crc32) == 76, "crc32");

struct upfw_header {
    upfw_part part[UPFW_SLOTS];
    char build_time[32];  // "%Y-%m-%d %H:%M:%S"
    char builder_ver[7];  // "9.0.16"
    char zero[1449];
};
static_assert(sizeof(upfw_header) == UPFW_HEADER_SIZE, "image header is 2048 bytes");
static_assert(offsetof(upfw_header, part) == 0, "records");
static_assert(offsetof(upfw_header, build_time) == 560, "build time");
static_assert(offsetof(upfw_header, builder_ver) == 592, "builder version");
static_assert(offsetof(upfw_header, zero) == 599, "reserved");

// The default image: where the web interface leaves an uploaded image.
#define UPFW_DEFAULT_IMAGE "/dev/shm/updateFM.bin"
// Where the update program carried by an image is extracted to.
#define UPFW_EXTRACT_PATH "/dev/shm/update"
#define UPFW_CREATE_OUTPUT "/share/qxhn/src/boards/hi3536c/firmware/update_IMG"
#define UPFW_BUILDER_VERSION "9.0.16"
#define UPFW_BUILD_DATE 0x07E60712u

// Host path of an image path given on the command line: absolute paths are
// recorder paths and get the NVR_ROOT prefix, relative ones are used as given.
void upfw_host_path(char *out, size_t size, const char *path);

// Record name as text, read only within its field.
void upfw_part_name(const upfw_part *p, char *out, size_t size);
bool upfw_part_present(const upfw_part *p);

// Opens the image and reads its header. Returns an fd open on the image, or
// -1 after printing the reason.
int upfw_read_header(const char *path, upfw_header *hdr);

int UPFW_creat_img();
int UPFW_list_intfo(const char *path);
int UPFW_verify(const char *path, void *ptb);
int UPFW_analysis_img(const char *path, int mode);
